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
    void emptyTableShowsOneRowOfZeros()
    {
        MessageTable t;
        t.RefreshGrid();
        QCOMPARE(t.UpperIndex(), qint16(-1));
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(t.CellText(0, 0), QStringLiteral("MSG#"));
        QCOMPARE(t.CellText(0, 1), QStringLiteral("INTERVAL"));
        QCOMPARE(t.CellText(0, 2), QStringLiteral("MESSAGE TO SEND"));
        QCOMPARE(t.CellText(0, 3), QStringLiteral("COMMENTS"));
        QCOMPARE(t.CellText(1, 0), QStringLiteral("000"));
        QCOMPARE(t.CellText(1, 1), QStringLiteral("000000"));
        QCOMPARE(t.CellText(1, 2), QString());
        QCOMPARE(t.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("MESSAGE TO SEND"));
        QCOMPARE(t.entry(0).Interval, 0); // storage for position 0 exists
        QCOMPARE(t.TextView(), QByteArray());
        QCOMPARE(t.GaugeCountText(), QStringLiteral(" 0 / 128"));
        QCOMPARE(t.GaugePercentText(), QStringLiteral("00.0%"));
    }

    void appendAndRemoveKeepNumbersAndRows()
    {
        MessageTable t;
        QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&t, &QAbstractItemModel::rowsRemoved);
        QVERIFY(t.AppendEntry());
        QCOMPARE(t.rowCount(), 1); // the first entry takes over the zero row
        QCOMPARE(inserted.count(), 0);
        add(t, 12, "B");
        add(t, 1234567, "C");
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(t.UpperIndex(), qint16(2));
        QCOMPARE(t.rowCount(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(t.entry(i).Number, qint16(i));
        QCOMPARE(t.CellText(2, 1), QStringLiteral("000012"));
        QCOMPARE(t.CellText(3, 1), QStringLiteral("1234567"));
        QCOMPARE(t.CellText(3, 0), QStringLiteral("002"));

        t.RemoveLastEntry();
        t.RemoveLastEntry();
        QCOMPARE(removed.count(), 2);
        QCOMPARE(t.rowCount(), 1);
        t.RemoveLastEntry(); // the only entry: the grid keeps its zero row
        QCOMPARE(removed.count(), 2);
        QCOMPARE(t.UpperIndex(), qint16(-1));
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(t.CellText(1, 1), QStringLiteral("000000"));
        t.RemoveLastEntry(); // empty: nothing happens
        QCOMPARE(t.UpperIndex(), qint16(-1));
    }

    void tableStopsAtItsLimit()
    {
        MessageTable t;
        QList<MessageEntry> many(MessageTable::MaxEntries);
        t.ReplaceAll(many);
        QCOMPARE(t.count(), 32766);
        QVERIFY(!t.AppendEntry());
        QCOMPARE(t.count(), 32766);
        QCOMPARE(t.rowCount(), 32766);
        QCOMPARE(t.CellText(32766, 0), QStringLiteral("32765"));
    }

    void movesShiftContentsButNotNumbers()
    {
        MessageTable t;
        add(t, 1, "A", {}, "a");
        add(t, 2, "B", {}, "b");
        add(t, 3, "C", {}, "c");
        t.MoveContentsUp(1);
        t.RemoveLastEntry();
        QCOMPARE(t.count(), 2);
        QCOMPARE(t.entry(1).Text, QByteArray("C"));
        QCOMPARE(t.entry(1).Comment, QByteArray("c"));
        QCOMPARE(t.entry(1).Number, qint16(1));

        QVERIFY(t.AppendEntry());
        t.MoveContentsDown(0);
        QCOMPARE(t.entry(2).Text, QByteArray("C"));
        QCOMPARE(t.entry(1).Text, QByteArray("A"));
        QCOMPARE(t.entry(2).Number, qint16(2));
    }

    void textViewLines()
    {
        MessageTable t;
        add(t, 200, "A<0x0D>", QByteArray("A\r"), "ignored");
        add(t, 5, "", QByteArray(""));
        t.RefreshGrid();
        QCOMPARE(t.TextView(), QByteArray("000 | 000200 | A<0x0D> | A\r\r\n001 | 000005 |  | \r\n"));
    }

    void readBackDerivesSendData()
    {
        MessageTable t;
        add(t, 0, "x<0x41>", "stale");
        add(t, 0, "<1234>", "old");
        QCOMPARE(t.ReadBackGrid(), 1);
        QCOMPARE(t.entry(0).SendData, QByteArray("xA"));
        QCOMPARE(t.entry(1).SendData, QByteArray("old")); // a text that does not convert keeps its bytes
    }

    void memoryGauge_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("percent");
        QTest::newRow("57") << 57 << " 57 / 128" << "44.5%";
        QTest::newRow("128") << 128 << " 128 / 128" << "100.0%";
        QTest::newRow("192") << 192 << " 192 / 128" << "150.0%";
        // Beyond a 16-bit count the gauge keeps counting instead of failing.
        QTest::newRow("40000") << 40000 << " 40000 / 128" << "31250.0%";
    }
    void memoryGauge()
    {
        QFETCH(int, total);
        QFETCH(QString, count);
        QFETCH(QString, percent);
        MessageTable t;
        QSignalSpy changed(&t, &MessageTable::gaugeChanged);
        const int pieces = 4;
        for (int i = 0; i < pieces; ++i) {
            const int size = total / pieces + (i < total % pieces ? 1 : 0);
            add(t, 0, "t", QByteArray(size, 'x'));
        }
        t.RefreshGrid();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(t.MemoryTotal(), qint64(total));
        QCOMPARE(t.GaugeCountText(), count);
        QCOMPARE(t.GaugePercentText(), percent);
    }
};

QTEST_GUILESS_MAIN(TableTest)
#include "tst_table.moc"
