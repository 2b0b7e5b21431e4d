// The message table and its files: the grid cells, the hidden text view and
// the memory gauge; the TVD, QND and TV1 bytes, and New, Open and Save with
// their dialogs, messages and companion file, on real files.
#include "app/dialogfilter.h"
#include "app/filecommands.h"
#include "codec/escapes.h"
#include "scriptedprompter.h"
#include "table/messagefiles.h"

#include "datatable.h"

#include <QtTest>

#include <cerrno>
#include <csignal>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace telvaro;
using Saved = FileCommands::SaveResult;
using Lines = QList<QByteArray>;

namespace {

// Numbers stay 0: the files must write positions.
MessageEntry Entry(qint32 interval, const QByteArray &text, const QByteArray &comment = {})
{
    return {0, interval, text, ParseEscapes(text).value_or(QByteArray()), comment};
}

// Each entry as "number|interval|text|send data|comment", separated by blanks.
QByteArray Shown(const QList<MessageEntry> &entries)
{
    Lines out;
    for (const MessageEntry &e : entries)
        out << QByteArray::number(e.Number) + '|' + QByteArray::number(e.Interval) + '|' + e.Text + '|' + e.SendData +
                   '|' + e.Comment;
    return out.join(' ');
}

// A QND file from its first text lines (the rest empty) and its comment lines.
QByteArray Qnd(Lines texts, const Lines &comments)
{
    for (qsizetype i = texts.size(); i < 201; ++i)
        texts << "0," + QByteArray::number(i) + ",\"\"";
    return (texts + comments).join("\r\n") + "\r\n";
}

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void Put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

// A file name, the interval and text of the entry between two others (its
// comment too), and the text as written and read back: it sends what the
// text sends.
using Trip = std::tuple<QString, qint32, QByteArray, QByteArray>;
using Opening = std::tuple<QString, QByteArray, QByteArray, QString>; // name, bytes, table, why
using Menu = std::tuple<OperatingMode, QByteArray, QByteArray, QString>;

// A table of `count` entries "T0", "T1", ... at 100 ms, the one at `longAt`
// at 40000 ms, saved under a name with an answer to the warnings, the file
// system letting a file grow to `limit` bytes (0: no limit); the result, the
// messages, and opened again: count, last text and comment, and whether it failed.
struct Save {
    QString name;
    int count, longAt;
    Prompter::Answer answer;
    int limit;
    FileCommands::SaveResult result;
    QStringList messages;
    QByteArray back;
};

void add(MessageTable &t, qint32 interval, const QByteArray &text, const QByteArray &sendData = {},
         const QByteArray &comment = {})
{
    QVERIFY(t.AppendEntry());
    t.SetContents(t.UpperIndex(), interval, text, sendData.isNull() ? text : sendData, comment);
}

// Root writes into any folder. Without CAP_DAC_OVERRIDE in its effective set
// it meets a folder's permissions like anyone else, until the guard ends.
auto FolderPermissionsForRoot()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    std::array<__user_cap_data_struct, 2> saved{};
    bool dropped = false;
    if (geteuid() == 0 && syscall(SYS_capget, &header, saved.data()) == 0) {
        auto lowered = saved;
        lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        dropped = syscall(SYS_capset, &header, lowered.data()) == 0;
    }
    return qScopeGuard([=]() mutable {
        if (dropped)
            syscall(SYS_capset, &header, saved.data());
    });
}

// What `work` returns with no file this process writes allowed to grow
// beyond `bytes` (0: no limit): a write past them fails as on a full disk.
template <typename Work> auto WithFileSizeLimit(rlim_t bytes, const Work &work)
{
    rlimit before{};
    if (bytes == 0 || getrlimit(RLIMIT_FSIZE, &before) != 0)
        return work();
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{bytes, before.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    const auto restore = qScopeGuard([&] {
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, previous);
    });
    return work();
}

struct Fixture {
    QTemporaryDir dir;
    test::ScriptedPrompter prompter;
    Workspace ws{prompter};
    FileCommands files{ws};
    QString path(const QString &name) const { return dir.filePath(name); }
};

} // namespace

class FilesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrips_data()
    {
        QTest::addColumn<Trip>("row");
        for (const QString name : {"t.TVD", "t.QND"}) {
            const auto row = [&name](const char *what, qint32 interval, const QByteArray &text,
                                     const QByteArray &textOut) {
                QTest::newRow(qPrintable(name + " " + what)) << Trip{name, interval, text, textOut};
            };
            row("control escapes", 500, "<0x02>Hi<&H1B><0x0D>", "<0x02>Hi<&H1B><0x0D>");
            row("empty", 300, "", "");
            row("code page", 32767, "\xe9\x80\xff\x81", "\xe9\x80\xff\x81");
            row("quotes, commas, blanks", 2, " say \"a, b\" ", " say <0x22>a, b<0x22> ");
            row("quotes in escapes", 3, "\"<0x41><\"abc><1\"23><a\"b", "<0x22><0x41><0x00><0x01><a<0x22>b");
            row("quote in a bad escape", 4, "<999\">", "<999'>");
        }
        QTest::newRow("t.TVD seven digits") << Trip{"t.TVD", 1234567, "x", "x"};
    }
    void roundTrips()
    {
        QFETCH(Trip, row);
        const auto &[name, interval, text, textOut] = row;
        Fixture f;
        f.ws.table().ReplaceAll({Entry(7, "first", "one"), Entry(interval, text, text), Entry(9, "last", "three")});
        QCOMPARE(f.files.SaveFile(f.path(name)), Saved::Saved);
        // A comment is never sent: its quotes become escapes as they stand.
        const QByteArray commentOut = QByteArray(text).replace("\"", "<0x22>");
        const QByteArray line = QByteArray::number(interval) + ",1,\"" + textOut + '"';
        const Lines lines = Contents(f.path(name)).split('\n');
        const bool qnd = name.endsWith("QND");
        if (qnd) // always 201 texts, then 201 comments
            QCOMPARE(
                Lines({QByteArray::number(lines.size()), lines.value(1), lines.value(2), lines.value(200),
                       lines.value(202), lines.value(401)}),
                Lines({"403", line + '\r', "9,2,\"last\"\r", "0,200,\"\"\r", '"' + commentOut + "\"\r", "\"\"\r"}));
        else
            QCOMPARE(lines, Lines({"7,0,\"first\",\"one\"\r", line + ",\"" + commentOut + "\"\r",
                                   "9,2,\"last\",\"three\"\r", ""}));
        f.files.mnuFileNew_Click();
        QVERIFY(f.files.OpenFile(f.path(name)));
        QVERIFY(f.prompter.shown.isEmpty());
        QCOMPARE(f.ws.table().count(), 3);
        // A QND line with an empty text is skipped and its entry comes back blank. QND
        // derives the bytes to send at once; TVD leaves them to the run.
        const QByteArray send = qnd ? ParseEscapes(text).value_or(QByteArray()) : QByteArray();
        const QByteArray back = QByteArray::number(qnd && text.isEmpty() ? 0 : interval);
        QCOMPARE(Shown({f.ws.table().entry(1)}), "1|" + back + '|' + textOut + '|' + send + '|' + commentOut);
    }

    // A file's bytes (null: no file; "/": a folder of that name), the table
    // read from it (it held "keep" before), and why it did not open: after
    // "Error Opening file", which file on the second line.
    void opening_data()
    {
        QTest::addColumn<Opening>("row");
        const auto row = [](const char *what, const QByteArray &bytes, const QByteArray &table, const QString &why,
                            const QString &name = "m.TVD") {
            QTest::newRow(what) << Opening{name, bytes, table, why};
        };
        row("blanks, unquoted", "  5,\t -3,  ab\"c ,  \"y\"  \r\n", "-3|5|ab\"c ||y", {});
        row("LF and CR line ends", "1,0,\"a\",\"\"\n2,1,\"b\",\"\"\r3,2,\"c\",\"\"", "0|1|a|| 1|2|b|| 2|3|c||", {});
        row("empty reads 0, halves to even", ",2.5,\"a\",\"b\"", "2|0|a||b", {});
        row("largest numbers", "2147483647,32767,\"a\",\"\"", "32767|2147483647|a||", {});
        // A damaged line: the entries before it stay.
        const QByteArray good = "7,4,\"o\r\nk\",\"c\"\r\n", kept = "4|7|o\r\nk||c";
        row("32-bit interval overflow", good + "2147483648,1,\"x\",\"\"\r\n" + good, kept,
            "line 3: the interval 2147483648 is out of range (-2147483648 to 2147483647)");
        row("16-bit number overflow", good + "1,32768,\"x\",\"\"\r\n", kept,
            "line 3: the message number 32768 is out of range (-32768 to 32767)");
        row("interval not a number", good + "1x,1,\"x\",\"\"\r\n", kept, "line 3: the interval is not a number");
        row("no closing quote", good + "1,1,\"x,\r\n", kept, "line 3: a quoted field has no closing quote");
        row("three fields", good + "1,1,\"x\"\r\n" + good, kept, "line 3: 4 fields expected, 3 found");
        row("five fields", good + "1,1,\"x\",\"\",\"\"\r\n", kept, "line 3: more than 4 fields");
        // Another tool's raw quote cuts its text; the line and those after it still read.
        row("raw quotes", "5,0,\"say \"hi\" now\", \"a \"b\" c\"\r\n6,1,\"x\"y,\"\"\r\n" + good,
            "0|5|say ||a  1|6|x|| " + kept, {});
        row("trailing empty line", good + "\r\n", kept, "line 3: 4 fields expected, 1 found");
        row("too many messages", QByteArray("0,0,\"\",\"\"\r\n").repeated(32767),
            QByteArray("0|0||| ").repeated(32766).chopped(1), "line 32767: more than 32766 messages");
        row("QND: a lower number cuts", Qnd({"1,0,\"A\"", "2,5,\"F\"", "3,2,\"C\""}, {"\"a\""}),
            "0|1|A|A|a 1|0||| 2|3|C|C|", {}, "m.QND");
        row("QND: number beyond the table", Qnd({"1,0,\"A\"", "1,32766,\"B\""}, {}), "0|1|A|A|",
            "line 2: number 32766 names no message", "m.QND");
        row("QND: raw quotes", Qnd({"1,0,\"say \"hi\" now\"", "2,1,\"B\"", "3,2,\"\"x\""}, {"\"a \"b\" c\"", "\"b\""}),
            "0|1|say |say |a  1|2|B|B|b", {}, "m.QND");
        row("QND: damaged comment", Qnd({"1,0,\"A\""}, {"\"a"}), "0|1|A|A|",
            "line 202: a quoted field has no closing quote", "m.QND");
        row("QND: interval beyond 16 bits", Qnd({"32768,0,\"A\""}, {}), "",
            "line 1: the interval 32768 is out of range (-32768 to 32767)", "m.QND");
        row("missing", {}, "0|1|keep|keep|", "the file does not exist");
        row("not readable", "/", "0|1|keep|keep|", "the file cannot be read: ");
        row("other extension", "1,0,\"a\",\"\"\r\n", "", {}, "m.TXT");
    }
    void opening()
    {
        QFETCH(Opening, row);
        const auto &[name, bytes, table, why] = row;
        Fixture f;
        f.ws.table().ReplaceAll({Entry(1, "keep")});
        if (bytes == "/")
            QVERIFY(QDir(f.dir.path()).mkdir(name));
        else if (!bytes.isNull())
            Put(f.path(name), bytes);
        const bool opened = why.isEmpty();
        QCOMPARE(f.files.OpenFile(f.path(name)), opened);
        // A reason in the system's words is checked up to them.
        const QString shown = f.prompter.messageTexts().join(u'|'), detail = f.path(name) + ": " + why;
        const QString expected = opened ? QString() : "Error Opening file\r\n" + detail;
        QVERIFY2(why.endsWith(' ') ? shown.startsWith(expected) && !shown.contains(u'|') : shown == expected,
                 qPrintable(shown));
        QVERIFY(opened || f.prompter.shown[0].title == QStringLiteral("Telvaro"));
        QCOMPARE(Shown(f.ws.table().entries()), table);
        QCOMPARE(f.ws.table().rowCount(), qMax(1, f.ws.table().count())); // the grid shows what was read
    }

    void saving_data()
    {
        const auto ok = Prompter::Answer::Ok, cancel = Prompter::Answer::Cancel;
        const Saved saved = Saved::Saved, failed = Saved::Failed, cancelled = Saved::Cancelled;
        const QString slow = "QND file format only supports intervals up to 32767 ms\r\n\r\n"
                             "Message %1 has an interval of 40000 ms: the saved file will not open again";
        const QStringList none,
            many{"QND file format only supports 200 messages\r\n\r\n"
                 "Only the first 200 messages will be saved"},
            long5{slow.arg("005")}, both = many + QStringList{slow.arg("200")};
        // A save that fails keeps the file that was there, and leaves nothing beside it.
        const QString noFolder = "\r\nthe file cannot be written: " + qt_error_string(ENOENT);
        const QStringList full{"Error Saving @m.TVD\r\nthe file could not be written in full: the disk may be full"},
            other{"Error Saving @m.TXT\r\n\r\nThe name must end in TVD or QND"},
            nowhere{"Error Saving @no/m.TV1 As 1" + noFolder + "\r\nNeither file was changed."};
        const QByteArray all = "201 T200 c200";
        // clang-format off
        const std::pair<const char *, Save> rows[] = {
            {"201 entries", {"m.QND", 201, -1, ok, 0, saved, none, all}},
            {"251, Cancel", {"m.QND", 251, -1, cancel, 0, cancelled, many, {}}},
            {"long, OK", {"m.qnd", 6, 5, ok, 0, saved, long5, "5 T4  failed"}},
            {"long, Cancel", {"m.qnd", 6, 5, cancel, 0, cancelled, long5, {}}},
            {"long, left out", {"m.QND", 202, 201, ok, 0, saved, many, all}},
            {"both", {"m.QND", 251, 200, ok, 0, saved, both, "200 T199  failed"}},
            {"TVD takes all", {"m.TVD", 251, 200, ok, 0, saved, none, "251 T250 c250"}},
            {"disk full", {"m.TVD", 2000, -1, ok, 4096, failed, full, {}}},
            {"disk full, small file", {"m.TVD", 10, -1, ok, 100, failed, full, {}}},
            {"other extension", {"m.TXT", 1, -1, ok, 0, failed, other, {}}},
            {"no such folder", {"no/m.TVD", 1, -1, ok, 0, failed, nowhere, {}}},
        };
        // clang-format on
        test::rows("s", rows);
    }
    void saving()
    {
        QFETCH(Save, s);
        Fixture f;
        QList<MessageEntry> entries;
        for (int i = 0; i < s.count; ++i)
            entries.append(
                Entry(i == s.longAt ? 40000 : 100, "T" + QByteArray::number(i), "c" + QByteArray::number(i)));
        f.ws.table().ReplaceAll(entries);
        // Controller load writes a companion, except beside the full disk: only the message file meets the limit.
        f.ws.mode().setMode(s.limit > 0 ? OperatingMode::Test : OperatingMode::ControllerLoad);
        const QString path = f.path(s.name), companion = path.chopped(3) + "TV1";
        const bool folder = s.name.contains('/');
        if (!folder)
            Put(path, "old");
        f.prompter.answer(s.answer);
        QCOMPARE(WithFileSizeLimit(s.limit, [&] { return f.files.SaveFile(path); }), s.result);
        QCOMPARE(f.prompter.messageTexts(), s.messages.replaceInStrings("@", f.dir.path() + '/'));
        for (const auto &shown : std::as_const(f.prompter.shown)) // a warning asks OK or Cancel
            QVERIFY(shown.text.startsWith("QND")
                        ? shown.title == "WARNING" && shown.buttons == Prompter::Buttons::OkCancel
                        : shown.title == "Telvaro");
        const bool written = s.result == Saved::Saved;
        QCOMPARE(QFile::exists(companion), written);
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files).size(), (folder ? 0 : 1) + (written ? 1 : 0));
        QCOMPARE(Contents(path) == "old", !written && !folder);
        // Opened again: count, last text and comment, and whether it failed.
        const bool opened = written && f.files.OpenFile(path);
        const MessageEntry &last = f.ws.table().entries().last();
        const QByteArray read = QByteArray::number(f.ws.table().count()) + ' ' + last.Text + ' ' + last.Comment;
        QCOMPARE(written ? read + (opened ? "" : " failed") : QByteArray(), s.back);
    }

    // Save in a mode, the companion replaced (null: as saved), New, then Open:
    // registers 1 and 2 and the message.
    void fileMenu_data()
    {
        QTest::addColumn<Menu>("row");
        const QByteArray unread = "0 0 ";
        QTest::newRow("sign load") << Menu{OperatingMode::SignLoad, {}, unread, ""};
        QTest::newRow("controller load") << Menu{OperatingMode::ControllerLoad, {}, "0 30", ""};
        QTest::newRow("other format") << Menu{OperatingMode::Test, "2\r\n", unread, ""};
        // Nothing is taken from a damaged file, not even the registers before the damage.
        QTest::newRow("damaged") << Menu{OperatingMode::Test, "1\r\n5,\"0\"\r\nx,\"0\"\r\n", unread,
                                         "Error Opening @a.TV1\r\nline 3: the width is not a number"};
        // Only what the register dialog could have set is taken.
        QTest::newRow("width 99") << Menu{OperatingMode::Test, "1\r\n99,\" \"\r\n", unread,
                                          "Error Opening @a.TV1\r\nline 2: the width 99 is out of range (0 to 5)"};
        QTest::newRow("fill AB") << Menu{OperatingMode::Test, "1\r\n0,\"AB\"\r\n", unread,
                                         "Error Opening @a.TV1\r\nline 2: the fill \"AB\" is neither a blank nor 0"};
    }
    void fileMenu()
    {
        QFETCH(Menu, row);
        const auto &[mode, replaced, registers, message] = row;
        Fixture f;
        f.ws.table().ReplaceAll({Entry(3, "A", "a"), Entry(4, "B")});
        f.ws.table().RefreshGrid();
        f.ws.setBox(Workspace::Box::MessageNumber, "001");
        f.ws.mode().setMode(mode);
        f.ws.registers().setEntry(2, {3, "0"});
        // A cancelled Save, an empty Open and a cancelled Open do nothing.
        f.prompter.choosePath(f.path("a.TVD"));
        f.files.mnuFileSave_Click();
        f.files.mnuFileSave_Click();
        const QByteArray empty = "0,\" \"\r\n";
        QCOMPARE(Contents(f.path("a.TV1")), mode == OperatingMode::ControllerLoad
                                                ? "1\r\n" + empty + "3,\"0\"\r\n" + empty.repeated(29)
                                                : QByteArray("<missing>"));
        if (!replaced.isNull())
            Put(f.path("a.TV1"), replaced);
        f.files.mnuFileNew_Click();
        QCOMPARE(Shown(f.ws.table().entries()), QByteArray("0|0|||"));
        QCOMPARE(f.ws.table().GaugeCountText(), QStringLiteral(" 0 / 128"));
        QCOMPARE(f.ws.box(Workspace::Box::MessageNumber), QStringLiteral("000"));
        // Open reads the companion in any mode.
        f.ws.mode().setMode(OperatingMode::Test);
        f.prompter.choosePath(QString());
        f.files.mnuFileOpen_Click();
        f.files.mnuFileOpen_Click();
        f.prompter.choosePath(f.path("a.TVD"));
        f.files.mnuFileOpen_Click();
        QCOMPARE(Shown(f.ws.table().entries()), QByteArray("0|3|A||a 1|4|B||"));
        const RegisterEntry &one = f.ws.registers().entry(1), &two = f.ws.registers().entry(2);
        QCOMPARE(QByteArray::number(one.Width) + one.Fill + QByteArray::number(two.Width) + two.Fill, registers);
        QCOMPARE(f.prompter.messageTexts().join(""), QString(message).replace(u'@', f.dir.path() + '/'));
        const QString filter = "Telvaro Files (*.TVD)|*.TVD|Quendra Files (*.QND)|*.QND";
        QStringList dialogs;
        for (const auto &s : std::as_const(f.prompter.shown))
            if (s.kind != test::Shown::Message)
                dialogs << s.title + (s.defaultAnswer == filter ? "" : " (other filter)");
        QCOMPARE(dialogs, (QStringList{"Save", "Save", "Open", "Open", "Open"}));
        // Registers that are not the file's, damaged or of another format, are
        // not loaded into a controller.
        f.prompter.clear();
        if (!replaced.isNull()) {
            QCOMPARE(f.ws.LoadController(true).ending, OperationOutcome::Ending::Failed);
            QCOMPARE(f.prompter.messageTexts().value(0).section("\r\n", 0, 1),
                     "Error Loading Controller\r\nThe registers did not load: " + f.path("a.TV1") + ": " +
                         (message.isEmpty() ? "the file is of format 2; this program reads format 1"
                                            : message.section("\r\n", 1)));
            // A table with no companion keeps the registers as they are; the
            // earlier file's refusal is not its own.
            QVERIFY(QFile::copy(f.path("a.TVD"), f.path("b.TVD")));
            f.prompter.choosePath(f.path("b.TVD"));
            f.files.mnuFileOpen_Click();
            QCOMPARE(f.ws.registers().notLoaded(), QString());
        }
        QCOMPARE(QtDialogFilter(filter), QStringLiteral("Telvaro Files (*.TVD);;Quendra Files (*.QND)"));
        // A name typed without an extension gets the chosen filter's.
        QCOMPARE((QStringList{WithFilterExtension("/t/a", "Quendra Files (*.QND)"),
                              WithFilterExtension("/t/b.tvd", "Quendra Files (*.QND)"),
                              WithFilterExtension("/t/c", "All Files (*.*)")}),
                 (QStringList{"/t/a.QND", "/t/b.tvd", "/t/c"}));
    }

    // The grid's header row, then one row per entry; an empty table shows
    // one row of zeros, and the last entry removed leaves it again.
    void grid()
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
        add(t, 12, "A", {}, "a"); // the first entry takes over the zero row
        add(t, 1234567, "B");
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(t.rowCount(), 2);
        QCOMPARE(row(1) + u' ' + row(2), QStringLiteral("000|000012|A|a 001|1234567|B|"));
        // A cell shows the start of a long text; the table keeps all of it.
        add(t, 1, QByteArray(5000, 'x') + "<0x03>", {}, QByteArray(4097, '\xe9'));
        const auto cell = [&t](int column, int role) { return t.data(t.index(2, column), role).toString(); };
        QCOMPARE(cell(2, Qt::DisplayRole) + cell(3, Qt::DisplayRole),
                 QString(4096, u'x') + QChar(0x2026) + QString(4096, QChar(0xe9)) + QChar(0x2026));
        QCOMPARE(cell(2, Qt::EditRole), QString(5000, u'x') + "<0x03>");
        for (int i = 0; i < 4; ++i)
            t.RemoveLastEntry(); // the only entry keeps the zero row; then nothing happens
        QCOMPARE(removed.count(), 2);
        QCOMPARE(t.UpperIndex(), qint16(-1));
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(row(1), QStringLiteral("000|000000||"));

        // The gauge: the bytes to send of all entries against the sign's 128,
        // counting on beyond 16 bits.
        QSignalSpy gauge(&t, &MessageTable::gaugeChanged);
        t.ReplaceAll(QList<MessageEntry>(MessageTable::MaxEntries, {0, 0, "t", "xx", {}}));
        QVERIFY(!t.AppendEntry());
        t.RefreshGrid();
        QCOMPARE(gauge.count(), 1);
        QCOMPARE(t.GaugeCountText() + u' ' + t.GaugePercentText(), QStringLiteral(" 65532 / 128 51196.9%"));
        // The hidden text view; reading the grid back derives what to send,
        // a text that does not convert keeps its bytes.
        t.ReplaceAll({});
        add(t, 200, "A<0x0D>", "stale", "ignored");
        add(t, 5, "<1234>", "old");
        QCOMPARE(t.ReadBackGrid(), 1);
        t.RefreshGrid();
        QCOMPARE(t.TextView(), QByteArray("000 | 000200 | A<0x0D> | A\r\r\n001 | 000005 | <1234> | old\r\n"));
    }
    // A message file and its register companion are both new or both old:
    // written beside the old ones or, in a folder where no new file can be
    // made, over them in place, on a full disk too. A companion that cannot
    // be written fails the save, the message file not written either.
    void savingBothOrNeither_data()
    {
        test::columns<QString, int, bool, QByteArray>({"folder", "count", "fullDisk", "outcome"});
        const QByteArray full = "failed|Error Saving @m.TVD|Neither file was changed.|old old|m.TV1 m.TVD",
                         companion = "failed|Error Saving @m.TV1 As 1|Neither file was changed.|none none|";
        test::row("full, in place, larger than the space left", "read-only", 400, true, full);
        test::row("full, in place, within the old files' space", "read-only", 2, true,
                  QByteArray("saved|||new new|m.TV1 m.TVD"));
        test::row("full, beside, larger than the space left", "writable", 400, true, full);
        test::row("read-only folder, files there", "read-only", 1, false, QByteArray("saved|||new new|m.TV1 m.TVD"));
        test::row("read-only folder, no files", "empty read-only", 1, false, companion);
        test::row("companion blocked by a folder", "blocked", 1, false, companion);
    }
    void savingBothOrNeither()
    {
        const auto [folder, count, fullDisk, outcome] =
            test::fetch<QString, int, bool, QByteArray>({"folder", "count", "fullDisk", "outcome"});
        Fixture f;
        const QString path = f.path("m.TVD"), companion = f.path("m.TV1");
        const QByteArray old = QByteArray("1,1,\"old text of fifty-two bytes\",\"kept\"\r\n").leftJustified(52, ' ');
        RegisterTable oldRegisters{}, newRegisters{};
        oldRegisters[2] = {3, "0"};
        newRegisters[5] = {4, " "};
        QList<MessageEntry> entries;
        for (int i = 0; i < count; ++i)
            entries.append(Entry(100, "New text " + QByteArray::number(i)));
        if (folder == QLatin1String("blocked"))
            QVERIFY(QDir(f.dir.path()).mkdir("m.TV1"));
        else if (!folder.startsWith(QLatin1String("empty"))) {
            Put(path, old);
            Put(companion, WriteTv1(oldRegisters, 1));
        }
        const QFile::Permissions open = QFile(f.dir.path()).permissions();
        if (folder.contains("read-only"))
            QVERIFY(QFile::setPermissions(f.dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        const auto reopen = qScopeGuard([&] { QFile::setPermissions(f.dir.path(), open); });
        const auto asAnyone = FolderPermissionsForRoot();
        if (QFile probe(f.path("probe")); folder.contains("read-only") && probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QSKIP("this process makes files in a folder without write permission");
        }
        f.ws.table().ReplaceAll(entries);
        f.ws.mode().setMode(OperatingMode::ControllerLoad);
        f.ws.registers().setTable(newRegisters);
        // A full disk has room for the registers and the old files, not for 400 messages.
        const Saved result = WithFileSizeLimit(fullDisk ? 1024 : 0, [&] { return f.files.SaveFile(path); });
        const auto state = [](const QString &file, const QByteArray &before, const QByteArray &after) {
            const QByteArray now = Contents(file);
            return now == before ? "old" : now == after ? "new" : now == "<missing>" ? "none" : "cut";
        };
        const QString told = f.prompter.messageTexts().join('|');
        QCOMPARE(QByteArray(result == Saved::Saved ? "saved" : "failed") + '|' + told.section("\r\n", 0, 0).toUtf8() +
                     '|' + told.section("\r\n", -1).toUtf8() + '|' + state(path, old, WriteTvd(entries)) + ' ' +
                     state(companion, WriteTv1(oldRegisters, 1), WriteTv1(newRegisters, 1)) + '|' +
                     QDir(f.dir.path()).entryList(QDir::Files).join(u' ').toUtf8(),
                 QByteArray(outcome).replace("@", QFile::encodeName(f.dir.path()) + '/'));
    }
};

QTEST_GUILESS_MAIN(FilesTest)
#include "tst_files.moc"
