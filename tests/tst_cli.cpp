// telvaro-cli as a Unix tool on real files: exit status, stderr and stdout of each command, what a
// device in this test or telvaro-devsim received, help, usage errors, output that cannot be written.
// Protocol waits run 100 times faster (TELVARO_TIME_SCALE); the simulator runs in real time.
#include "codec/escapes.h"
#include "datatable.h"
#include "peers.h"
#include "programs.h"
#include "table/messagefiles.h"

#include <QtTest>

#include <cerrno>

using namespace telvaro;
using namespace telvaro::test;

namespace {

const RegisterTable kRegisters = [] {
    RegisterTable r{};
    r[2] = {3, "0"};
    r[12] = {5, " "};
    return r;
}();

// A dry run's frames (asked for in hexadecimal) with their planned starts, and its total.
struct Plan {
    QList<std::pair<double, QByteArray>> frames;
    double total = -1;
};
Plan DryRun(const QStringList &args, const QStringList &env)
{
    Plan plan;
    const ProgramResult r = RunProgram(CliPath(), args + QStringList{"--dry-run", "--hex"}, env);
    for (const QByteArray &line : r.out.split('\n'))
        if (line.startsWith("total "))
            plan.total = r.status == 0 ? line.mid(6).toDouble() : -1;
        else if (!line.isEmpty())
            plan.frames.append(
                {line.left(line.indexOf('\t')).toDouble(), QByteArray::fromHex(line.mid(line.indexOf('\t') + 1))});
    return plan;
}

// What a transcript has of the frames sent (byte count and bytes), and
// the moments (seconds since the epoch) the link opened, each frame went out
// and the link closed. A line whose time is not to the microsecond is left out.
struct AsSent {
    QStringList frames;
    QList<double> moments;
};
AsSent ReadTranscript(const QString &path)
{
    static const QRegularExpression stamped(QStringLiteral("^(\\S{19})(\\.\\d{6})Z (.*)$"));
    AsSent sent;
    QFile log(path);
    if (!log.open(QIODevice::ReadOnly))
        return sent;
    for (const QString &line : QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = stamped.match(line);
        const QString what = m.captured(3);
        const bool frame = what.startsWith(QLatin1String("TX "));
        if (frame || what.startsWith(QLatin1String("LINK\topened")) || what == QLatin1String("LINK\tclosed by us"))
            sent.moments << double(QDateTime::fromString(m.captured(1), Qt::ISODate).toSecsSinceEpoch()) +
                                m.captured(2).toDouble();
        if (frame)
            sent.frames << what.mid(3);
    }
    return sent;
}

QByteArray Contents(const char *path)
{
    QFile f(QString::fromLatin1(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Each frame's "<T>" text of a moment from the given start on put back as "<T>".
QByteArray Tokens(QByteArray frame, const QDateTime &start)
{
    for (int s = -1; s <= 3; ++s)
        frame.replace(TimeTokenText(start.addSecs(s)), "<T>");
    return frame;
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir; // the working folder and the settings home of every run

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(m_dir.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
        qputenv("TELVARO_TIME_SCALE", "100"); // protocol waits and intervals
        QByteArray big, wide;                 // as many messages as a sign holds, and long ones
        for (int i = 0; i <= 8100; ++i)
            big += "10," + QByteArray::number(i) + ",\"T" + QByteArray::number(i) + "\",\"\"\r\n";
        for (int i = 0; i < 60; ++i) // what --verbose echoes of these outgrows a pipe's buffer
            wide += "10," + QByteArray::number(i) + ",\"" + QByteArray(2000, 'a' + i % 26) + "\",\"\"\r\n";
        const QByteArray tvd = "1000,0,\"<0x02>Hello\",\"first\"\r\n40000,1,\"\xe9<0x0D>\",\"a, b\"\r\n";
        // A text and a comment with code-page letters and raw control bytes
        // that would retitle the terminal and ring its bell.
        const QByteArray controls = "5,0,\"caf\xe9 \x80\x1b]0;x\x07\",\"\x1b[2J\x07\x9d\xe9\"\r\n";
        for (const auto &[name, bytes] :
             {std::pair{"m.tvd", tvd},
              {"bad.TVD", tvd + "5,2,\"x\"\r\n"},
              {"wide.TVD", wide},
              {"big.TVD", big},
              {"zero.TVD", "0,0,\"Z\",\"\"\r\n"},
              {"tokens.TVD", "100000,0,\"<0x02>X<T><0x03>\",\"\"\r\n1000,1,\"Y<T><0x0D>\",\"\"\r\n"},
              {"controls.TVD", controls},
              {"once.TVD", "20,0,\"<0x02>A\",\"\"\r\n20,1,\"B<0x0D>\",\"\"\r\n"
                           "20,2,\"\",\"\"\r\n20,3,\"C\",\"\"\r\n"},
              {"slow.TVD", "10,0,\"X\",\"\"\r\n10,1,\"Y\",\"\"\r\n599999,2,\"Z\",\"\"\r\n"},
              {"three.TVD", "9000,0,\"A\",\"\"\r\n9000,1,\"B\",\"\"\r\n9000,2,\"C\",\"\"\r\n"},
              {"escape2.TVD", "10,0,\"A\",\"\"\r\n10,1,\"B\",\"\"\r\n10,2,\"<0256>\",\"\"\r\n"},
              {"paced.TVD", "400,0,\"A\",\"\"\r\n400,1,\"B\",\"\"\r\n400,2,\"C\",\"\"\r\n"},
              {"two.TVD", "1000,0,\"<0x02>HELLO<0x03>\",\"\"\r\n1000,1,\"WORLD<0x0D>\",\"\"\r\n"},
              {"load.TVD", "1000,0,\"<0x02>HELLO<0x03><0x04>\",\"\"\r\n1000,1,\"WORLD<0x0D><0x04>\",\"\"\r\n"},
              {"load.TV1", WriteTv1(kRegisters, 1)},
              {"regs.TVD", "1000,0,\"A<0x04>\",\"\"\r\n"},
              // Frames longer than a terminal's buffer holds, each way, and a time token.
              {"long.TVD", "1000,0,\"<0x02>HELLO<0x03><0x04>\",\"\"\r\n1000,1,\"<T> ok<0x04>\",\"\"\r\n1000,2,\"" +
                               QByteArray(16 * 1024, 'L') + "<0x04>\",\"\"\r\n1000,3,\"" + QByteArray(65 * 1024, 'H') +
                               "<0x04>\",\"\"\r\n"},
              {"long.TV1", WriteTv1(kRegisters, 1)},
              {"wrong.TVD", "1000,0,\"TOTALLY WRONG ok<0x04>\",\"\"\r\n1000,1,\"A<0x3C>0x04>B<0x04>\",\"\"\r\n"},
              {"right.TVD", "1000,0,\"<T> ok<0x04>\",\"\"\r\n1000,1,\"A<0x04>\",\"\"\r\n1000,2,\"B<0x04>\",\"\"\r\n"},
              {"regs.TV1", "1\r\n0,\" \"\r\n-5,\"0\"\r\n"},
              {"other.TVD", "1000,0,\"A<0x04>\",\"\"\r\n"},
              {"other.TV1", "2\r\n"}}) {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        }
    }

    // Command lines run by bash with telvaro-cli on the PATH: the outcome,
    // whole or, for a usage error (2) or one ending in "...", its start. UDP
    // stands for the port of a device here, ACCEPT for one that closes each
    // connection at once, CLOSING for one that closes it at the first bytes,
    // CLOSED for a port nobody listens on; "received" is what the UDP device
    // got, datagrams split by "|".
    void commands_data()
    {
        columns<QString, QByteArray, QByteArray>({"line", "run", "received"});
        const auto row = [](const char *name, const QString &line, const QByteArray &run,
                            const QByteArray &received = {}) { QTest::newRow(name) << line << run << received; };
        const auto usage = [](const char *name, const QString &line, const QByteArray &problem) {
            const QByteArray command = line.section(u' ', 1, 1).toUtf8();
            QTest::newRow(name) << line << "2 [telvaro-cli " + command + ": " + problem << QByteArray();
        };
        const QString udp = "--port -1 --ip 127.0.0.1 --ip-port UDP ";
        const QByteArray full = "1 [telvaro-cli: cannot write the output: ...";
        row("encode", "telvaro-cli encode 'Hello<0x0D><0x00><0xFF>'", "0 [] Hello\r" + QByteArray("\0\xff", 2));
        row("encode nothing", "telvaro-cli encode ''", "0 [] ");
        row("encode an option's text", "telvaro-cli encode -- --help", "0 [] --help");
        row("encode out of range", "telvaro-cli encode '<1234>'",
            "1 [An escape in the text has a value outside 0 to 255.\n] ");
        row("decode", "printf '\\000\\001\\037 !\"#;<=>?{|}~\\177\\200\\376\\377' | telvaro-cli decode",
            "0 [] <0x00><0x01><0x1F> !\"#;<=>?{|}<0x7E><0x7F><0x80><0xFE><0xFF>");
        // Output that cannot be written fails with a message, also when the
        // reader has gone (no silent death by SIGPIPE).
        row("decode to a full disk", "head -c 1000000 /dev/zero | telvaro-cli decode >/dev/full", full);
        row("program help to a full disk", "telvaro-cli --help >/dev/full", full);
        row("decode to a closed pipe",
            "head -c 1000000 /dev/zero | telvaro-cli decode | head -c 1 >/dev/null; exit ${PIPESTATUS[1]}", full);
        row("list to a closed stdout", "telvaro-cli list m.tvd >&-",
            "1 [telvaro-cli: cannot write the output: standard output is closed\n] ");
        row("decode from a closed stdin", "telvaro-cli decode <&-",
            "1 [telvaro-cli: cannot read the input: standard input is closed\n] ");
        usage("encode two texts", "telvaro-cli encode a b", "expects one TEXT, not 2 arguments\n");
        row("misspelt option", "telvaro-cli send --ipport 3001 x", "2 [telvaro-cli send: Unknown option 'ipport'.");
        row("program option", "telvaro-cli --verison", "2 [telvaro-cli: Unknown option 'verison'.");
        row("unknown command", "telvaro-cli frobnicate", "2 [telvaro-cli: unknown command \"frobnicate\"");
        row("no command", "telvaro-cli", "2 [telvaro-cli: no command given");
        usage("port beyond 16 bits", "telvaro-cli send --port 40000 x",
              "--port needs a number from -32768 to 32767, not \"40000\"");
        usage("unsupported baud", "telvaro-cli send --port 1 --baud 12345 x",
              "--baud: the serial port cannot run at \"12345\"");
        usage("device for tcp", "telvaro-cli send --port 0 --device /dev/null x",
              "--device needs a serial link (--port 1 or above); the link is TCP (port 0)");
        // The stored port is serial 1: an address would be dropped silently.
        usage("ip for the stored serial port", "telvaro-cli send --ip 127.0.0.1 x",
              "--ip and --ip-port need a network link (--port 0 for TCP, -1 for UDP); the link is serial port 1");
        usage("sign type", "telvaro-cli load-sign --sign-type neon x.TVD", "--sign-type is vyrena or orbilux");
        // Upper case one character for one, as the dialog's box: "ß" is not "SS".
        usage("load address of one letter", "telvaro-cli load-sign --address \u00df x.TVD",
              "--address takes two letters or digits, not \"\u00df\"");
        usage("no input kind", "telvaro-cli load-controller x.TVD", "give one of --serial-input and --binary-input");
        // One rule for both read-backs, before anything is opened.
        usage("verify over TCP", "telvaro-cli load-controller --port 0 --binary-input --verify load.TVD",
              "--verify reads the controller back over a serial link (--port 1 or above); the link is TCP");
        usage("compare over UDP", "telvaro-cli upload --port -1 --compare load.TVD --binary-input",
              "--compare reads the controller back over a serial link (--port 1 or above); the link is UDP");
        usage("repeat beyond 200", "telvaro-cli run --repeat-from 201 x.TVD",
              "--repeat-from takes a message number from 0 to 200");
        usage("no duration", "telvaro-cli run --duration 0 x.TVD", "--duration takes a number of seconds above 0");
        // What is plugged in differs from machine to machine; the line is there.
        row("missing device",
            "telvaro-cli send --port 4 --device /nonexistent/tty x 2>&1 >/dev/null | "
            "sed -E 's/^(Plugged in now: |No serial device is plugged in).*/LIST/' >&2; exit ${PIPESTATUS[0]}",
            "1 [Error Going into Run\nCommunications not available\n"
            "The serial device /nonexistent/tty is not plugged in.\nLIST\n] ");
        // Every terminal the kernel ties to a device, by its stable name
        // where there is one; the same devices in JSON.
        const QString kernel = "<(for d in /sys/class/tty/*/device; do t=${d%/device}; readlink -f /dev/${t##*/}; "
                               "done | sort)";
        // Each line with every column, unknown ones empty.
        const QString devices = " | xargs -r readlink -f | sort) " + kernel;
        row("ports",
            "diff <(telvaro-cli ports 2>/dev/null | awk -F'\\t' 'NF == 6 { print $1 }'" + devices +
                " && diff <(telvaro-cli ports --json 2>/dev/null | sed -nE 's/^ *\"device\": \"(.*)\",$/\\1/p'" +
                devices + " && echo same",
            "0 [] same\n");
        row("upload's usage", "telvaro-cli upload --help | head -n 1",
            "0 [] Usage: telvaro-cli upload [options] OUT | --compare FILE (--serial-input|--binary-input)\n");
        // Qt's wrapping lost a last word of one character; no line ends in a blank.
        row("help keeps a short last word", "telvaro-cli fleet --help | grep -n ' $'; telvaro-cli fleet --help | "
            "tr -s ' \\n' ' ' | grep -o 'Example: --retries [0-9]*'", "0 [] Example: --retries 2\n");
        usage("ports with an argument", "telvaro-cli ports /dev/ttyS0", "takes no arguments");
        // A device that takes the connection and closes it at once is named as such, by every operation.
        for (const auto &[name, command] :
             {std::pair{"send closed at once", "send x"},
              {"run closed at once", "run three.TVD"},
              {"sign load closed at once", "load-sign three.TVD"},
              {"controller load closed at once", "load-controller --binary-input load.TVD"}})
            row(name,
                QStringLiteral("TELVARO_TIME_SCALE=1 telvaro-cli %1 --port 0 --ip 127.0.0.1 --ip-port ACCEPT")
                    .arg(command),
                "1 [Unable to connect!  State = 8\nThe connection failed: The device closed the connection.\n] ");
        row("message number beyond 8100", "telvaro-cli call-message 8101", "1 [Invalid Message Number!\n] ");
        // Registers that did not load stop the load before its first frame,
        // their reason told once; a file of another format is refused only then.
        row("damaged registers", "telvaro-cli load-controller --binary-input " + udp + "regs.TVD",
            "1 [Error Opening regs.TV1\nline 3: the width -5 is out of range (0 to 5)\nError Loading Controller\n"
            "The registers did not load; nothing was sent.\n] ");
        row("registers of another format", "telvaro-cli load-controller --binary-input " + udp + "other.TVD",
            "1 [Error Loading Controller\nThe registers did not load: other.TV1: the file is of format 2; this "
            "program reads format 1\n] ");
        row("damaged registers compared",
            "telvaro-cli upload --compare regs.TVD --binary-input --port 1 --device /nonexistent/tty",
            "1 [Error Opening regs.TV1\nline 3: the width -5 is out of range (0 to 5)\n"
            "The registers did not load; nothing was compared.\n] ");
        row("upload elsewhere", "telvaro-cli upload --port 0 x.TVD",
            "1 [Error Loading Controller\nThe upload reads a serial port; choose a port number of 1 or above.\n] ");
        // list and convert; a convert may read what one before wrote, and
        // what it writes follows its outcome.
        const QByteArray grid = "000 | 001000 | <0x02>Hello | first\n001 | 040000 | \xc3\xa9<0x0D> | a, b\n";
        // The operator's text, then which file and why on a line of its own.
        const auto opening = [](const QByteArray &why) { return "1 [Error Opening file\n" + why + "\n] "; };
        const auto written = [](const char *file) {
            return QStringLiteral("; s=$?; cat %1 2>/dev/null; exit $s").arg(file);
        };
        const QByteArray qndWarning = "QND file format only supports intervals up to 32767 ms\n\n"
                                      "Message 001 has an interval of 40000 ms: the saved file will not open again\n";
        const QByteArray refused = "Nothing was written; give --force to save it all the same.\n";
        // UTF-8 for the terminal, every control character escaped.
        row("controls escaped", "telvaro-cli list controls.TVD",
            "0 [] 000 | 000005 | caf\xc3\xa9 \xe2\x82\xac<0x1B>]0;x<0x07> | <0x1B>[2J<0x07><0x9D>\xc3\xa9\n");
        row("raw bytes", "telvaro-cli list --raw controls.TVD",
            "0 [] 000 | 000005 | caf\xe9 \x80\x1b]0;x\x07 | \x1b[2J\x07\x9d\xe9\n");
        // The text view shows SendData, which a TVD file leaves empty.
        row("text view raw", "telvaro-cli list --text-view --raw m.tvd",
            "0 [] 000 | 001000 | <0x02>Hello | \r\n001 | 040000 | \xe9<0x0D> | \r\n");
        row("damaged", "telvaro-cli list bad.TVD",
            opening("bad.TVD: line 3: 4 fields expected, 3 found") + grid); // what was read before the error
        usage("list nothing", "telvaro-cli list", "expects one FILE\n");
        usage("list other extension", "telvaro-cli list m.txt", "\"m.txt\" is not a TVD or QND file\n");
        usage("convert to other extension", "telvaro-cli convert m.tvd m.txt", "\"m.txt\" is not a TVD or QND file\n");
        // A QND file that would not open again, or would lose messages, is
        // not written unless forced.
        row("to QND refused", "telvaro-cli convert m.tvd m.QND" + written("m.QND"),
            "1 [" + qndWarning + refused + "] ");
        row("to QND forced", "telvaro-cli convert --force m.tvd m.QND && head -n 3 m.QND",
            "0 [" + qndWarning + "] 1000,0,\"<0x02>Hello\"\r\n40000,1,\"\xe9<0x0D>\"\r\n0,2,\"\"\r\n");
        // That interval does not read back: nothing is written.
        row("back to TVD", "telvaro-cli convert m.QND back.TVD" + written("back.TVD"),
            opening("m.QND: line 2: the interval 40000 is out of range (-32768 to 32767)"));
        row("save nowhere", "telvaro-cli convert m.tvd no/m.TVD",
            "1 [Error Saving no/m.TVD\nthe file cannot be written: " + qt_error_string(ENOENT).toUtf8() + "\n] ");
        // An empty text sends no datagram.
        row("run once through", "telvaro-cli run " + udp + "once.TVD", "0 [] ", "\002A|B\r|C");
        // A stop cuts the wait of 10 minutes (6 s here) short, as data entry
        // does; a run that ignored SIGTERM would be killed (137).
        row("run for a duration", "telvaro-cli run --repeat-from 2 --duration 0.5 " + udp + "slow.TVD", "0 [] ",
            "X|Y|Z");
        // A stop by signal says where, and what the device has: 128 + the signal.
        row("run stopped by SIGTERM",
            "timeout --foreground -s KILL 5 telvaro-cli run --repeat-from 1 " + udp +
                "slow.TVD & sleep 1; kill $!; wait $!",
            "143 [Stopped by SIGTERM at message 3 of 3. 3 messages were sent.\n] ", "X|Y|Z");
        // A terminal or session that goes ends it as an interrupt does.
        for (const auto &[name, signal, status] :
             {std::tuple{"sign load stopped by SIGINT", "INT", "130"}, {"sign load stopped by SIGHUP", "HUP", "129"}})
            row(name,
                "TELVARO_TIME_SCALE=1 timeout --foreground -s KILL 5 telvaro-cli load-sign " + udp +
                    "two.TVD & sleep 2; kill -" + signal + " $!; wait $!",
                QByteArray(status) + " [Stopped by SIG" + signal +
                    " at set-up frame 1 of 3. The sign's memory was erased; 0 of 2 messages are stored.\n] ",
                "\001Z00\002E$\004");
        // Transcripts without their times: a device that closes, told as the
        // message says it, and a stderr nobody reads, which holds up neither
        // the run nor the end of the program and costs the transcript no frame.
        const QString lines = "; s=$?; sed -E 's/^\\S+ //; s/:[0-9]+$//' t.log; rm t.log; exit $s";
        row("transcript of a device that closes",
            "telvaro-cli run --port 0 --ip 127.0.0.1 --ip-port CLOSING --transcript t.log three.TVD" + lines,
            "1 [Error Going into Run\nThe device closed the connection.\n2 of 3 frames were not sent.\n] LINK\topened: "
            "TCP 127.0.0.1\nTX 1\tA\nLINK\tclosed by the device: The device closed the "
            "connection.\nEND\tfailed: The device closed the connection. 2 of 3 frames were not sent. (exit status "
            "1)\n",
            "*");
        row("transcript, stderr never read",
            "mkfifo stalled; exec 4<>stalled; for e in stalled free; do telvaro-cli run --verbose --transcript "
            "$e.log " +
                udp +
                "wide.TVD 2>$e; done; diff <(grep -o 'TX.*' stalled.log) <(grep -o 'TX.*' free.log) "
                "&& grep -c TX stalled.log; rm stalled* free*",
            "0 [] 60\n", "*");
        // A transcript that cannot hold every line fails the command: a full
        // device, a FIFO nobody reads, a disk that fills midway, where the
        // file keeps whole lines only and the next command appends to it.
        row("transcript to a full device", "telvaro-cli send " + udp + "--transcript /dev/full HI",
            "1 [telvaro-cli: the transcript /dev/full is incomplete: 4 lines could not be written: No space left on "
            "device.\n] ",
            "HI");
        row("simulator's transcript to a full device",
            "telvaro-devsim --udp 0 --duration 0.1 --transcript /dev/full >/dev/null",
            "1 [telvaro-devsim: the transcript /dev/full is incomplete: 1 lines could not be written: No space left "
            "on device.\n] ");
        row("transcript nobody reads",
            "mkfifo slow; exec 4<>slow; telvaro-cli run " + udp + "--transcript slow wide.TVD; s=$?; rm slow; exit $s",
            "1 [telvaro-cli: the transcript slow is incomplete: its last lines did not reach the file within 2 s.\n] ",
            "*");
        row("transcript to a pipe without a reader",
            "mkfifo none; telvaro-cli send " + udp + "--transcript none HI; s=$?; rm none; exit $s",
            "1 [telvaro-cli: cannot open the transcript none: nothing reads the pipe\n] ");
        row("transcript on a disk that fills",
            "mkdir -p small; unshare -rm bash <<'X'\nmount -t tmpfs -o size=64k none small || exit 99; cd small\n"
            "head -c 1M /dev/zero >filler 2>/dev/null; truncate -s -6000 filler\ntelvaro-cli run " +
                udp + "--transcript t.log ../wide.TVD 2>../err; a=$?; rm filler\ntelvaro-cli send " + udp +
                "--transcript t.log HI; echo $a $? $(grep -cvE '^[0-9-]{10}T[0-9:]{8}\\.[0-9]{6}Z [A-Z]' t.log) "
                "$(tail -n1 t.log | cut -f2); sed -E 's/[0-9]+ lines/N lines/' ../err >&2\nX",
            "0 [telvaro-cli: the transcript t.log is incomplete: N lines could not be written: No space left on "
            "device.\n] 1 0 0 done (exit status 0)\n",
            "*");
        // A dry run opens nothing (no such device, nobody on the port) and
        // prints the waits in real time whatever the test scale.
        row("sign load dry run",
            "TELVARO_TIME_SCALE=1 telvaro-cli load-sign --dry-run --address 0a --port 1 --device /nonexistent "
            "three.TVD",
            "0 [] 0.000\t<0x01>Z0A<0x02>E$<0x04>\n15.000\t<0x01>Z0A<0x02>E.SL<0x04>\n17.000\tSETPLAYLISTTOE\n"
            "19.000\t<0x01>40A<0x02>A<0x0F>DT!!A\n21.000\t<0x01>40A<0x02>A<0x0F>DT!\"B\n"
            "23.000\t<0x01>40A<0x02>A<0x0F>DT!#C\ntotal 25.000\n");
        // Labels name messages 0 to 8100: one more is refused before any frame.
        row("sign load of 8101 messages",
            "TELVARO_TIME_SCALE=1 telvaro-cli load-sign --dry-run " + udp + "big.TVD | tail -1",
            "0 [] total 16216.000\n");
        row("sign load of 8102 messages",
            "{ cat big.TVD; echo '10,8101,\"X\",\"\"'; } >bigger.TVD; telvaro-cli load-sign --dry-run " + udp +
                "bigger.TVD",
            "1 [Error Loading Sign\nA sign holds messages 0 to 8100.\n] total 0.000\n");
        // Over TCP the connection wait's first look comes before any frame.
        row("run dry run cut by its duration",
            "TELVARO_TIME_SCALE=1 telvaro-cli run --dry-run --hex --repeat-from 1 --duration 700 --port 0 --ip "
            "127.0.0.1 --ip-port CLOSED slow.TVD",
            "0 [] 0.500\t58\n0.510\t59\n0.520\t5A\n600.519\t59\n600.529\t5A\ntotal 700.000\n");
        // A message due when the run ends is not sent.
        row("run dry run, message due at its end",
            "TELVARO_TIME_SCALE=1 telvaro-cli run --dry-run --hex --duration 0.02 " + udp + "slow.TVD",
            "0 [] 0.000\t58\n0.010\t59\ntotal 0.020\n");
        // Frames with no waits between them are no endless run.
        row("controller load dry run over TCP",
            "telvaro-cli load-controller --dry-run --binary-input --port 0 --ip 127.0.0.1 --ip-port CLOSED load.TVD "
            "| cut -f1 | uniq -c",
            "0 []       6 0.005\n      1 total 0.005\n");
        // Nothing goes over a link: no transcript is made.
        row("send dry run",
            "telvaro-cli send --dry-run --transcript t.log " + udp + "'<0x02>'; s=$?; ls t.log; exit $s",
            "0 [--dry-run opens no link: the transcript t.log is not written.\nls: cannot access 't.log': No such file "
            "or directory\n] 0.000\t<0x02>\ntotal 0.020\n");
        usage("hex without a dry run", "telvaro-cli load-sign --hex " + udp + "two.TVD",
              "--hex needs --dry-run: it shows a dry run's frames, and without --dry-run the command would send to "
              "the device");
        // Every message is checked before the erase: nothing is opened.
        row("sign load of a bad table", "telvaro-cli load-sign --port 0 --ip 127.0.0.1 --ip-port CLOSED escape2.TVD",
            "1 [Error Loading Sign\nMessage 2 holds an escape outside 0 to 255.\n] ");
        // A test build says it runs on the test clock.
        row("time scale said", "telvaro-cli encode x 2>&1 >/dev/null | sed 's/^/said: /'",
            "0 [] said: telvaro-cli: TELVARO_TIME_SCALE=100 runs the protocol waits at 100 times real speed (a test "
            "build).\n");
        row("run dry run without an end", "telvaro-cli run --dry-run --repeat-from 0 --duration 9 " + udp + "zero.TVD",
            "1 [The run repeats messages without an interval: it cannot be planned.\n] 0.000\tZ\n...");
        usage("repeating dry run", "telvaro-cli run --dry-run --repeat-from 0 x.TVD",
              "--dry-run of a run with --repeat-from needs --duration");
        // The progress line counts down what is left of the plan: elapsed and
        // left add up to the load's second (20 s at 1/20).
        row("load progress counts down",
            "TELVARO_TIME_SCALE=20 script -qec 'telvaro-cli load-sign " + udp +
                "three.TVD' /dev/null | tr '\\r' '\\n' | sed -nE 's/.*, ([0-9.]+) s, ([0-9.]+) s left.*/\\1 \\2/p' | "
                "awk '{ n++; if ($1 + $2 < 0.85 || $1 + $2 > 1.15) bad++ } END { print (n > 2 && !bad) ? \"ok\" : "
                "\"bad\" }'",
            "0 [] ok\n", "*");
        row("run missing file", "telvaro-cli run --port -1 none.TVD",
            "1 [Error Opening file\nnone.TVD: the file does not exist\n] ");
    }
    void commands()
    {
        auto [line, run, received] = fetch<QString, QByteArray, QByteArray>({"line", "run", "received"});
        UdpPeer udp;
        TcpPeer closed, acceptClose, closing;
        acceptClose.onReceive = [](TcpPeer &p, const QByteArray &) { p.dropConnection(false); };
        closing.onReceive = [](TcpPeer &p, const QByteArray &chunk) {
            if (!chunk.isEmpty())
                p.dropConnection(false);
        };
        for (const auto &[name, peer] : {std::pair{"ACCEPT", &acceptClose}, {"CLOSING", &closing}, {"CLOSED", &closed}})
            line.replace(QLatin1String(name), QString::number(peer->port()));
        closed.stopListening();
        line.replace(QStringLiteral("UDP"), QString::number(udp.port()));
        const ProgramResult result = RunShell(line);
        if (result.status == 99)
            QSKIP("no file system can be mounted here");
        const QByteArray got = Outcome(result);
        if (run.startsWith("2 ["))
            QVERIFY2(got.startsWith(run) && got.endsWith("] "), got.constData()); // nothing on stdout
        else if (run.endsWith("..."))
            QVERIFY2(got.startsWith(run.chopped(3)), got.constData());
        else
            QCOMPARE(got, run);
        if (received != "*")
            QCOMPARE(udp.datagrams.join('|'), received);
    }

    // An operation keeps to its dry run over each link: the frames printed
    // go out, as the program's transcript and the simulated device have
    // them; no wait is shorter than planned (but for the moments the link
    // takes to open), and none is longer by more than half of it (a wait
    // missing from the plan, at least 200 ms here, is); the plan's total is
    // the span from the link opened to it closed. A sign load runs at 1/10
    // of real time, a controller load at 1/100, a run (to its end, or cut by
    // --duration between two messages) at 1/4. The best of three runs is
    // taken: a loaded machine only ever makes a run late.
    void keepsToItsPlan_data()
    {
        columns<QStringList, QString, QString>({"device", "command", "scale"});
        const QString ip = " --ip 127.0.0.1 --ip-port PORT", pty = m_dir.filePath(QStringLiteral("ttyPlanned"));
        row("sign load over udp", QStringList{"--udp", "0", "--role", "sign"},
            "load-sign --port -1" + ip + " three.TVD", "10");
        row("controller load over a pty", QStringList{"--pty", "--link", pty, "--role", "controller"},
            "load-controller --binary-input --port 1 --baud 19200 --device " + pty + " load.TVD", "100");
        for (const auto &[name, device, link] :
             {std::tuple{"udp", QStringList{"--udp", "0"}, "--port -1" + ip},
              std::tuple{"tcp", QStringList{"--tcp", "0"}, "--port 0" + ip},
              std::tuple{"pty", QStringList{"--pty", "--link", pty}, "--port 1 --device " + pty}})
            for (const QString &duration : {QString(), QStringLiteral(" --repeat-from 0 --duration 0.5")})
                QTest::newRow(qPrintable(QStringLiteral("run over %1%2").arg(name, duration.isEmpty() ? "" : ", cut")))
                    << device << "run " + link + duration + " paced.TVD"
                    << "4";
    }
    void keepsToItsPlan()
    {
        const auto [device, command, scale] = fetch<QStringList, QString, QString>({"device", "command", "scale"});
        QProcess simulator;
        const QString port = StartDevice(simulator, device).section(u':', -1);
        const QStringList args = QString(command).replace(QLatin1String("PORT"), port).split(u' '),
                          env = {"TELVARO_TIME_SCALE=" + scale};
        const Plan plan = DryRun(args, env);
        QStringList frames;
        QByteArray planned;
        QList<double> due = {0}, best;
        for (const auto &[offset, frame] : plan.frames) {
            frames << QString::number(frame.size()) + u'\t' + QString::fromLatin1(FormatReceived(frame));
            planned += FormatReceived(frame);
            due << offset;
        }
        due << plan.total;
        const double bound = qMax(0.01 * plan.total, 0.02);
        const auto span = [](const QList<double> &at) { return at.isEmpty() ? -1.0 : at.last() - at.first(); };
        int runs = 0;
        for (; runs < 3 && qAbs(span(best) - plan.total) > bound; ++runs) {
            QFile::remove(QStringLiteral("asSent.log"));
            // Without a terminal no progress line either.
            QCOMPARE(Outcome(RunProgram(CliPath(), args + QStringList{"--transcript", "asSent.log"}, env)), "0 [] ");
            const AsSent sent = ReadTranscript(QStringLiteral("asSent.log"));
            QCOMPARE(sent.frames, frames);
            QCOMPARE(sent.moments.size(), due.size());
            if (qAbs(span(sent.moments) - plan.total) < qAbs(span(best) - plan.total))
                best = sent.moments;
        }
        QByteArray received;
        for (const QString &line : StopDevice(simulator))
            if (line.startsWith(QLatin1String("received ")))
                received += line.mid(9).toLatin1();
        QCOMPARE(received, planned.repeated(runs));
        for (qsizetype i = 1; i < best.size(); ++i) {
            const double gap = best[i] - best[i - 1], plannedGap = due[i] - due[i - 1];
            const QString figures = QStringLiteral("gap %1: ran %2 s, planned %3 s").arg(i).arg(gap).arg(plannedGap);
            QVERIFY2(gap >= plannedGap - bound && gap <= plannedGap + qMax(plannedGap / 2, 0.1), qPrintable(figures));
        }
        const QString figures = QStringLiteral("planned %1 s, ran %2 s").arg(plan.total).arg(span(best));
        qInfo("%s", qPrintable(figures));
        QVERIFY2(!frames.isEmpty() && plan.total > 0 && qAbs(span(best) - plan.total) <= bound, qPrintable(figures));
    }

    // A run with escapes and time tokens, planned in real time and run at
    // 1/100: the tokens show when each frame goes out.
    void tokensAsPlanned()
    {
        UdpPeer udp;
        const QStringList args = {
            "run", "--port", "-1", "--ip", "127.0.0.1", "--ip-port", QString::number(udp.port()), "tokens.TVD"};
        const QDateTime dryStart = QDateTime::currentDateTime();
        const Plan run = DryRun(args, {"TELVARO_TIME_SCALE=1"});
        const QDateTime realStart = QDateTime::currentDateTime();
        QCOMPARE(RunCli(args).status, 0);
        QCOMPARE(run.frames.size(), 2);
        QCOMPARE(run.total, 103.0);
        QList<QByteArray> planned, sent;
        for (int i = 0; i < 2; ++i) {
            planned << Tokens(run.frames[i].second, dryStart.addSecs(qint64(run.frames[i].first)));
            sent << Tokens(udp.datagrams.value(i), realStart.addSecs(i));
        }
        QCOMPARE(planned, (QList<QByteArray>{"\x02X<T>\x03", "Y<T>\r"}));
        QCOMPARE(sent, planned);
    }

    // A send over TCP from the settings store alone, in real time so that
    // the reply comes within the link's hold, whose length the link suite
    // measures (UDP is in the table above, serial links in the plans below).
    void sendsOverTcpFromTheStore()
    {
        QProcess tcp;
        const QString tcpPort = StartDevice(tcp, {"--tcp", "0", "--reply", "OK<0x0D>"}).section(u':', -1);
        QSettings store(m_dir.filePath(QStringLiteral("Telvaro/Telvaro.ini")), QSettings::IniFormat);
        for (const auto &[key, value] : {std::pair{"AppPort", "0"}, {"AppIP", "127.0.0.1"}, {"AppIPPort", ""}})
            store.setValue(QStringLiteral("Settings/") + key, *value ? QString(value) : tcpPort);
        store.sync();
        const ProgramResult r = RunProgram(CliPath(), {"send", "--verbose", "<0x02>Hi<0x03>"}, {"TELVARO_TIME_SCALE="});
        QVERIFY2(r.status == 0 && r.err.contains("panel 2: <0x02>Hi<0x03>\n") &&
                     r.err.contains("panel 2: No Traffic\n"),
                 r.err.constData());
        QVERIFY2(QRegularExpression(QStringLiteral("^OK<0d13>\n\\d+\\.\\d\\d\n$"))
                     .match(QString::fromLatin1(r.out))
                     .hasMatch(),
                 r.out.constData());
        static const QRegularExpression peer(QStringLiteral(" 127\\.0\\.0\\.1:\\d+$"));
        QStringList events = StopDevice(tcp);
        for (QString &event : events)
            event.remove(peer);
        QCOMPARE(events, (QStringList{"connected", "received <0x02>Hi<0x03>", "sent OK<0x0D>", "disconnected"}));
    }

    // Loads and uploads against the simulated controller on a
    // pseudo-terminal: a load that verifies itself, an upload that compares,
    // each difference named, the outcomes joined; an upload's pair of files
    // holds what the controller holds, or when the upload fails, stays as it
    // was.
    void verifyOverPty_data()
    {
        columns<QString, QStringList, QByteArray>({"fault", "commands", "run"});
        const QString load = "load-controller --binary-input --verify load.TVD";
        const QByteArray one = "1 difference between what was sent and what the controller holds.\n";
        row("verified and uploaded", "none",
            QStringList{"load-controller --binary-input --verify long.TVD", "upload --compare long.TVD --binary-input",
                        "upload up.TVD", "upload --compare up.TVD --binary-input"},
            QByteArray("0 [] 0 [] 0 [Controller configured for Binary Input\n] 0 [] new pair"));
        // A controller that misbehaves fails the command with the window's message, its reason once.
        row("double enq", "double-enq", QStringList{"load-controller --binary-input load.TVD"},
            QByteArray("1 [Serial Connection Failed.\nNo reply <0x05> to step -1.\n] "));
        row("garbage upload", "garbage-upload", QStringList{"upload up.TVD"},
            QByteArray(
                "1 [Error Loading Controller\nThe upload names register \"99\"; registers are 0 to 31.\n] old pair"));
        // A token stands for a time text only; text that names an end byte is no end byte.
        row("compared as bytes", "none",
            QStringList{"load-controller --binary-input wrong.TVD", "upload --compare right.TVD --binary-input"},
            QByteArray("0 [] 1 [message 000: sent \"<T> ok<0x04>\", read back \"TOTALLY WRONG ok<0x04>\"\n"
                       "message 001: sent \"A<0x04>\", read back \"A<0x3C>0x04>B<0x04>\"\n"
                       "message 002: sent \"B<0x04>\", missing from the controller\n"
                       "3 differences between what was sent and what the controller holds.\n] "));
        row("message changed", "changed-message", QStringList{load},
            "1 [message 001: sent \"WORLD<0x0D><0x04>\", read back \"WORLD<0x0E><0x04>\"\n" + one + "] ");
        row("register changed", "changed-register", QStringList{load},
            "1 [register 02: sent \"0230\", read back \"0240\"\n" + one + "] ");
        row("other input", "none",
            QStringList{"load-controller --binary-input load.TVD", "upload --compare load.TVD --serial-input"},
            "0 [] 1 [configuration: sent \"<0x01><0x02>1<0x03><0x04>\", read back \"<0x01><0x02>0<0x03><0x04>\"\n" +
                one + "] ");
    }
    void verifyOverPty()
    {
        const auto [fault, commands, run] = fetch<QString, QStringList, QByteArray>({"fault", "commands", "run"});
        const QString link = m_dir.filePath(QStringLiteral("ttyVerified"));
        QProcess controller;
        StartDevice(controller, {"--pty", "--link", link, "--role", "controller", "--fault", fault});
        QByteArray got;
        int status = 0;
        QFile::remove(QStringLiteral("verify.log"));
        for (const char *name : {"up.TVD", "up.TV1"}) {
            QFile old(QString::fromLatin1(name));
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old\r\n") == 5);
        }
        for (const QString &command : commands) {
            const ProgramResult r = RunCli(command.split(u' ') +
                                           QStringList{"--port", "1", "--device", link, "--transcript", "verify.log"});
            got += Outcome(r);
            status = r.status;
        }
        StopDevice(controller);
        if (commands.contains(QStringLiteral("upload up.TVD")))
            got += Contents("up.TVD") + Contents("up.TV1") == "old\r\nold\r\n" ? "old pair" : "new pair";
        QCOMPARE(got, run);
        // The transcript, appended to by each command, ends with the status
        // the last one ended with.
        const QByteArray lines = Contents("verify.log");
        qsizetype opened = 0; // a read-back opens the link once more
        for (const QString &command : commands)
            opened += command.contains(QLatin1String("--verify")) ? 2 : 1;
        QCOMPARE(lines.count("LINK\topened"), opened);
        const QByteArray last = lines.trimmed().split('\n').constLast();
        QVERIFY2(last.contains(" END\t") && last.endsWith("(exit status " + QByteArray::number(status) + ")"),
                 last.constData());
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
