// The entry panel's commands: moving one message between the boxes and the
// table. A rejected command leaves the table, the grid and the boxes as they
// were.
#include "app/workspace.h"
#include "base/operatortexts.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "codec/numbers.h"

#include <algorithm>

namespace telvaro {

namespace {

constexpr qint32 longestInterval = 600000;
constexpr qint64 highestReplaceNumber = 200;

const QString intervalOutOfRange = texts::IntervalOutOfRange();
const QString numberOutOfRange = QStringLiteral("Message number Out of Range!");
const QString replaceOutOfRange = QStringLiteral("Out of Range for Replacement");
const QString escapeOutOfRange = texts::EscapeOutOfRange();
const QString tableFull = texts::TableFull();

// A box read strictly is held against its range before it is rounded: "3.4"
// lies beyond 3 even though it rounds to 3.
bool within(const std::optional<double> &value, double low, double high)
{
    return value && *value >= low && *value <= high;
}

std::optional<qint16> strictNumber(const QString &text)
{
    const auto value = StrictValue(text);
    return value ? RoundToInt16(*value) : std::nullopt;
}

} // namespace

void Workspace::CmdAddMessage_Click()
{
    const auto sendData = ParseEscapes(TextToBytes(box(Box::Entry)));
    if (!sendData) {
        m_prompter.inform(escapeOutOfRange);
        return;
    }
    const auto interval = AddInterval();
    if (!interval) {
        m_prompter.inform(intervalOutOfRange);
        return;
    }
    const auto number = StrictValue(box(Box::MessageNumber));
    if (!within(number, 0, m_table.count())) {
        m_prompter.inform(numberOutOfRange);
        return;
    }
    if (!m_table.AppendEntry()) {
        m_prompter.inform(tableFull);
        return;
    }
    const int n = *RoundToInt16(*number);
    m_table.MoveContentsDown(n);
    m_table.SetContents(n, *interval, TextToBytes(box(Box::Entry)), *sendData, TextToBytes(box(Box::Comment)));
    setBox(Box::MessageNumber, MessageNumberText(n + 1));
    m_table.RefreshGrid();
    noticeCodePage(box(Box::Entry));
}

std::optional<qint32> Workspace::AddInterval() const
{
    // A box that is not a number at all is as unusable as one out of range.
    const auto interval = StrictValue(box(Box::Interval));
    if (!within(interval, 0, longestInterval))
        return std::nullopt;
    return RoundToInt32(*interval);
}

void Workspace::CmdReplaceMessage_Click()
{
    const qint64 n = LenientWhole(box(Box::MessageNumber));
    const auto sendData = ParseEscapes(TextToBytes(box(Box::Entry)));
    const auto interval = StrictValue(box(Box::Interval));
    const auto number = StrictValue(box(Box::MessageNumber));
    // The first check that fails names the message; anything that is not a
    // number, or an escape outside a byte, counts as a failed replacement.
    const std::optional<QString> refusal = !m_table.hasPosition(n) || !sendData || !interval ? replaceOutOfRange
                                           : !within(interval, 0, longestInterval)           ? intervalOutOfRange
                                           : !number                                         ? replaceOutOfRange
                                           : !within(number, 0, highestReplaceNumber)        ? numberOutOfRange
                                                                                             : std::optional<QString>();
    if (refusal) {
        m_prompter.inform(*refusal);
        return;
    }
    const int position = static_cast<int>(n);
    m_table.SetContents(position, *RoundToInt32(*interval), TextToBytes(box(Box::Entry)), *sendData,
                        TextToBytes(box(Box::Comment)));
    setBox(Box::MessageNumber, MessageNumberText(position + 1));
    TxtMessageNumber_LostFocus();
    m_table.RefreshGrid();
    noticeCodePage(box(Box::Entry));
}

void Workspace::CmdLoadMessage_Click()
{
    const double v = LenientValue(box(Box::MessageNumber));
    if (!(v >= 0 && v <= m_table.UpperIndex()))
        return;
    const MessageEntry &e = m_table.entry(static_cast<int>(*RoundToInt64(v)));
    setBox(Box::Entry, BytesToText(e.Text));
    setBox(Box::Comment, BytesToText(e.Comment));
    setBox(Box::Interval, QString::number(e.Interval));
}

// Increment and Decrement land on the nearest message when the number they
// move to names none (for example Decrement from beyond the table); with an
// empty table they do nothing.
std::optional<int> Workspace::StepTo(double target)
{
    const auto whole = RoundToInt64(target);
    if (!whole || m_table.isEmpty())
        return std::nullopt;
    const int n = static_cast<int>(std::clamp<qint64>(*whole, 0, m_table.UpperIndex()));
    const MessageEntry &e = m_table.entry(n);
    setBox(Box::MessageNumber, MessageNumberText(n));
    setBox(Box::Entry, BytesToText(e.Text));
    setBox(Box::Interval, QString::number(e.Interval));
    setBox(Box::Comment, BytesToText(e.Comment));
    return n;
}

void Workspace::CmdIncrement_Click()
{
    const auto v = StrictValue(box(Box::MessageNumber));
    if (v && *v < m_table.UpperIndex())
        StepTo(*v + 1);
}

void Workspace::CmdDecrement_Click()
{
    const auto v = StrictValue(box(Box::MessageNumber));
    if (!v || !(*v > 0))
        return;
    if (const auto n = StepTo(*v - 1))
        SelectGridRow(*n + 1);
}

void Workspace::CmdSetRepeat_Click()
{
    const auto answer = m_prompter.input(QStringLiteral("Enter the Message that is the Start of Repetition"),
                                         QStringLiteral("Repetition Start"), QStringLiteral("0"));
    // Cancel or an empty answer changes nothing, as with every prompt here.
    if (!answer || answer->trimmed().isEmpty())
        return;
    const auto number = strictNumber(*answer);
    if (!number || *number < 0 || *number > highestReplaceNumber) {
        m_prompter.inform(QStringLiteral("Invalid Value!"));
        return;
    }
    setBox(Box::RepeatCaption, QString::number(*number));
}

void Workspace::TxtInterval_KeyPress(int keyCode)
{
    if (keyCode == EnterKeyCode)
        TxtMessageNumber_LostFocus();
}

void Workspace::TxtMessageNumber_LostFocus()
{
    const qint64 n = LenientWhole(box(Box::MessageNumber));
    setBox(Box::MessageNumber, MessageNumberText(n));
    if (n >= 0 && n < m_table.count())
        SelectGridRow(static_cast<int>(n) + 1);
}

void Workspace::Cmd95ClearText_Click()
{
    setBox(Box::Entry, QString());
    setBox(Box::Comment, QString());
}

void Workspace::SelectGridRow(int gridRow, int firstColumn, int lastColumn)
{
    if (gridRow < 1 || gridRow > m_table.rowCount())
        return;
    Q_EMIT gridSelectionRequested(gridRow, firstColumn, lastColumn);
    MSFGMessages_SelChange(gridRow);
}

} // namespace telvaro
