// The Edit menu: clearing one message, the mass fill over a grid selection,
// and which box the clipboard commands act on.
#include "app/workspace.h"
#include "base/operatortexts.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "codec/numbers.h"

#include <algorithm>

namespace telvaro {

void Workspace::MnuEditClearMessage_Click()
{
    const auto answer = m_prompter.input(QStringLiteral("Clear This Message:"), QStringLiteral("Clear Message"),
                                         box(Box::MessageNumber));
    if (answer && !answer->isEmpty() && !m_table.isEmpty()) {
        const qint64 n = std::max<qint64>(0, LenientWhole(*answer));
        if (n <= m_table.UpperIndex())
            m_table.MoveContentsUp(static_cast<int>(n));
        m_table.RemoveLastEntry();
    }
    m_table.RefreshGrid();
}

void Workspace::MassFill(int startRow, int startColumn, int endRow, int endColumn)
{
    // Selections made upward or leftward fill the same block as the mirror
    // selection would: the rows and columns between the two corners.
    const int firstRow = std::max(1, std::min(startRow, endRow));
    const int lastRow = std::min(m_table.count(), std::max(startRow, endRow));
    const int firstColumn = std::min(startColumn, endColumn);
    const int lastColumn = std::max(startColumn, endColumn);
    if (m_table.isEmpty() || firstRow > lastRow)
        return;

    const QString confirm =
        QStringLiteral("You have selected messages %1 through %2 for Mass Fill!\r\nSelect Cancel to stop")
            .arg(firstRow - 1)
            .arg(lastRow - 1);
    if (m_prompter.message(confirm, QStringLiteral("Mass Fill"), Prompter::Buttons::OkCancel) != Prompter::Answer::Ok)
        return;

    auto ask = [&](int column, const char *prompt, const char *title) -> std::optional<QString> {
        if (column < firstColumn || column > lastColumn)
            return std::nullopt;
        SelectGridRow(firstRow, column, column);
        const auto answer = m_prompter.input(QString::fromLatin1(prompt), QString::fromLatin1(title),
                                             m_table.CellText(firstRow, column));
        if (!answer || answer->isEmpty())
            return std::nullopt;
        return answer;
    };

    if (const auto answer =
            ask(MessageTable::ColInterval, "What is the interval for these messages?", "Message Interval")) {
        // Interval cells hold whole numbers only: anything else is refused
        // rather than written into the grid.
        const auto value = StrictValue(*answer);
        const auto interval = value ? RoundToInt32(*value) : std::nullopt;
        if (!interval || double(*interval) != *value || *interval < 0 || *interval > 600000)
            m_prompter.inform(texts::IntervalOutOfRange());
        else
            for (int row = firstRow; row <= lastRow; ++row)
                m_table.entry(row - 1).Interval = *interval;
    }
    if (const auto answer = ask(MessageTable::ColText, "What is the fill message?", "Message Data")) {
        const QByteArray text = TextToBytes(*answer);
        if (!ParseEscapes(text))
            m_prompter.inform(texts::EscapeOutOfRange());
        else
            for (int row = firstRow; row <= lastRow; ++row)
                m_table.entry(row - 1).Text = text;
    }
    if (const auto answer = ask(MessageTable::ColComment, "What is the fill comment?", "Message Comments")) {
        const QByteArray comment = TextToBytes(*answer);
        for (int row = firstRow; row <= lastRow; ++row)
            m_table.entry(row - 1).Comment = comment;
    }
    m_table.ReadBackGrid();
    m_table.RefreshGrid();
}

Workspace::ClipboardBox Workspace::CopySource() const
{
    if (m_entry.EntryFocused)
        return ClipboardBox::Entry;
    if (m_entry.MessagesFocused)
        return ClipboardBox::Messages;
    if (m_entry.Ez95TextFocused)
        return ClipboardBox::Comment;
    return ClipboardBox::None;
}

Workspace::ClipboardBox Workspace::PasteTarget() const
{
    if (m_entry.MessagesFocused)
        return ClipboardBox::Messages;
    if (m_entry.EntryFocused)
        return ClipboardBox::Entry;
    if (m_entry.Ez95TextFocused)
        return ClipboardBox::Comment;
    return ClipboardBox::None;
}

} // namespace telvaro
