#pragma once
// The table of numbered messages and the grid that shows it. The grid is a
// view over the table: model row i is grid row i + 1 (the header row is the
// view's header), and an empty table still shows one row of zeros.

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>

namespace telvaro {

struct MessageEntry {
    qint16 Number = 0;
    qint32 Interval = 0;
    QByteArray Text;     // escape notation
    QByteArray SendData; // Text with its escapes resolved, one byte each
    QByteArray Comment;
    bool operator==(const MessageEntry &) const = default;
};

class MessageTable : public QAbstractTableModel {
    Q_OBJECT
public:
    // Grid rows are 16-bit: the header row plus the entries must stay within
    // 32,767 rows.
    static constexpr int MaxEntries = 32766;
    static constexpr int GaugeCapacity = 128;

    enum Column { ColNumber = 0, ColInterval = 1, ColText = 2, ColComment = 3, ColumnCount = 4 };

    explicit MessageTable(QObject *parent = nullptr);

    qint16 UpperIndex() const { return static_cast<qint16>(m_entries.size() - 1); }
    int count() const { return static_cast<int>(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    bool hasPosition(qint64 position) const { return position >= 0 && position < count(); }

    const MessageEntry &entry(int position) const;
    MessageEntry &entry(int position);
    const QList<MessageEntry> &entries() const { return m_entries; }

    // Size changes. AppendEntry fails (returns false) when the table is full.
    bool AppendEntry();
    void RemoveLastEntry();

    // Entry i takes the contents of entry i + 1 for i from `from` to the end,
    // and the other way round; Number stays with the position.
    void MoveContentsUp(int from);
    void MoveContentsDown(int to);
    void SetContents(int position, qint32 interval, const QByteArray &text, const QByteArray &sendData,
                     const QByteArray &comment);
    // Replaces the whole table (files); numbers are kept as given.
    void ReplaceAll(QList<MessageEntry> entries);
    void Clear();

    void RefreshGrid();
    // Derives every entry's SendData again from its Text. Returns the first
    // position whose text does not convert, or -1.
    int ReadBackGrid();
    void UpdateMemoryGauge();

    // The hidden text view's content: "000 | 000000 | Text | SendData\r\n".
    QByteArray TextView() const;
    // One entry's line of it, with its CR LF.
    static QByteArray TextViewLine(const MessageEntry &e);
    qint64 MemoryTotal() const { return m_memoryTotal; }
    QString GaugeCountText() const { return m_gaugeCount; }
    QString GaugePercentText() const { return m_gaugePercent; }

    // Grid cell texts as the operator sees them.
    QString CellText(int gridRow, int column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The message-number column is the grid's fixed column: its cells are
    // shown, never selected. The row headers carry the same numbers.
    Qt::ItemFlags flags(const QModelIndex &index) const override;

Q_SIGNALS:
    void gaugeChanged();
    void refreshed();
    // An operation shows the entry it is sending: the grid makes the row
    // current and selects the columns without the operator's selection
    // handling.
    void highlightRequested(int gridRow, int firstColumn, int lastColumn);

private:
    void entriesChanged(int first, int last);

    QList<MessageEntry> m_entries;
    MessageEntry m_blank; // position 0 reads as a blank entry when the table is empty
    qint64 m_memoryTotal = 0;
    QString m_gaugeCount;
    QString m_gaugePercent;
};

} // namespace telvaro
