// Payloads from the message bus through the bridge's command reader.

#include "bridge/command.h"
#include "fuzzcheck.h"
#include "table/messagetable.h"

#include <cstdint>

using namespace telvaro;
using namespace telvaro::bridge;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView payload(reinterpret_cast<const char *>(data), qsizetype(size));
    const QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(23, 0), Qt::UTC);
    const bool served = size % 2 == 0;
    const auto read = ReadCommand(payload, served, now);
    if (const auto *refusal = std::get_if<CommandRefusal>(&read)) {
        Require(!refusal->reason.isEmpty(), "every refusal says why");
        Require(refusal->op.isEmpty() || CommandOps().contains(refusal->op), "only a known op is echoed");
        return 0;
    }
    const Command &command = std::get<Command>(read);
    Require(served, "a sign this bridge does not serve gets no command");
    Require(CommandOps().contains(command.op), "only known ops are taken");
    Require(!command.expires || *command.expires > now, "an expired command is refused");
    Require(!command.messages || (!command.messages->isEmpty() && command.messages->size() <= MessageTable::MaxEntries),
            "a table of messages fits a table");
    Require(!command.duration || *command.duration > 0, "a run lasts some time");
    return 0;
}
