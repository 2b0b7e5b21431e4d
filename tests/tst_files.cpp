// Message files: the TVD, QND and TV1 bytes, the field reader, and New, Open
// and Save with their dialogs, messages and companion file, on real files.
#include "app/dialogfilter.h"
#include "codec/escapes.h"
#include "scriptedprompter.h"
#include "table/filecommands.h"
#include "table/messagefiles.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace telvaro;
using test::ScriptedPrompter;
using Box = Workspace::Box;

namespace {

MessageEntry Entry(qint32 interval, const QByteArray &text, const QByteArray &comment = {})
{
    return {0, interval, text, ParseEscapes(text).value_or(QByteArray()), comment};
}

QByteArray Lines(const QList<QByteArray> &lines)
{
    QByteArray out;
    for (const QByteArray &line : lines)
        out += line + "\r\n";
    return out;
}

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void Put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

struct Fixture {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    Workspace ws{prompter};
    FileCommands files{ws};

    QString path(const QString &name) const { return dir.filePath(name); }
    void fill(const QList<MessageEntry> &entries)
    {
        QList<MessageEntry> numbered = entries;
        for (qsizetype i = 0; i < numbered.size(); ++i)
            numbered[i].Number = qint16(i);
        ws.table().ReplaceAll(numbered);
        ws.table().RefreshGrid();
    }
    QList<MessageEntry> manyEntries(int n, qint32 interval = 100)
    {
        QList<MessageEntry> entries;
        for (int i = 0; i < n; ++i)
            entries.append(Entry(interval, "T" + QByteArray::number(i), "c" + QByteArray::number(i)));
        return entries;
    }
};

} // namespace

class FilesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tvdBytes()
    {
        QList<MessageEntry> entries{Entry(1000, "<0x02>Hello", "first"), Entry(1234567, "", ""),
                                    Entry(-5, "\xe9\x80", "x,y")};
        entries[1].Number = 77; // lines carry positions, not the stored numbers
        QCOMPARE(WriteTvd(entries),
                 Lines({"1000,0,\"<0x02>Hello\",\"first\"", "1234567,1,\"\",\"\"", "-5,2,\"\xe9\x80\",\"x,y\""}));
        QCOMPARE(WriteTvd({}), QByteArray());
    }

    void qndBytes()
    {
        const QByteArray bytes =
            WriteQnd({Entry(10, "A", "a"), Entry(20, "", "b"), Entry(30, "C", "c"), Entry(40, "D", "d")});
        const QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.size(), QndLines + 1); // the last line end leaves an empty tail
        QVERIFY(bytes.endsWith("\"\"\r\n"));
        QCOMPARE(lines[0], QByteArray("10,0,\"A\"\r"));
        QCOMPARE(lines[1], QByteArray("20,1,\"\"\r"));
        QCOMPARE(lines[3], QByteArray("40,3,\"D\"\r"));
        QCOMPARE(lines[4], QByteArray("0,4,\"\"\r"));
        QCOMPARE(lines[200], QByteArray("0,200,\"\"\r"));
        QCOMPARE(lines[201], QByteArray("\"a\"\r"));
        QCOMPARE(lines[204], QByteArray("\"d\"\r"));
        QCOMPARE(lines[205], QByteArray("\"\"\r"));
        QCOMPARE(lines[401], QByteArray("\"\"\r"));
        QCOMPARE(WriteQnd({}).count("\r\n"), QndLines);

        // Reading it back: entry 1's line is skipped, so it comes back blank.
        const MessageFileRead read = ReadQnd(bytes);
        QVERIFY(!read.error);
        QCOMPARE(read.entries.size(), 4);
        QCOMPARE(read.entries[1].Interval, 0);
        QCOMPARE(read.entries[1].Comment, QByteArray("b"));
        QCOMPARE(read.entries[3].Text, QByteArray("D"));
        QCOMPARE(read.entries[3].SendData, QByteArray("D"));
        QCOMPARE(read.entries[3].Comment, QByteArray("d"));
    }

    void tv1Bytes()
    {
        RegisterTable registers;
        registers[2] = {3, "0"};
        registers[12] = {5, " "};
        registers[31] = {1, "\""};
        const QByteArray bytes = WriteTv1(registers, RegisterFileFormat);
        const QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.size(), 33);
        QCOMPARE(lines[0], QByteArray("1\r"));
        QCOMPARE(lines[1], QByteArray("0,\" \"\r"));
        QCOMPARE(lines[2], QByteArray("3,\"0\"\r"));
        QCOMPARE(lines[12], QByteArray("5,\" \"\r"));
        QCOMPARE(lines[31], QByteArray("1,\"<0x22>\"\r"));
        const RegisterFileRead read = ReadTv1(bytes);
        QCOMPARE(read.result, RegisterFileRead::Result::Loaded);
        for (int r = 1; r <= 31; ++r) {
            QCOMPARE(read.registers[r].Width, registers[r].Width);
            QCOMPARE(read.registers[r].Fill, registers[r].Fill);
        }
    }

    void quotesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("plain") << QByteArray("say \"hi\"") << QByteArray("say <0x22>hi<0x22>");
        QTest::newRow("around an escape") << QByteArray("\"<0x41>\"") << QByteArray("<0x22><0x41><0x22>");
        QTest::newRow("no escape window") << QByteArray("<a\"b") << QByteArray("<a<0x22>b");
        QTest::newRow("inside an escape") << QByteArray("<\"abc>x") << QByteArray("<0x00>x");
        QTest::newRow("after digits inside") << QByteArray("<1\"23>") << QByteArray("<0x01>");
        QTest::newRow("window from a second <") << QByteArray("<<\"ab>") << QByteArray("<0x00>");
        QTest::newRow("escape out of range") << QByteArray("<999\">") << QByteArray("<999'>");
        QTest::newRow("no quote") << QByteArray("<0x02>A") << QByteArray("<0x02>A");
    }
    void quotesKeepTheirBytes()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, written);
        QCOMPARE(FileSafeText(text), written);
        QCOMPARE(ParseEscapes(written), ParseEscapes(text));
        QCOMPARE(FileSafeComment("a \"b\" <\"abc>"), QByteArray("a <0x22>b<0x22> <<0x22>abc>"));
    }

    void roundTrips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint32>("interval");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("comment");
        QTest::addColumn<QByteArray>("textBack");
        QTest::addColumn<QByteArray>("commentBack");
        for (const QString name : {"t.TVD", "t.QND"}) {
            auto row = [&name](const char *what) -> QTestData & {
                return QTest::newRow(qPrintable(name + " " + what));
            };
            row("control escapes") << name << 500 << QByteArray("<0x02>Hi<&H1B><0x0D>") << QByteArray("note")
                                   << QByteArray("<0x02>Hi<&H1B><0x0D>") << QByteArray("note");
            row("empty") << name << 0 << QByteArray() << QByteArray() << QByteArray() << QByteArray();
            row("code page") << name << 32767 << QByteArray("\xe9\x80\xff\x81") << QByteArray("\xfc")
                             << QByteArray("\xe9\x80\xff\x81") << QByteArray("\xfc");
            row("commas and blanks") << name << 1 << QByteArray("  a, b ") << QByteArray(" ,") << QByteArray("  a, b ")
                                     << QByteArray(" ,");
            row("double quotes") << name << 2 << QByteArray("say \"hi\"") << QByteArray("\"c\"")
                                 << QByteArray("say <0x22>hi<0x22>") << QByteArray("<0x22>c<0x22>");
        }
        QTest::newRow("t.TVD seven digits")
            << QString("t.TVD") << 1234567 << QByteArray("x") << QByteArray() << QByteArray("x") << QByteArray();
    }
    void roundTrips()
    {
        QFETCH(QString, name);
        QFETCH(qint32, interval);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, comment);
        QFETCH(QByteArray, textBack);
        QFETCH(QByteArray, commentBack);
        Fixture f;
        f.fill({Entry(7, "first", "one"), Entry(interval, text, comment), Entry(9, "last", "three")});
        QCOMPARE(f.files.SaveFile(f.path(name)), FileCommands::SaveResult::Saved);
        f.files.mnuFileNew_Click();
        QVERIFY(f.files.OpenFile(f.path(name)));
        QVERIFY(f.prompter.shown.isEmpty());
        const MessageTable &t = f.ws.table();
        const bool qnd = name.endsWith("QND");
        // A QND line with an empty text is skipped and its entry comes back blank.
        const qint32 intervalBack = qnd && text.isEmpty() ? 0 : interval;
        QCOMPARE(t.count(), 3);
        QCOMPARE(t.entry(1).Number, qint16(1));
        QCOMPARE(t.entry(1).Interval, intervalBack);
        QCOMPARE(t.entry(1).Text, textBack);
        QCOMPARE(t.entry(1).Comment, commentBack);
        QCOMPARE(t.entry(2).Text, QByteArray("last"));
        QCOMPARE(t.entry(2).Comment, QByteArray("three"));
        // QND fills the bytes to send at once; TVD leaves them to the run.
        QCOMPARE(t.entry(1).SendData, qnd ? *ParseEscapes(text) : QByteArray());
        QCOMPARE(t.MemoryTotal(), qnd ? qint64(5 + ParseEscapes(text)->size() + 4) : 0);
        QCOMPARE(ParseEscapes(t.entry(1).Text), ParseEscapes(text));
    }

    void tvdReaderRules_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<qint32>("interval");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("comment");
        auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };
        row("leading blanks") << QByteArray("  5,\t 3,  \"x\",  \"y\"\r\n") << 1 << false << 5 << QByteArray("x")
                              << QByteArray("y");
        row("blanks after a quote") << QByteArray("5,3,\"x\" ,\"y\"  \r\n") << 1 << false << 5 << QByteArray("x")
                                    << QByteArray("y");
        row("unquoted texts") << QByteArray("5,3,ab\"c, d\r\n") << 1 << false << 5 << QByteArray("ab\"c")
                              << QByteArray("d");
        row("LF and CR line ends") << QByteArray("1,0,\"a\",\"\"\n2,1,\"b\",\"\"\r3,2,\"c\",\"\"") << 3 << false << 1
                                   << QByteArray("a") << QByteArray();
        row("empty number reads 0") << QByteArray(",0,\"a\",\"b\"") << 1 << false << 0 << QByteArray("a")
                                    << QByteArray("b");
        row("halves round to even") << QByteArray("2.5,0,\"a\",\"b\"") << 1 << false << 2 << QByteArray("a")
                                    << QByteArray("b");
        row("line end inside quotes") << QByteArray("1,0,\"a\r\nb\",\"c\"\r\n2,1,\"\",\"\"\r\n") << 2 << false << 1
                                      << QByteArray("a\r\nb") << QByteArray("c");
        const QByteArray good = "7,0,\"ok\",\"c\"\r\n";
        row("32-bit interval overflow") << good + "2147483648,1,\"x\",\"\"\r\n" + good << 1 << true << 7
                                        << QByteArray("ok") << QByteArray("c");
        row("16-bit number overflow") << good + "1,32768,\"x\",\"\"\r\n"
                                      << 1 << true << 7 << QByteArray("ok") << QByteArray("c");
        row("not a number") << good + "1,abc,\"x\",\"\"\r\n" << 1 << true << 7 << QByteArray("ok") << QByteArray("c");
        row("no closing quote") << good + "1,1,\"x,\r\n" << 1 << true << 7 << QByteArray("ok") << QByteArray("c");
        row("three fields") << good + "1,1,\"x\"\r\n" + good << 1 << true << 7 << QByteArray("ok") << QByteArray("c");
        row("five fields") << good + "1,1,\"x\",\"\",\"\"\r\n" << 1 << true << 7 << QByteArray("ok") << QByteArray("c");
        row("text after a quote") << good + "1,1,\"x\"y,\"\"\r\n"
                                  << 1 << true << 7 << QByteArray("ok") << QByteArray("c");
        row("trailing empty line") << good + "\r\n" << 1 << true << 7 << QByteArray("ok") << QByteArray("c");
    }
    void tvdReaderRules()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, count);
        QFETCH(bool, failed);
        QFETCH(qint32, interval);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, comment);
        const MessageFileRead read = ReadTvd(bytes);
        QCOMPARE(read.error.has_value(), failed);
        QCOMPARE(read.entries.size(), count);
        QCOMPARE(read.entries[0].Interval, interval);
        QCOMPARE(read.entries[0].Text, text);
        QCOMPARE(read.entries[0].Comment, comment);
        QVERIFY(read.entries[0].SendData.isEmpty());
        if (failed)
            QVERIFY2(read.error->startsWith("line 2:"), qPrintable(*read.error));
    }

    void tvdKeepsTheNumbersItReads()
    {
        const MessageFileRead read = ReadTvd(Lines({"1,5,\"a\",\"\"", "2,-3,\"b\",\"\""}));
        QCOMPARE(read.entries[0].Number, qint16(5));
        QCOMPARE(read.entries[1].Number, qint16(-3));
    }

    void qndReaderRules_data()
    {
        QTest::addColumn<QList<QByteArray>>("textLines"); // lines 1 to 201, the rest filled in
        QTest::addColumn<QList<QByteArray>>("comments");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<QList<QByteArray>>("texts"); // the table read
        QTest::addColumn<QList<qint32>>("intervals");
        QTest::addColumn<QList<QByteArray>>("commentsBack");
        QList<QByteArray> line11;
        for (int i = 0; i < 11; ++i)
            line11 << "1," + QByteArray::number(i) + ",\"" + QByteArray(i == 10 ? "K" : "") + "\"";
        QTest::newRow("last text on line 11")
            << line11 << QList<QByteArray>{"\"a\"", "\"b\""} << false << QList<QByteArray>(10) + QList<QByteArray>{"K"}
            << QList<qint32>(10) + QList<qint32>{1} << QList<QByteArray>{"a", "b"} + QList<QByteArray>(9);
        QTest::newRow("lower number cuts")
            << QList<QByteArray>{"1,0,\"A\"", "2,5,\"F\"", "3,2,\"C\""} << QList<QByteArray>{} << false
            << QList<QByteArray>{"A", "", "C"} << QList<qint32>{1, 0, 3} << QList<QByteArray>(3);
        QTest::newRow("escape out of range kept")
            << QList<QByteArray>{"4,0,\"<1234>\""} << QList<QByteArray>{} << false << QList<QByteArray>{"<1234>"}
            << QList<qint32>{4} << QList<QByteArray>(1);
        QTest::newRow("interval beyond 16 bits")
            << QList<QByteArray>{"1,0,\"A\"", "2,1,\"B\"", "32768,2,\"C\""} << QList<QByteArray>{} << true
            << QList<QByteArray>{"A", "B"} << QList<qint32>{1, 2} << QList<QByteArray>(2);
        QTest::newRow("negative number") << QList<QByteArray>{"1,0,\"A\"", "1,-1,\"B\""} << QList<QByteArray>{} << true
                                         << QList<QByteArray>{"A"} << QList<qint32>{1} << QList<QByteArray>(1);
        QTest::newRow("number beyond the table") << QList<QByteArray>{"1,32766,\"B\""} << QList<QByteArray>{} << true
                                                 << QList<QByteArray>{} << QList<qint32>{} << QList<QByteArray>{};
    }
    void qndReaderRules()
    {
        QFETCH(QList<QByteArray>, textLines);
        QFETCH(QList<QByteArray>, comments);
        QFETCH(bool, failed);
        QFETCH(QList<QByteArray>, texts);
        QFETCH(QList<qint32>, intervals);
        QFETCH(QList<QByteArray>, commentsBack);
        QList<QByteArray> lines = textLines;
        for (qsizetype i = lines.size(); i < QndEntries; ++i)
            lines << "0," + QByteArray::number(i) + ",\"\"";
        lines += comments;
        const MessageFileRead read = ReadQnd(Lines(lines));
        QCOMPARE(read.error.has_value(), failed);
        QCOMPARE(read.entries.size(), texts.size());
        for (qsizetype i = 0; i < texts.size(); ++i) {
            QCOMPARE(read.entries[i].Number, qint16(i));
            QCOMPARE(read.entries[i].Text, texts[i]);
            QCOMPARE(read.entries[i].Interval, intervals[i]);
            QCOMPARE(read.entries[i].Comment, commentsBack[i]);
        }
    }

    void qndKeepsAtMost201()
    {
        Fixture f;
        f.fill(f.manyEntries(251));
        const QString name = f.path("big.QND");
        f.ws.Mode = OperatingMode::ControllerLoad;
        Put(name, "old");
        f.prompter.answer(Prompter::Answer::Cancel);
        QCOMPARE(f.files.SaveFile(name), FileCommands::SaveResult::Cancelled);
        QCOMPARE(Contents(name), QByteArray("old"));
        QVERIFY(!QFile::exists(f.path("big.TV1"))); // nothing at all was written
        QCOMPARE(f.prompter.shown.size(), 1);
        QCOMPARE(f.prompter.shown[0].text, QStringLiteral("QND file format only supports 200 messages\r\n\r\n"
                                                          "Only the first 200 messages will be saved"));
        QCOMPARE(f.prompter.shown[0].title, QStringLiteral("WARNING"));
        QCOMPARE(f.prompter.shown[0].buttons, Prompter::Buttons::OkCancel);

        f.prompter.answer(Prompter::Answer::Ok);
        QCOMPARE(f.files.SaveFile(name), FileCommands::SaveResult::Saved);
        QVERIFY(QFile::exists(f.path("big.TV1")));
        QVERIFY(f.files.OpenFile(name));
        QCOMPARE(f.ws.table().count(), 201);
        QCOMPARE(f.ws.table().entry(200).Text, QByteArray("T200"));
        QCOMPARE(f.ws.table().entry(200).Comment, QByteArray("c200"));
    }

    void qndWarnsOfIntervalsItCannotRead()
    {
        Fixture f;
        QList<MessageEntry> entries = f.manyEntries(6);
        entries[5].Interval = 40000;
        f.fill(entries);
        const QString name = f.path("long.qnd");
        Put(name, "old");
        f.prompter.answer(Prompter::Answer::Cancel);
        QCOMPARE(f.files.SaveFile(name), FileCommands::SaveResult::Cancelled);
        QCOMPARE(Contents(name), QByteArray("old"));
        QCOMPARE(f.prompter.messageTexts(),
                 QStringList{"QND file format only supports intervals up to 32767 ms\r\n\r\n"
                             "Message 005 has an interval of 40000 ms: the saved file will not open again"});
        QCOMPARE(f.prompter.shown[0].title, QStringLiteral("WARNING"));

        // Told, the operator may still write it; opening it then fails at that line.
        f.prompter.clear();
        f.prompter.answer(Prompter::Answer::Ok);
        QCOMPARE(f.files.SaveFile(name), FileCommands::SaveResult::Saved);
        QVERIFY(!f.files.OpenFile(name));
        QCOMPARE(f.prompter.messageTexts().last(), QStringLiteral("Error Opening file"));
        QCOMPARE(f.ws.table().count(), 5);

        // Only what the file holds is checked, and TVD takes any interval.
        f.prompter.clear();
        entries = f.manyEntries(202);
        entries[201].Interval = 40000;
        f.fill(entries);
        QCOMPARE(f.files.SaveFile(name), FileCommands::SaveResult::Saved);
        QCOMPARE(f.prompter.shown.size(), 1);
        QCOMPARE(f.files.SaveFile(f.path("long.TVD")), FileCommands::SaveResult::Saved);
        QCOMPARE(f.prompter.shown.size(), 1);
    }

    void openFailuresKeepWhatWasRead()
    {
        Fixture f;
        f.fill({Entry(1, "keep")});
        QVERIFY(!f.files.OpenFile(f.path("missing.TVD")));
        QCOMPARE(f.ws.table().entry(0).Text, QByteArray("keep"));
        QCOMPARE(f.prompter.shown.size(), 1);
        QCOMPARE(f.prompter.shown[0].text, QStringLiteral("Error Opening file"));
        QCOMPARE(f.prompter.shown[0].title, QStringLiteral("Telvaro"));
        QVERIFY(QDir(f.dir.path()).mkdir("folder.TVD"));
        QVERIFY(!f.files.OpenFile(f.path("folder.TVD")));
        QCOMPARE(f.ws.table().entry(0).Text, QByteArray("keep"));

        const QString bad = f.path("bad.TVD");
        Put(bad, Lines({"1,0,\"a\",\"\"", "2,1,\"b\",\"\"", "3,2,\"c"}));
        f.prompter.clear();
        QVERIFY(!f.files.OpenFile(bad));
        QCOMPARE(f.prompter.messageTexts(), QStringList{"Error Opening file"});
        QCOMPARE(f.ws.table().count(), 2);
        QCOMPARE(f.ws.table().rowCount(), 2);
        QCOMPARE(f.ws.table().CellText(2, 2), QStringLiteral("b"));
    }

    void otherExtensions()
    {
        Fixture f;
        f.fill({Entry(1, "A")});
        const QString txt = f.path("notes.TXT");
        Put(txt, Lines({"1,0,\"a\",\"\""}));
        QVERIFY(f.files.OpenFile(txt));
        QVERIFY(f.prompter.shown.isEmpty());
        QCOMPARE(f.ws.table().UpperIndex(), qint16(-1));

        f.fill({Entry(1, "A")});
        f.ws.Mode = OperatingMode::ControllerLoad;
        QCOMPARE(f.files.SaveFile(txt), FileCommands::SaveResult::Failed);
        QCOMPARE(Contents(txt), Lines({"1,0,\"a\",\"\""}));
        QVERIFY(!QFile::exists(f.path("notes.TV1")));
        QCOMPARE(f.prompter.messageTexts(),
                 QStringList{"Error Saving " + txt + "\r\n\r\nThe name must end in TVD or QND"});
    }

    void failedSaveKeepsTheOldFile()
    {
        Fixture f;
        const QString name = f.path("kept.TVD");
        Put(name, Lines({"1,0,\"old\",\"\""}));
        f.fill(f.manyEntries(2000));
        // The file system refuses to grow any file beyond 4 KiB.
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const FileCommands::SaveResult result = f.files.SaveFile(name);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        QCOMPARE(result, FileCommands::SaveResult::Failed);
        QCOMPARE(Contents(name), Lines({"1,0,\"old\",\"\""}));
        QCOMPARE(f.prompter.messageTexts(), QStringList{"Error Saving " + name});
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList{"kept.TVD"});

        f.prompter.clear();
        const QString nowhere = f.path("no/such/dir/x.TVD");
        QCOMPARE(f.files.SaveFile(nowhere), FileCommands::SaveResult::Failed);
        QCOMPARE(f.prompter.messageTexts(), QStringList{"Error Saving " + nowhere});
    }

    void companionFile_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("companion");
        QTest::newRow("test mode") << int(OperatingMode::Test) << "a.TVD" << QString();
        QTest::newRow("sign load") << int(OperatingMode::SignLoad) << "a.QND" << QString();
        QTest::newRow("controller load") << int(OperatingMode::ControllerLoad) << "a.TVD"
                                         << "a.TV1";
        QTest::newRow("lower case") << int(OperatingMode::ControllerLoad) << "b.qnd"
                                    << "b.TV1";
    }
    void companionFile()
    {
        QFETCH(int, mode);
        QFETCH(QString, name);
        QFETCH(QString, companion);
        Fixture f;
        f.fill({Entry(1, "A")});
        f.ws.Mode = OperatingMode(mode);
        f.ws.Registers[2] = {3, "0"};
        QCOMPARE(f.files.SaveFile(f.path(name)), FileCommands::SaveResult::Saved);
        const QStringList written = QDir(f.dir.path()).entryList({"*.TV1"}, QDir::Files);
        QCOMPARE(written, companion.isEmpty() ? QStringList{} : QStringList{companion});
        if (!companion.isEmpty())
            QCOMPARE(Contents(f.path(companion)), WriteTv1(f.ws.Registers, 1));

        // Open reads the companion in any mode, and leaves the registers
        // alone when there is none.
        f.ws.Mode = OperatingMode::Test;
        f.ws.ResetRegisters();
        QVERIFY(f.files.OpenWithCompanion(f.path(name)));
        QCOMPARE(f.ws.Registers[2].Width, qint16(companion.isEmpty() ? 0 : 3));
        QCOMPARE(f.ws.Registers[2].Fill, QByteArray(companion.isEmpty() ? " " : "0"));
        QVERIFY(f.prompter.shown.isEmpty());
    }

    void companionFileProblems()
    {
        Fixture f;
        f.fill({Entry(1, "A")});
        const QString name = f.path("m.TVD");
        const QString companion = f.path("m.TV1");
        QCOMPARE(f.files.SaveFile(name), FileCommands::SaveResult::Saved);
        f.ws.Registers[4] = {2, "0"};

        // Another format number: silently left alone.
        QByteArray other = WriteTv1(RegisterTable{}, 2);
        Put(companion, other);
        f.files.LoadRegisterFile(companion);
        QCOMPARE(f.ws.Registers[4].Width, qint16(2));
        QVERIFY(f.prompter.shown.isEmpty());

        // A damaged file changes nothing, not even the registers before the damage.
        RegisterTable fresh;
        fresh[1] = {5, " "};
        QList<QByteArray> lines = WriteTv1(fresh, 1).split('\n');
        lines[10] = "x,\"0\"\r";
        Put(companion, lines.join('\n'));
        f.files.LoadRegisterFile(companion);
        QCOMPARE(f.ws.Registers[1].Width, qint16(0));
        QCOMPARE(f.ws.Registers[4].Width, qint16(2));
        QCOMPARE(f.prompter.messageTexts(), QStringList{"Error Opening " + companion});

        // A companion that cannot be written is reported; the message file is still saved.
        f.prompter.clear();
        QFile::remove(companion);
        QVERIFY(QDir(f.dir.path()).mkdir("m.TV1"));
        f.ws.Mode = OperatingMode::ControllerLoad;
        f.fill({Entry(1, "B")});
        QCOMPARE(f.files.SaveFile(name), FileCommands::SaveResult::Saved);
        QCOMPARE(f.prompter.messageTexts(), QStringList{"Error Saving " + companion + " As 1"});
        QCOMPARE(Contents(name), Lines({"1,0,\"B\",\"\""}));
    }

    void newResetsEverything()
    {
        Fixture f;
        f.fill(f.manyEntries(3));
        f.ws.setBox(Box::MessageNumber, "005");
        f.ws.Registers[7] = {4, "0"};
        f.files.mnuFileNew_Click();
        const MessageTable &t = f.ws.table();
        QCOMPARE(t.UpperIndex(), qint16(0));
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(t.entry(0).Interval, 0);
        QVERIFY(t.entry(0).Text.isEmpty() && t.entry(0).Comment.isEmpty() && t.entry(0).SendData.isEmpty());
        QCOMPARE(t.CellText(1, 2), QString());
        QCOMPARE(t.GaugeCountText(), QStringLiteral(" 0 / 128"));
        QCOMPARE(f.ws.box(Box::MessageNumber), QStringLiteral("000"));
        QCOMPARE(f.ws.Registers[7].Width, qint16(0));
        QCOMPARE(f.ws.Registers[7].Fill, QByteArray(" "));
    }

    void dialogsAndExit()
    {
        Fixture f;
        f.fill({Entry(3, "A", "a")});
        const QString name = f.path("d.TVD");
        f.prompter.choosePath(name);
        f.files.mnuFileSave_Click();
        f.prompter.cancelDialog();
        f.files.mnuFileSave_Click();
        f.prompter.choosePath(QString());
        f.files.mnuFileOpen_Click();
        f.prompter.cancelDialog();
        f.files.mnuFileOpen_Click();
        QCOMPARE(f.ws.table().entry(0).Text, QByteArray("A"));
        f.files.mnuFileNew_Click();
        f.prompter.choosePath(name);
        f.files.mnuFileOpen_Click();
        QCOMPARE(f.ws.table().entry(0).Text, QByteArray("A"));

        const QString filter = "Telvaro Files (*.TVD)|*.TVD|Quendra Files (*.QND)|*.QND";
        QStringList titles;
        for (const auto &s : std::as_const(f.prompter.shown)) {
            QCOMPARE(s.defaultAnswer, filter);
            titles << s.title;
        }
        QCOMPARE(titles, (QStringList{"Save", "Save", "Open", "Open", "Open"}));
        QCOMPARE(QtDialogFilter(filter), QStringLiteral("Telvaro Files (*.TVD);;Quendra Files (*.QND)"));
        QCOMPARE(QtDialogFilter("Texts|*.txt;*.log"), QStringLiteral("Texts (*.txt *.log)"));

        QSignalSpy exit(&f.files, &FileCommands::exitRequested);
        f.files.mnuFileExit_Click();
        QCOMPARE(exit.count(), 1);
    }
};

QTEST_GUILESS_MAIN(FilesTest)
#include "tst_files.moc"
