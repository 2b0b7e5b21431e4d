#include "run/messagestep.h"

#include "base/clock.h"
#include "codec/escapes.h"
#include "table/messagetable.h"

namespace telvaro {

MessageStep TakeMessageStep(MessageTable &table, qint64 position)
{
    MessageStep step;
    // The table may have changed during the last wait.
    if (!table.hasPosition(position)) {
        step.failure = QStringLiteral("Message %1 is no longer in the table.").arg(position);
        return step;
    }
    const int row = static_cast<int>(position);
    Q_EMIT table.highlightRequested(row + 1, MessageTable::ColInterval, MessageTable::ColComment);
    MessageEntry &entry = table.entry(row);
    const auto sendData = ParseEscapes(entry.Text);
    if (!sendData) {
        step.failure = QStringLiteral("Message %1 holds an escape outside 0 to 255.").arg(position);
        return step;
    }
    entry.SendData = *sendData;
    step.interval = entry.Interval;
    step.bytes = ExpandTimeTokens(*sendData, LocalNow());
    return step;
}

} // namespace telvaro
