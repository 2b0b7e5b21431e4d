// The command-line front end as a process: bytes on stdout, messages on
// stderr, exit status.
#include <QProcess>
#include <QtTest>

class CliTest : public QObject {
    Q_OBJECT

    struct Result {
        int status;
        QByteArray out;
        QByteArray err;
    };
    static Result run(const QStringList &args, const QByteArray &input = {})
    {
        QProcess p;
        p.start(qEnvironmentVariable("TELVARO_CLI"), args);
        if (!p.waitForStarted(10000))
            return {-1, {}, {}};
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(20000);
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }

private Q_SLOTS:
    void encode_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("raw") << QStringList{"encode", "Hello<0x0D>"} << 0 << QByteArray("Hello\r");
        QTest::newRow("hex") << QStringList{"encode", "--hex", "<&H1B>A<0x4a>"} << 0 << QByteArray("1B 41 4A\n");
        QTest::newRow("empty") << QStringList{"encode", ""} << 0 << QByteArray();
        QTest::newRow("high byte") << QStringList{"encode", "--hex", "<0xFF><0x00>"} << 0 << QByteArray("FF 00\n");
        QTest::newRow("code page") << QStringList{"encode", "--hex", QStringLiteral("\u20ac\u00e9")} << 0
                                   << QByteArray("80 E9\n");
        QTest::newRow("out of range") << QStringList{"encode", "<1234>"} << 1 << QByteArray();
        QTest::newRow("usage") << QStringList{"encode"} << 2 << QByteArray();
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << QByteArray();
    }
    void encode()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, out);
        const Result r = run(args);
        QCOMPARE(r.status, status);
        QCOMPARE(r.out, out);
        QCOMPARE(r.err.isEmpty(), status == 0);
    }

    void decodeEveryByte()
    {
        QByteArray all;
        for (int c = 0; c < 256; ++c)
            all.append(char(c));
        const Result r = run({"decode"}, all);
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith("<0x00><0x01>"));
        QVERIFY(r.out.contains("<0x1F> !\"#"));
        QVERIFY(r.out.contains("{|}<0x7E><0x7F><0x80>"));
        QVERIFY(r.out.endsWith("<0xFE><0xFF>"));
        // The decoded text is printable ASCII; encoding it gives the bytes back.
        const Result back = run({"encode", QString::fromLatin1(r.out)});
        QCOMPARE(back.out.size(), 256);
        QCOMPARE(back.out, all);
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
