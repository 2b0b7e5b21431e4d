// The command-line programs as Unix tools: help and version on stdout,
// options misspelt named, bytes in and out, output that cannot be written.
#include "programs.h"

#include <QRegularExpression>
#include <QtTest>

using telvaro::test::CliPath;
using telvaro::test::DevsimPath;
using telvaro::test::ProgramResult;
using telvaro::test::RunCli;
using telvaro::test::RunProgram;

class CliTest : public QObject {
    Q_OBJECT

    static QStringList commands()
    {
        return {"encode",    "decode",       "list",       "convert",         "send",  "run",
                "load-sign", "call-message", "clear-list", "load-controller", "upload"};
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
        QTest::newRow("text that looks like an option")
            << QStringList{"encode", "--", "--help"} << 0 << QByteArray("--help");
        QTest::newRow("out of range") << QStringList{"encode", "<1234>"} << 1 << QByteArray();
        QTest::newRow("usage") << QStringList{"encode"} << 2 << QByteArray();
    }
    void encode()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, out);
        const ProgramResult r = RunCli(args);
        QCOMPARE(r.status, status);
        QCOMPARE(r.out, out);
        QCOMPARE(r.err.isEmpty(), status == 0);
    }

    void decodeEveryByte()
    {
        QByteArray all;
        for (int c = 0; c < 256; ++c)
            all.append(char(c));
        const ProgramResult r = RunCli({"decode"}, {}, all);
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith("<0x00><0x01>"));
        QVERIFY(r.out.contains("<0x1F> !\"#"));
        QVERIFY(r.out.contains("{|}<0x7E><0x7F><0x80>"));
        QVERIFY(r.out.endsWith("<0xFE><0xFF>"));
        // The decoded text is printable ASCII; encoding it gives the bytes back.
        const ProgramResult back = RunCli({"encode", QString::fromLatin1(r.out)});
        QCOMPARE(back.out, all);
    }

    // Help of each program and each command: stdout, exit 0, every option
    // with a sentence and an example.
    void help_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("usage");
        QTest::newRow("telvaro-cli") << CliPath() << QStringList{"--help"} << "Usage: telvaro-cli COMMAND";
        QTest::newRow("telvaro-cli -h") << CliPath() << QStringList{"-h"} << "Usage: telvaro-cli COMMAND";
        QTest::newRow("telvaro-devsim") << DevsimPath() << QStringList{"--help"} << "Usage: telvaro-devsim";
        for (const QString &command : commands())
            QTest::newRow(qPrintable(command))
                << CliPath() << QStringList{command, "--help"} << "Usage: telvaro-cli " + command;
    }
    void help()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(QString, usage);
        const ProgramResult r = RunProgram(program, args);
        QCOMPARE(r.status, 0);
        QVERIFY(r.err.isEmpty());
        const QString help = QString::fromUtf8(r.out);
        QVERIFY2(help.startsWith(usage), qPrintable(help));
        const QString options = help.section(QStringLiteral("Options:\n"), 1).section(QStringLiteral("\n\n"), 0, 0);
        const QStringList entries = options.split(QRegularExpression(QStringLiteral("\n(?=  -)")));
        QVERIFY(!options.isEmpty());
        for (const QString &entry : entries)
            QVERIFY2(entry.contains(QLatin1String("Example:")), qPrintable(entry));
        if (program == CliPath() && args.size() == 1) {
            for (const QString &command : commands())
                QVERIFY2(help.contains(QStringLiteral("\n  ") + command), qPrintable(command));
        }
    }

    void version_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("name");
        QTest::newRow("telvaro-cli") << CliPath() << "telvaro-cli";
        QTest::newRow("telvaro-devsim") << DevsimPath() << "telvaro-devsim";
    }
    void version()
    {
        QFETCH(QString, program);
        QFETCH(QString, name);
        const ProgramResult r = RunProgram(program, {"--version"});
        QCOMPARE(r.status, 0);
        QVERIFY(r.err.isEmpty());
        QVERIFY2(QRegularExpression("^" + name + " \\d+\\.\\d+\\.\\d+\n$").match(QString::fromUtf8(r.out)).hasMatch(),
                 r.out.constData());
    }

    // A usage error names what was wrong, on stderr, with exit status 2.
    void usageErrors_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("named");
        QTest::newRow("misspelt option") << CliPath() << QStringList{"send", "--ipport", "3001", "x"}
                                         << QByteArray("'ipport'");
        QTest::newRow("program option") << CliPath() << QStringList{"--verison"} << QByteArray("'verison'");
        QTest::newRow("unknown command") << CliPath() << QStringList{"frobnicate"} << QByteArray("\"frobnicate\"");
        QTest::newRow("option value missing")
            << CliPath() << QStringList{"send", "x", "--port"} << QByteArray("'--port'");
        QTest::newRow("simulator option")
            << DevsimPath() << QStringList{"--pty", "--rol", "sign"} << QByteArray("'rol'");
    }
    void usageErrors()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, named);
        const ProgramResult r = RunProgram(program, args);
        QCOMPARE(r.status, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains(named), r.err.constData());
    }

    // Output that cannot be written ends with a message and exit status 1,
    // also when the reader has gone (no silent death by SIGPIPE).
    void outputFailures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("closedPipe");
        QTest::newRow("decode to a full disk") << QStringList{"decode"} << false;
        QTest::newRow("help to a full disk") << QStringList{"list", "--help"} << false;
        QTest::newRow("decode to a closed pipe") << QStringList{"decode"} << true;
    }
    void outputFailures()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, closedPipe);
        // The reader of the pipe takes one byte and goes away.
        const ProgramResult r =
            closedPipe
                ? RunProgram(
                      QStringLiteral("bash"),
                      QStringList{"-c", "\"$0\" \"$@\" | head -c 1 >/dev/null; exit ${PIPESTATUS[0]}", CliPath()} +
                          args,
                      {}, QByteArray(1 << 20, '\x07'))
                : RunProgram(QStringLiteral("bash"), QStringList{"-c", "\"$0\" \"$@\" >/dev/full", CliPath()} + args,
                             {}, QByteArray(1 << 20, '\x07'));
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.startsWith("telvaro-cli: cannot write the output: "), r.err.constData());
    }

    // Bash completion offers what the programs' help lists.
    void completion_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("offered");
        const QString cli = QStringLiteral("src/cli/telvaro-cli.bash");
        const QString devsim = QStringLiteral("src/devsim/telvaro-devsim.bash");
        QTest::newRow("commands") << cli << QStringList{CliPath(), "lo"} << "load-sign load-controller";
        QTest::newRow("options") << cli << QStringList{CliPath(), "send", "--ip"} << "--ip --ip-port";
        QTest::newRow("sign types") << cli << QStringList{CliPath(), "load-sign", "--sign-type", ""}
                                    << "vyrena orbilux";
        QTest::newRow("simulator") << devsim << QStringList{DevsimPath(), "--lo"} << "--log";
    }
    void completion()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, words);
        QFETCH(QString, offered);
        const QString function = script.contains(QLatin1String("devsim")) ? "_telvaro_devsim" : "_telvaro_cli";
        const QString call = QStringLiteral("source \"$0\"; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); %1; "
                                            "echo \"${COMPREPLY[*]}\"")
                                 .arg(function);
        const QString path = qEnvironmentVariable("TELVARO_SOURCE") + u'/' + script;
        const ProgramResult r = RunProgram(QStringLiteral("bash"), QStringList{"-c", call, path} + words);
        QCOMPARE(r.status, 0);
        QCOMPARE(QString::fromUtf8(r.out).trimmed(), offered);
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
