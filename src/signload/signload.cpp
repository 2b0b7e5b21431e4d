#include "signload/signload.h"

#include "base/statuspanels.h"
#include "base/transfer.h"
#include "base/wait.h"
#include "run/messagestep.h"
#include "run/progress.h"
#include "table/messagetable.h"

namespace telvaro {

QString SignMemoryText(int stored, int messages)
{
    return QStringLiteral("The sign's memory was erased; %1 of %2 messages are stored.").arg(stored).arg(messages);
}

namespace {

// Why the load would refuse the table (no message, too many, a message that
// cannot be sent), in the words it would use; empty when it can load it.
QString SignLoadRefusal(const MessageTable &table)
{
    const int upper = table.UpperIndex();
    if (upper < 0)
        return EmptyLoadText();
    // Labels name messages 0 to 8100 only; a larger table would load
    // messages under labels that collide.
    if (upper > HighestFileLabel)
        return QStringLiteral("A sign holds messages 0 to %1.").arg(HighestFileLabel);
    for (int i = 0; i <= upper; ++i)
        if (const QString failure = MessageFailure(table, i); !failure.isEmpty())
            return failure;
    return {};
}

} // namespace

OperationOutcome MnuLoadSign_Click(Operations &operations, MessageTable &table, const std::optional<SignChoice> &choice)
{
    if (!choice) {
        operations.MnuModeData_Click();
        OperationOutcome cancelled;
        cancelled.ending = OperationOutcome::Ending::Stopped;
        return cancelled;
    }
    OperationFrame frame(operations, Item::MnuLoadSign, OperationFrame::Style::Transfer);
    if (!frame.start())
        return frame.outcome();
    const QString error = QStringLiteral("Error Loading Sign");
    // The first frame erases the sign: a table the load would refuse half way
    // must be refused before it, with nothing opened.
    if (const QString refusal = SignLoadRefusal(table); !refusal.isEmpty())
        return frame.fail(error + QStringLiteral("\r\n") + refusal, refusal);
    if (!frame.connect(error))
        return frame.outcome();

    StatusPanels &panels = operations.panels();
    Progress &progress = operations.progress();
    progress.Start();
    const int upper = table.UpperIndex();
    // Every ending after the erase says what the sign is left with.
    bool erased = false;
    int stored = 0;
    frame.tellDeviceState([&] { return erased ? SignMemoryText(stored, upper + 1) : QString(); });
    for (int step = FirstSetupStep; step <= upper; ++step) {
        if (frame.stopped()) {
            panels.setText(3, QStringLiteral("Off"));
            frame.leaveUntried(upper - step + 1);
            break;
        }
        panels.setText(3, QString::number(step));
        QByteArray bytes;
        if (step < 0) {
            bytes = SignLoadSetupFrame(step, choice->address);
        } else {
            const MessageStep message = TakeMessageStep(table, step);
            if (!message.failure.isEmpty())
                return frame.fail(error, message.failure);
            bytes = AdpHeader(choice->type, choice->address, step) + message.bytes;
        }
        if (!progress.Update(qint16(qMax(step, 0)), qint16(upper), bytes))
            return frame.fail(error, EmptyLoadText());
        QByteArray shown;
        const SendResult::Status sent = frame.send(bytes, &shown);
        if (sent == SendResult::Status::Failed)
            return frame.fail(error, operations.link().lastError());
        if (sent == SendResult::Status::Sent && step == FirstSetupStep)
            erased = true;
        else if (sent == SendResult::Status::Sent && step >= 0)
            ++stored;
        // The sign restarts after its erase: a new connection follows. A port
        // that does not open again would leave every later frame unsent.
        if (step == FirstSetupStep && sent == SendResult::Status::Sent &&
            !operations.link().Reconnect(SignLoadReconnectMs))
            return frame.failWithReason(operations.link().lastError());
        frame.showTraffic(shown);
        Wait(SignLoadWaitMs(step)).stopWhenIdle(operations.transfer()).run();
    }
    return frame.finish();
}

} // namespace telvaro
