#include "run/run.h"

#include "base/clock.h"
#include "base/statuspanels.h"
#include "base/wait.h"
#include "codec/escapes.h"
#include "codec/numbers.h"
#include "link/link.h"
#include "table/entrypanel.h"
#include "table/messagetable.h"

#include <QCoreApplication>

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
    while (i <= bound) {
        if (frame.stopped()) {
            panels.setText(3, QStringLiteral("Off"));
            break;
        }
        // The table may have changed during the last wait: an entry that is
        // gone, or a repeat point below 0, cannot be sent.
        if (!table.hasPosition(i))
            return frame.fail(error, QStringLiteral("Message %1 is no longer in the table.").arg(i));
        const int position = static_cast<int>(i);
        panels.setText(3, QString::number(position));
        Q_EMIT table.highlightRequested(position + 1, MessageTable::ColInterval, MessageTable::ColComment);

        // What the step needs is copied before the send: a TCP send waits,
        // and the table may be replaced meanwhile.
        const auto sendData = ParseEscapes(table.entry(position).Text);
        if (!sendData)
            return frame.fail(error, QStringLiteral("Message %1 holds an escape outside 0 to 255.").arg(position));
        table.entry(position).SendData = *sendData;
        const qint32 interval = table.entry(position).Interval;
        if (frame.send(ExpandTimeTokens(*sendData, LocalNow())) == SendResult::Status::Failed)
            return frame.fail(error, operations.link().lastError());

        // Intervals of 0 or above ten minutes do not wait; events are still
        // processed once per entry so that data entry can stop the run.
        if (interval <= 0 || Pause(interval) == 0)
            QCoreApplication::processEvents();

        if (panel.repeatEnabled() && i == table.UpperIndex()) {
            const auto repeat = RoundToInt64(LenientValue(panel.box(EntryPanel::Box::RepeatCaption)) - 1);
            if (!repeat)
                return frame.fail(error, QStringLiteral("The repeat point is not a message number."));
            i = *repeat;
        }
        ++i;
    }
    Pause(RunEndWaitMs);
    return frame.finish();
}

} // namespace telvaro
