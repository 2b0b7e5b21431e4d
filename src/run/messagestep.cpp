#include "run/messagestep.h"

#include "base/clock.h"
#include "codec/escapes.h"
#include "table/messagetable.h"

namespace telvaro {

namespace {
QString BadEscapeText(qint64 position)
{
    return QStringLiteral("Message %1 holds an escape outside 0 to 255.").arg(position);
}
} // namespace

QString MessageFailure(const MessageTable &table, qint64 position)
{
    if (!table.hasPosition(position))
        return QStringLiteral("Message %1 is no longer in the table.").arg(position);
    return ParseEscapes(table.entry(static_cast<int>(position)).Text) ? QString() : BadEscapeText(position);
}

QString EmptyLoadText()
{
    return QStringLiteral("The table is empty: there is nothing to load.");
}

MessageStep TakeMessageStep(MessageTable &table, qint64 position)
{
    MessageStep step;
    // The table may have changed during the last wait.
    if (!table.hasPosition(position)) {
        step.failure = MessageFailure(table, position);
        return step;
    }
    const int row = static_cast<int>(position);
    Q_EMIT table.highlightRequested(row + 1, MessageTable::ColInterval, MessageTable::ColComment);
    MessageEntry &entry = table.entry(row);
    const auto sendData = ParseEscapes(entry.Text);
    if (!sendData) {
        step.failure = BadEscapeText(position);
        return step;
    }
    entry.SendData = *sendData;
    step.interval = entry.Interval;
    step.bytes = ExpandTimeTokens(*sendData, LocalNow());
    return step;
}

} // namespace telvaro
