// A transcript under a received flood: telvaro-cli runs 100 messages 20 ms
// apart to a TCP device that sends back at 100 and at 500 MB/s, without and
// with --transcript. The run's duration (from its first message to its last,
// as the device receives them; 1.98 s on schedule), the program's time from
// start to exit and its peak memory, each the median and spread of several
// runs.
#include "benchutil.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

using Clock = std::chrono::steady_clock;

namespace {

// A device at a free loopback TCP port that, once connected, sends at a
// rate of bytes a second until the program closes the connection, and
// takes whatever the program sends.
class FloodDevice {
public:
    explicit FloodDevice(double bytesPerSecond) : m_rate(bytesPerSecond)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        const int yes = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 4) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~FloodDevice() { finish(); }
    // Takes no more connections and waits for the last one to end, so that
    // its figures are complete.
    void finish()
    {
        if (!m_thread.joinable())
            return;
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }
    int port() const { return m_port; }
    double sentMegabytes() const { return double(m_sent) / 1e6; }
    // From the first bytes received to the last, on the longest connection.
    double receivedSeconds() const { return m_span; }

private:
    void serve()
    {
        for (;;) {
            const int peer = ::accept(m_listener, nullptr, nullptr);
            if (peer < 0)
                return;
            std::thread reader([this, peer] {
                char sink[4096];
                std::optional<Clock::time_point> first;
                Clock::time_point last;
                while (::recv(peer, sink, sizeof sink, 0) > 0) {
                    last = Clock::now();
                    first = first.value_or(last);
                }
                if (first)
                    m_span = std::max(m_span.load(), std::chrono::duration<double>(last - *first).count());
            });
            // Replies as a device sends them: text, line ends and control bytes.
            QByteArray chunk;
            while (chunk.size() < 64 * 1024)
                chunk += "OK 0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n\x06\x04";
            chunk.truncate(64 * 1024);
            const auto start = Clock::now();
            qint64 sent = 0;
            for (;;) {
                std::this_thread::sleep_until(start + std::chrono::duration<double>(double(sent) / m_rate));
                const auto n = ::send(peer, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += n;
            }
            m_sent += sent;
            ::shutdown(peer, SHUT_RDWR);
            reader.join();
            ::close(peer);
        }
    }

    const double m_rate;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<qint64> m_sent = 0;
    std::atomic<double> m_span = 0;
    std::thread m_thread;
};

struct RunFigures {
    double seconds = 0;
    double peakMegabytes = 0;
    int status = -1;
};

// One run of telvaro-cli with what it writes to stdout and stderr dropped.
RunFigures RunCli(const QStringList &args, const QString &home)
{
    std::vector<QByteArray> argv8{QByteArray(TELVARO_CLI_PATH)};
    for (const QString &a : args)
        argv8.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : argv8)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const QByteArray config = "XDG_CONFIG_HOME=" + QFile::encodeName(home);
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::unsetenv("TELVARO_TIME_SCALE");
        ::putenv(const_cast<char *>(config.constData()));
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    RunFigures f;
    f.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    f.peakMegabytes = double(usage.ru_maxrss) / 1024;
    f.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return f;
}

} // namespace

// Targets: with a transcript the run lasts at most 5 % longer than without,
// at 100 and at 500 MB/s received, and its peak memory grows by at most the
// transcript's bound and its buffers (32 MB).
int main(int argc, char *argv[])
{
    const int runs = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 5;
    QTemporaryDir dir;
    const QString table = dir.filePath(QStringLiteral("flood.TVD"));
    {
        QFile f(table);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        for (int i = 0; i < 100; ++i)
            f.write("20," + QByteArray::number(i) + ",\"<0x02>M" + QByteArray::number(i) + "<0x03>\",\"\"\r\n");
    }
    // The transcript's file, or another path given (a file on another disk, /dev/null).
    const QString transcript = argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(QStringLiteral("flood.log"));
    std::printf("telvaro-cli run of 100 messages 20 ms apart over TCP, %d runs each, the device flooding back:\n",
                runs);
    bool met = true;
    for (const double rate : {100e6, 500e6}) {
        double seconds[2] = {}, memory[2] = {};
        for (const bool withTranscript : {false, true}) {
            std::vector<double> ms, wall, mb;
            int failed = 0;
            double written = 0, received = 0;
            for (int r = 0; r < runs; ++r) {
                if (argc <= 2)
                    QFile::remove(transcript);
                FloodDevice device(rate);
                QStringList args{QStringLiteral("run"),         QStringLiteral("--port"),
                                 QStringLiteral("0"),           QStringLiteral("--ip"),
                                 QStringLiteral("127.0.0.1"),   QStringLiteral("--ip-port"),
                                 QString::number(device.port())};
                if (withTranscript)
                    args << QStringLiteral("--transcript") << transcript;
                const RunFigures f = RunCli(args << table, dir.path());
                device.finish();
                ms.push_back(device.receivedSeconds() * 1000);
                wall.push_back(f.seconds * 1000);
                mb.push_back(f.peakMegabytes);
                failed += f.status != 0;
                written += double(QFileInfo(transcript).size()) / 1e6 / runs;
                received += device.sentMegabytes() / runs;
            }
            const bench::Figures time = bench::Summarise(ms), total = bench::Summarise(wall),
                                 peak = bench::Summarise(mb);
            seconds[withTranscript] = time.medianMs / 1000;
            memory[withTranscript] = peak.medianMs;
            std::printf("%3.0f MB/s %s: run median %.3f s (min %.3f, max %.3f), start to exit median %.3f s "
                        "(max %.3f), peak memory median %.1f MB (max %.1f); %.0f MB sent by the device, %.0f MB of "
                        "transcript, %d runs not exit 0\n",
                        rate / 1e6, withTranscript ? "with transcript" : "without", time.medianMs / 1000,
                        time.minMs / 1000, time.maxMs / 1000, total.medianMs / 1000, total.maxMs / 1000, peak.medianMs,
                        peak.maxMs, received, written, failed);
        }
        const QByteArray name = QByteArray::number(rate / 1e6) + " MB/s: duration with / without";
        met &= bench::Target(name.constData(), 100 * seconds[1] / seconds[0], bench::Bound::AtMost, 105, "%");
        const QByteArray growth = QByteArray::number(rate / 1e6) + " MB/s: memory the transcript adds";
        met &= bench::Target(growth.constData(), memory[1] - memory[0], bench::Bound::AtMost, 32, "MB");
    }
    return met ? 0 : 1;
}
