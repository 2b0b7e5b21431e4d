#include "table/messagetable.h"

#include "codec/codepage.h"
#include "codec/escapes.h"
#include "codec/numbers.h"

namespace telvaro {

namespace {
const char *const headerTexts[] = {"MSG#", "INTERVAL", "MESSAGE TO SEND", "COMMENTS"};

QByteArray zeroPadded(qint64 value, int digits)
{
    QByteArray text = QByteArray::number(value < 0 ? -value : value);
    if (text.size() < digits)
        text.prepend(QByteArray(digits - text.size(), '0'));
    if (value < 0)
        text.prepend('-');
    return text;
}
} // namespace

MessageTable::MessageTable(QObject *parent) : QAbstractTableModel(parent)
{
    UpdateMemoryGauge();
}

const MessageEntry &MessageTable::entry(int position) const
{
    Q_ASSERT(position >= 0);
    return position < count() ? m_entries[position] : m_blank;
}

MessageEntry &MessageTable::entry(int position)
{
    Q_ASSERT(position >= 0);
    return position < count() ? m_entries[position] : m_blank;
}

bool MessageTable::AppendEntry()
{
    if (count() >= MaxEntries)
        return false;
    const int position = count();
    // The grid always keeps one row; the first entry takes it over.
    if (position > 0)
        beginInsertRows({}, position, position);
    MessageEntry fresh;
    fresh.Number = static_cast<qint16>(position);
    m_entries.append(fresh);
    if (position > 0)
        endInsertRows();
    return true;
}

void MessageTable::RemoveLastEntry()
{
    if (m_entries.isEmpty())
        return;
    const int last = count() - 1;
    if (last == 0) {
        m_entries.clear();
        m_blank = {};
        entriesChanged(0, 0);
        return;
    }
    beginRemoveRows({}, last, last);
    m_entries.removeLast();
    endRemoveRows();
}

void MessageTable::MoveContentsUp(int from)
{
    for (int i = qMax(0, from); i < count() - 1; ++i) {
        MessageEntry &target = m_entries[i];
        const MessageEntry &source = m_entries[i + 1];
        target.Interval = source.Interval;
        target.Text = source.Text;
        target.SendData = source.SendData;
        target.Comment = source.Comment;
    }
}

void MessageTable::MoveContentsDown(int to)
{
    for (int k = count() - 1; k > qMax(0, to); --k) {
        MessageEntry &target = m_entries[k];
        const MessageEntry &source = m_entries[k - 1];
        target.Interval = source.Interval;
        target.Text = source.Text;
        target.SendData = source.SendData;
        target.Comment = source.Comment;
    }
}

void MessageTable::SetContents(int position, qint32 interval, const QByteArray &text, const QByteArray &sendData,
                               const QByteArray &comment)
{
    MessageEntry &target = entry(position);
    target.Number = static_cast<qint16>(position);
    target.Interval = interval;
    target.Text = text;
    target.SendData = sendData;
    target.Comment = comment;
}

void MessageTable::ReplaceAll(QList<MessageEntry> entries)
{
    if (entries.size() > MaxEntries)
        entries.resize(MaxEntries);
    beginResetModel();
    m_entries = std::move(entries);
    m_blank = {};
    endResetModel();
}

void MessageTable::Clear()
{
    ReplaceAll({});
}

void MessageTable::entriesChanged(int first, int last)
{
    if (first > last)
        return;
    Q_EMIT dataChanged(index(first, 0), index(last, ColumnCount - 1), {Qt::DisplayRole});
}

void MessageTable::RefreshGrid()
{
    // The view reads cells from the table on demand, so a refresh tells it
    // that every visible cell may have changed; the hidden text view is
    // produced from the table when it is read.
    entriesChanged(0, rowCount() - 1);
    UpdateMemoryGauge();
    Q_EMIT refreshed();
}

int MessageTable::ReadBackGrid()
{
    int firstFailure = -1;
    for (int i = 0; i < count(); ++i) {
        MessageEntry &e = m_entries[i];
        if (auto bytes = ParseEscapes(e.Text))
            e.SendData = *bytes;
        else if (firstFailure < 0)
            firstFailure = i;
    }
    return firstFailure;
}

void MessageTable::UpdateMemoryGauge()
{
    // The total is kept in 64 bits: a large table can hold far more than the
    // 32,767 bytes a 16-bit count would allow, and the gauge shows the truth.
    qint64 total = 0;
    for (const MessageEntry &e : std::as_const(m_entries))
        total += e.SendData.size();
    m_memoryTotal = total;
    m_gaugeCount = SignedNumberText(total) + QStringLiteral(" /") + SignedNumberText(GaugeCapacity);
    m_gaugePercent = FormatPicture(double(total) / GaugeCapacity, u"00.0%");
    Q_EMIT gaugeChanged();
}

QByteArray MessageTable::TextViewLine(const MessageEntry &e)
{
    return zeroPadded(e.Number, 3) + " | " + zeroPadded(e.Interval, 6) + " | " + e.Text + " | " + e.SendData + "\r\n";
}

QByteArray MessageTable::TextView() const
{
    QByteArray out;
    qsizetype size = 0;
    for (const MessageEntry &e : m_entries)
        size += 20 + e.Text.size() + e.SendData.size();
    out.reserve(size);
    for (const MessageEntry &e : m_entries)
        out += TextViewLine(e);
    return out;
}

QString MessageTable::CellText(int gridRow, int column) const
{
    if (gridRow == 0)
        return column >= 0 && column < ColumnCount ? QString::fromLatin1(headerTexts[column]) : QString();
    const int position = gridRow - 1;
    if (position < 0 || position >= rowCount())
        return {};
    const MessageEntry &e = entry(position);
    switch (column) {
    case ColNumber: return QString::fromLatin1(zeroPadded(position, 3));
    case ColInterval: return QString::fromLatin1(zeroPadded(e.Interval, 6));
    case ColText: return BytesToText(e.Text);
    case ColComment: return BytesToText(e.Comment);
    default: return {};
    }
}

int MessageTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : qMax(1, count());
}

int MessageTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MessageTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const int position = index.row();
    const bool textual = index.column() == ColText || index.column() == ColComment;
    if (role == Qt::EditRole || !textual || position >= count())
        return CellText(position + 1, index.column());
    // A cell shows a few thousand characters at most: the view lays out
    // whatever it is given, and a text of megabytes would hold the window
    // for seconds at every repaint. A cut text ends in an ellipsis.
    constexpr qsizetype shown = 4096;
    const QByteArray &bytes = index.column() == ColText ? entry(position).Text : entry(position).Comment;
    if (bytes.size() <= shown)
        return BytesToText(bytes);
    return BytesToText(bytes.left(shown)) + QChar(0x2026);
}

QVariant MessageTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return CellText(0, section);
    return CellText(section + 1, ColNumber);
}

Qt::ItemFlags MessageTable::flags(const QModelIndex &index) const
{
    if (index.column() == ColNumber)
        return Qt::ItemIsEnabled;
    return QAbstractTableModel::flags(index);
}

} // namespace telvaro
