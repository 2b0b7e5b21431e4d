// The progress window's caption, bar and status line, and that only the
// transfer can close it.
#include "gui/frmprogress.h"
#include "run/progress.h"

#include <QLabel>
#include <QProgressBar>
#include <QtTest>

using namespace telvaro;

class GuiProgressTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void captions_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("bar");
        QTest::newRow("4 of 9") << 4 << 9 << "Sending Message #004/009 - 50%" << 500;
        QTest::newRow("0 of 0") << 0 << 0 << "Sending Message #000/000 - 100%" << 1000;
        QTest::newRow("0 of 99") << 0 << 99 << "Sending Message #000/099 - 01%" << 10;
        QTest::newRow("0 of 2") << 0 << 2 << "Sending Message #000/002 - 33%" << 333;
        QTest::newRow("1 of 2") << 1 << 2 << "Sending Message #001/002 - 67%" << 667;
        QTest::newRow("a half away from zero") << 0 << 7 << "Sending Message #000/007 - 13%" << 125;
        QTest::newRow("four digits") << 1234 << 2000 << "Sending Message #1234/2000 - 62%" << 617;
    }
    void captions()
    {
        QFETCH(int, index);
        QFETCH(int, total);
        QFETCH(QString, caption);
        QFETCH(int, bar);
        Progress progress;
        frmProgress window(progress, nullptr);
        progress.Start();
        QVERIFY(window.isVisible());
        QVERIFY(progress.Update(qint16(index), qint16(total),
                                QByteArray("\x01Z00\x02"
                                           "AA",
                                           7)));
        QCOMPARE(window.windowTitle(), caption);
        QCOMPARE(window.findChild<QProgressBar *>("ProgressBar")->value(), bar);
        QCOMPARE(window.findChild<QLabel *>("StatusBar")->text(), QStringLiteral("\u263AZ00\u263BAA"));
    }

    // Whatever a frame holds, the operator sees a mark for each byte:
    // controls take the terminal font's glyphs, the code page's characters
    // stay.
    void everyByteIsVisible()
    {
        QCOMPARE(Progress::VisibleGlyphs("\x01\x7F\x81\xAD\x80\xE9"),
                 QStringLiteral("\u263A\u2302\u00FC\u00A1\u20AC\u00E9"));
        QByteArray frame;
        for (int b = 0; b < 256; ++b)
            frame += char(b);
        const QString line = Progress::VisibleGlyphs(frame);
        QCOMPARE(line.size(), 256);
        for (int b = 0; b < 256; ++b)
            QVERIFY2(line[b].isPrint(), qPrintable(QString::number(b, 16)));
    }

    void invalidTotalAndClosing()
    {
        Progress progress;
        frmProgress window(progress, nullptr);
        progress.Start();
        QVERIFY(progress.Update(1, 3, "x"));
        QVERIFY(!progress.Update(0, -1, "y"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Sending Message #001/003 - 50%"));

        QVERIFY(!window.close()); // the operator cannot close it
        QVERIFY(window.isVisible());
        progress.Done();
        QVERIFY(!window.isVisible());
        progress.Done(); // a window that is not shown: nothing happens
        QVERIFY(!progress.isShown());
    }
};

QTEST_MAIN(GuiProgressTest)
#include "tst_gui_progress.moc"
