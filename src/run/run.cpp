#include "run/run.h"

#include "base/statuspanels.h"
#include "base/transfer.h"
#include "base/wait.h"
#include "codec/numbers.h"
#include "link/link.h"
#include "run/messagestep.h"
#include "table/entrypanel.h"
#include "table/messagetable.h"

#include <utility>

namespace telvaro {

OperationOutcome MnuModeRun_Click(Operations &operations, MessageTable &table, const EntryPanel &panel)
{
    OperationFrame frame(operations, Item::MnuModeRun, OperationFrame::Style::Transfer);
    if (!frame.start())
        return frame.outcome();
    const QString error = QStringLiteral("Error Going into Run");
    if (!frame.connect(error))
        return frame.outcome();

    StatusPanels &panels = operations.panels();
    const int bound = table.UpperIndex();
    qint64 i = 0;
    // Each message is due its interval after the one before was due, not
    // after its send ended: the time a send takes does not add up. The
    // schedule starts once the first message is out, whose send also opens
    // the way (a route, a connection's first write).
    auto due = MonotonicNow();
    bool started = false;
    while (i <= bound) {
        if (frame.stopped()) {
            panels.setText(3, QStringLiteral("Off"));
            frame.leaveUntried(bound - int(i) + 1);
            break;
        }
        if (i < 0)
            return frame.fail(error, QStringLiteral("The repeat point is below message 0."));
        panels.setText(3, QString::number(i));
        const MessageStep step = TakeMessageStep(table, i);
        if (!step.failure.isEmpty())
            return frame.fail(error, step.failure);
        if (frame.send(step.bytes) == SendResult::Status::Failed)
            return frame.fail(error, operations.link().lastError());
        if (!std::exchange(started, true))
            due = MonotonicNow();
        const qint32 interval = step.interval;

        // Intervals of 0 or above ten minutes do not wait; events are still
        // processed once per entry so that data entry, or the run's set
        // end, can stop the run.
        if (interval <= 0 || interval > LongestPauseMs) {
            due = MonotonicNow();
            PauseUntil(due);
        } else {
            const auto step = ScaledInterval(interval);
            due += step;
            // Behind by more than an interval (a slow send, a prompt): on from
            // now, rather than a burst of messages to catch up.
            if (const auto now = MonotonicNow(); now - due > step)
                due = now;
            // Data entry, or the device going, ends the wait at once: the
            // menus are the operator's again, and a device that went is told.
            Wait(due).stopWhenIdle(operations.transfer()).run();
        }

        if (panel.repeatEnabled() && i == table.UpperIndex()) {
            const auto repeat = RoundToInt64(LenientValue(panel.box(EntryPanel::Box::RepeatCaption)) - 1);
            if (!repeat)
                return frame.fail(error, QStringLiteral("The repeat point is not a message number."));
            i = *repeat;
        }
        ++i;
    }
    Wait(RunEndWaitMs).stopWhenIdle(operations.transfer()).run();
    return frame.finish();
}

} // namespace telvaro
