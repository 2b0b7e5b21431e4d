// What a controller uploads, through the upload parser; and fuzzed tables
// and operator input through the sign and controller frame builders.

#include "codec/escapes.h"
#include "controller/controllerprotocol.h"
#include "fuzzcheck.h"
#include "run/messagestep.h"
#include "signload/adp.h"
#include "table/messagefiles.h"
#include "table/messagetable.h"

#include <cstdint>
#include <cstring>

using namespace telvaro;

namespace {

// The input as a table file, each message made ready to send as a load does
// it: a sign frame names its message, and what a controller is loaded with
// comes back the same from an upload.
void CheckTableFrames(QByteArrayView bytes)
{
    MessageTable table;
    table.ReplaceAll(ReadTvd(bytes).entries);
    const QByteArray address = bytes.first(qMin<qsizetype>(2, bytes.size())).toByteArray();
    for (int i = 0; i <= table.UpperIndex(); ++i) {
        const MessageStep step = TakeMessageStep(table, i);
        if (!step.failure.isEmpty())
            continue;
        const QByteArray header = AdpHeader(SignType::Orbilux, address, i);
        Require(header.startsWith(QByteArray(1, '\x01') + SignTypeCode(SignType::Orbilux)),
                "a sign frame starts SOH, type");
        if (i <= HighestFileLabel)
            Require(FileLabelNumber(header.right(2)) == i, "a sign frame names its message");
        if (step.bytes.endsWith('\x04') && step.bytes.count('\x04') == 1) {
            const QByteArray sent = RegisterFrame(RegisterTable{}) + step.bytes + ConfigurationFrame(true);
            const UploadContents back = ParseUpload(FormatReceived(sent));
            Require(back.configurationSeen && back.pieces.size() == 2, "an upload of one message has two pieces");
            Require(ParseEscapes(back.pieces.front().text) == step.bytes, "an uploaded message changed its bytes");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const UploadContents upload = ParseUpload(bytes);
    for (const auto &[number, entry] : upload.registers)
        Require(number >= 0 && number <= 31, "only registers 0 to 31 are filled");
    for (const UploadPiece &piece : upload.pieces)
        Require(piece.text.endsWith("<0x04>"), "every piece ends with its end byte");
    Require(upload.error.isEmpty() || upload.pieces.isEmpty(), "nothing is read after a bad register");

    // A register table from the input: the register frame reads back.
    RegisterTable registers{};
    for (size_t k = 1; k < registers.size() && 2 * k < size; ++k)
        registers[k] = {qint16(data[2 * k - 2] % 6), QByteArray(1, data[2 * k - 1] % 2 ? ' ' : '0')};
    const QByteArray frame = RegisterFrame(registers);
    const UploadContents back =
        ParseUpload(QByteArrayLiteral("<0x01>") + frame.mid(1, frame.size() - 2) + QByteArrayLiteral("<0x04>"));
    int defined = 0;
    for (size_t k = 1; k < registers.size(); ++k)
        defined += registers[k].Width > 0;
    Require(back.registers.size() == defined, "every defined register is in the frame");

    // Message numbers and addresses as an operator could type them.
    const QString text = QString::fromLatin1(bytes.left(16));
    const LoadedCommand call = CallMessageCommand(SignType::Vyrena, text.left(3), text.mid(3));
    Require(call.text.isEmpty() != call.refusal.isEmpty(), "a command is either composed or refused");
    if (size >= 2) {
        const int number = (int(data[0]) << 8 | data[1]) % (HighestFileLabel + 1);
        Require(FileLabelNumber(AdpFileLabel(number)) == number, "a file label names its message");
    }
    CheckTableFrames(bytes);
    return 0;
}
