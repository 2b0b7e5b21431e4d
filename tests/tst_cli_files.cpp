// telvaro-cli list and convert as processes over real files.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

class CliFilesTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir; // the rows run in order: a convert may read what the one before wrote

private Q_SLOTS:
    void initTestCase()
    {
        QByteArray many;
        for (int i = 0; i < 202; ++i)
            many += "10," + QByteArray::number(i) + ",\"T" + QByteArray::number(i) + "\",\"\"\r\n";
        const QByteArray tvd = "1000,0,\"<0x02>Hello\",\"first\"\r\n40000,1,\"\xe9<0x0D>\",\"a, b\"\r\n";
        // A text and a comment with code-page letters and raw control bytes
        // that would retitle the terminal and ring its bell.
        const QByteArray controls = "5,0,\"caf\xe9 \x80\x1b]0;x\x07\",\"\x1b[2J\x07\x9d\xe9\"\r\n";
        for (const auto &[name, bytes] : {std::pair{"m.tvd", tvd},
                                          {"bad.TVD", tvd + "5,2,\"x\"\r\n"},
                                          {"many.TVD", many},
                                          {"controls.TVD", controls}}) {
            QFile f(m_dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        }
    }

    void commands_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("run");  // "STATUS [STDERR] STDOUT"; a lone status for usage errors
        QTest::addColumn<QString>("file");    // written by the command
        QTest::addColumn<QByteArray>("part"); // of that file; null: none is written
        const auto row = [](const char *name, const QStringList &args, const QByteArray &run, const QString &file = {},
                            const QByteArray &part = {}) { QTest::newRow(name) << args << run << file << part; };
        const QByteArray grid = "000 | 001000 | <0x02>Hello | first\n001 | 040000 | \xc3\xa9<0x0D> | a, b\n";
        // The operator's text, then which file and why on a line of its own.
        const auto opening = [](const QByteArray &why) { return "1 [Error Opening file\n" + why + "\n] "; };
        const QByteArray qndWarning = "QND file format only supports intervals up to 32767 ms\n\n"
                                      "Message 001 has an interval of 40000 ms: the saved file will not open again\n";
        const QByteArray limitWarning = "QND file format only supports 200 messages\n\n"
                                        "Only the first 200 messages will be saved\n";
        const QByteArray refused = "Nothing was written; give --force to save it all the same.\n";
        row("list", {"list", "m.tvd"}, "0 [] " + grid);
        // UTF-8 for the terminal, every control character escaped.
        row("controls escaped", {"list", "controls.TVD"},
            "0 [] 000 | 000005 | caf\xc3\xa9 \xe2\x82\xac<0x1B>]0;x<0x07> | <0x1B>[2J<0x07><0x9D>\xc3\xa9\n");
        row("raw bytes", {"list", "--raw", "controls.TVD"},
            "0 [] 000 | 000005 | caf\xe9 \x80\x1b]0;x\x07 | \x1b[2J\x07\x9d\xe9\n");
        // The text view shows SendData, which a TVD file leaves empty.
        row("text view", {"list", "--text-view", "controls.TVD"},
            "0 [] 000 | 000005 | caf\xc3\xa9 \xe2\x82\xac<0x1B>]0;x<0x07> | \n");
        row("text view raw", {"list", "--text-view", "--raw", "m.tvd"},
            "0 [] 000 | 001000 | <0x02>Hello | \r\n001 | 040000 | \xe9<0x0D> | \r\n");
        row("damaged", {"list", "bad.TVD"},
            opening("bad.TVD: line 3: 4 fields expected, 3 found") + grid); // what was read before the error
        row("missing", {"list", "none.TVD"}, opening("none.TVD: the file does not exist"));
        row("list other extension", {"list", "m.txt"}, "2");
        row("list nothing", {"list"}, "2");
        row("convert to other extension", {"convert", "m.tvd", "m.txt"}, "2");
        // A QND file that would not open again, or would lose messages, is
        // not written unless forced.
        row("to QND refused", {"convert", "m.tvd", "m.QND"}, "1 [" + qndWarning + refused + "] ", "m.QND");
        row("202 to QND refused", {"convert", "many.TVD", "few.QND"}, "1 [" + limitWarning + refused + "] ", "few.QND");
        row("to QND forced", {"convert", "--force", "m.tvd", "m.QND"}, "0 [" + qndWarning + "] ", "m.QND",
            "1000,0,\"<0x02>Hello\"\r\n40000,1,\"\xe9<0x0D>\"\r\n0,2,\"\"\r\n");
        // That interval does not read back: nothing is written.
        row("back to TVD", {"convert", "m.QND", "back.TVD"},
            opening("m.QND: line 2: the interval 40000 is out of range (-32768 to 32767)"), "back.TVD");
        row("save nowhere", {"convert", "m.tvd", "no/m.TVD"},
            "1 [Error Saving no/m.TVD\nthe file cannot be written: " + qt_error_string(ENOENT).toUtf8() + "\n] ");
        // A QND file holds messages 0 to 200.
        row("202 to QND forced", {"convert", "--force", "many.TVD", "few.QND"}, "0 [" + limitWarning + "] ", "few.QND",
            "10,200,\"T200\"\r\n\"\"\r\n"); // the first comment follows the last text
    }
    void commands()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, run);
        QFETCH(QString, file);
        QFETCH(QByteArray, part);
        QProcess p;
        p.setWorkingDirectory(m_dir.path());
        p.start(qEnvironmentVariable("TELVARO_CLI"), args);
        QVERIFY(p.waitForStarted(10000) && p.waitForFinished(20000));
        const QByteArray got =
            QByteArray::number(p.exitCode()) + " [" + p.readAllStandardError() + "] " + p.readAllStandardOutput();
        QCOMPARE(run.size() == 1 ? got.left(1) : got, run);
        QFile written(m_dir.filePath(file)); // the folder itself, which does not open, when none is named
        QCOMPARE(written.open(QIODevice::ReadOnly) && written.readAll().contains(part), !part.isNull());
    }
};

QTEST_GUILESS_MAIN(CliFilesTest)
#include "tst_cli_files.moc"
