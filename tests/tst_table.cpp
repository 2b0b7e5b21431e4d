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
        const QStringList header{"MSG#", "INTERVAL", "MESSAGE TO SEND", "COMMENTS"};
        const QStringList zeros{"000", "000000", "", ""};
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(t.CellText(0, c), header[c]);
            QCOMPARE(t.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), header[c]);
            QCOMPARE(t.CellText(1, c), zeros[c]);
        }
        QCOMPARE(t.entry(0).Interval, 0); // storage for position 0 exists
        QCOMPARE(t.TextView(), QByteArray());
    }

    void appendAndRemoveKeepNumbersAndRows()
    {
        MessageTable t;
        QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&t, &QAbstractItemModel::rowsRemoved);
        add(t, 12, "A"); // the first entry takes over the zero row
        add(t, 1234567, "B");
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(t.rowCount(), 2);
        QCOMPARE(t.CellText(1, 1), QStringLiteral("000012"));
        QCOMPARE(t.CellText(2, 1), QStringLiteral("1234567"));
        QCOMPARE(t.CellText(2, 0), QStringLiteral("001"));
        for (int i = 0; i < 3; ++i)
            t.RemoveLastEntry(); // the only entry keeps the zero row; then nothing happens
        QCOMPARE(removed.count(), 1);
        QCOMPARE(t.UpperIndex(), qint16(-1));
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(t.CellText(1, 1), QStringLiteral("000000"));

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
        QCOMPARE(t.entry(1).Text, QByteArray("C"));
        QCOMPARE(t.entry(1).Comment, QByteArray("c"));
        QCOMPARE(t.entry(1).Number, qint16(1));
        QVERIFY(t.AppendEntry());
        t.MoveContentsDown(0);
        QCOMPARE(t.entry(1).Text, QByteArray("A"));
        QCOMPARE(t.entry(2).Text, QByteArray("C"));
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

    void memoryGauge_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("percent");
        QTest::newRow("empty") << 0 << " 0 / 128"
                               << "00.0%";
        QTest::newRow("8, a half shown away from zero") << 8 << " 8 / 128"
                                                        << "06.3%";
        QTest::newRow("57") << 57 << " 57 / 128"
                            << "44.5%";
        QTest::newRow("128") << 128 << " 128 / 128"
                             << "100.0%";
        // Beyond a 16-bit count the gauge keeps counting instead of failing.
        QTest::newRow("40000") << 40000 << " 40000 / 128"
                               << "31250.0%";
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
