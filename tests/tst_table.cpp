// The message table: its size operations, the grid cells it shows, the
// hidden text view and the memory gauge.
#include "table/messagetable.h"

#include <QSignalSpy>
#include <QtTest>

using namespace telvaro;

namespace {
void add(MessageTable &t, qint32 interval, const QByteArray &text, const QByteArray &sendData = {},
         const QByteArray &comment = {})
{
    QVERIFY(t.AppendEntry());
    t.SetContents(t.UpperIndex(), interval, text, sendData.isNull() ? text : sendData, comment);
}
} // namespace

class TableTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The grid's header row, then one row per entry; an empty table shows
    // one row of zeros, and the last entry removed leaves it again.
    void gridRowsAndNumbers()
    {
        MessageTable t;
        QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted), removed(&t, &QAbstractItemModel::rowsRemoved);
        const auto row = [&t](int r) {
            QStringList cells;
            for (int c = 0; c < 4; ++c)
                cells << t.CellText(r, c);
            return cells.join(u'|');
        };
        t.RefreshGrid();
        QCOMPARE(t.UpperIndex(), qint16(-1));
        QCOMPARE(row(0), QStringLiteral("MSG#|INTERVAL|MESSAGE TO SEND|COMMENTS"));
        QCOMPARE(t.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("MESSAGE TO SEND"));
        QCOMPARE(row(1), QStringLiteral("000|000000||"));
        QCOMPARE(t.TextView(), QByteArray());
        add(t, 12, "A", {}, "a"); // the first entry takes over the zero row
        add(t, 1234567, "B");
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(t.rowCount(), 2);
        QCOMPARE(row(1) + u' ' + row(2), QStringLiteral("000|000012|A|a 001|1234567|B|"));
        for (int i = 0; i < 3; ++i)
            t.RemoveLastEntry(); // the only entry keeps the zero row; then nothing happens
        QCOMPARE(removed.count(), 1);
        QCOMPARE(t.UpperIndex(), qint16(-1));
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(row(1), QStringLiteral("000|000000||"));

        t.ReplaceAll(QList<MessageEntry>(MessageTable::MaxEntries));
        QVERIFY(!t.AppendEntry());
        QCOMPARE(t.rowCount(), 32766);
        QCOMPARE(t.CellText(32766, 0), QStringLiteral("32765"));
    }

    void movesShiftContentsButNotNumbers()
    {
        MessageTable t;
        for (const char *text : {"A", "B", "C"})
            add(t, 1, text, {}, QByteArray(text).toLower());
        t.MoveContentsUp(1);
        t.RemoveLastEntry();
        QCOMPARE(t.entry(1).Text + t.entry(1).Comment + QByteArray::number(t.entry(1).Number), QByteArray("Cc1"));
        QVERIFY(t.AppendEntry());
        t.MoveContentsDown(0);
        QCOMPARE(t.entry(1).Text + t.entry(2).Text, QByteArray("AC"));
    }

    void textViewAndReadBack()
    {
        MessageTable t;
        add(t, 200, "A<0x0D>", "stale", "ignored");
        add(t, 5, "<1234>", "old");
        QCOMPARE(t.ReadBackGrid(), 1);
        QCOMPARE(t.entry(1).SendData, QByteArray("old")); // a text that does not convert keeps its bytes
        t.RefreshGrid();
        QCOMPARE(t.TextView(), QByteArray("000 | 000200 | A<0x0D> | A\r\r\n001 | 000005 | <1234> | old\r\n"));
    }

    // The bytes to send of all entries against the sign's 128.
    void memoryGauge_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("gauge");
        QTest::newRow("empty") << 0 << " 0 / 128 00.0%";
        QTest::newRow("57") << 57 << " 57 / 128 44.5%";
        // Beyond a 16-bit count the gauge keeps counting instead of failing.
        QTest::newRow("40000") << 40000 << " 40000 / 128 31250.0%";
    }
    void memoryGauge()
    {
        QFETCH(int, total);
        QFETCH(QString, gauge);
        MessageTable t;
        QSignalSpy changed(&t, &MessageTable::gaugeChanged);
        for (int i = 0; i < 4; ++i) // in four entries
            add(t, 0, "t", QByteArray(total / 4 + (i < total % 4 ? 1 : 0), 'x'));
        t.RefreshGrid();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(t.MemoryTotal(), qint64(total));
        QCOMPARE(t.GaugeCountText() + u' ' + t.GaugePercentText(), gauge);
    }
};

QTEST_GUILESS_MAIN(TableTest)
#include "tst_table.moc"
