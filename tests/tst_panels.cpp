// The EZ 95 protocol codes.
#include "panels/ez95.h"

#include <QtTest>

using namespace telvaro;

class PanelsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ez95Codes_data()
    {
        QTest::addColumn<QString>("appended");
        QTest::addColumn<QString>("expected");
        const int fill = int(ez95::PositionItems().indexOf("Fill"));
        const int hold = int(ez95::ModeItems().indexOf("Hold"));
        QTest::newRow("a whole message") << ez95::StartOfMessage("01") + ez95::StartOfText() +
                                                ez95::InsertMode(fill, hold) + ez95::EndOfMessage()
                                         << "<&H01>Z01<&H02>AA<&H1B>0b<&H04>";
        QTest::newRow("bottom, scroll") << ez95::InsertMode(2, int(ez95::ModeItems().indexOf("Scroll"))) << "<&H1B>&m";
        QTest::newRow("twinkle") << ez95::InsertMode(-1, int(ez95::ModeItems().indexOf("Twinkle"))) << "<&H1B>t";
        QTest::newRow("rotate(c), the same code") << ez95::InsertMode(-1, 2) << "<&H1B>t";
        QTest::newRow("the second sparkle")
            << ez95::InsertMode(-1, int(ez95::ModeItems().lastIndexOf("Sparkle"))) << "<&H1B>n0";
        QTest::newRow("nothing chosen") << ez95::InsertMode(-1, -1) << "<&H1B>";
        QTest::newRow("autocolor") << ez95::Color(int(ez95::ColorItems().indexOf("AutoColor"))) << "<&H1C>C";
        QTest::newRow("no colour") << ez95::Color(-1) << "<&H1C>FFFF";
        QTest::newRow("time (c)") << ez95::Special(11) << "<T>";
        QTest::newRow("dbwd on") << ez95::Special(2) << "<&H1D>11";
        QTest::newRow("no special") << ez95::Special(-1) << "";
    }
    void ez95Codes()
    {
        QFETCH(QString, appended);
        QFETCH(QString, expected);
        QCOMPARE(appended, expected);
    }
};

QTEST_GUILESS_MAIN(PanelsTest)
#include "tst_panels.moc"
