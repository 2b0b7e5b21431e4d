// The link's figures: received-data display throughput, a flood into the
// bounded box, TCP send completion on loopback, and when a quick send's
// bytes reach a device. Target: the display of a 1 MB arrival at most 20 ms,
// the same text as a plain byte-at-a-time reading gives.

#include "benchutil.h"

#include "app/workspace.h"
#include "link/link.h"
#include "link/linkrules.h"
#include "run/quicksend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <random>

using namespace telvaro;

namespace {

class SilentPrompter : public Prompter {
public:
    Answer message(const QString &text, const QString &, Buttons, Icon) override
    {
        std::printf("message: %s\n", qPrintable(text));
        return Answer::Ok;
    }
    std::optional<QString> input(const QString &, const QString &, const QString &d) override { return d; }
    std::optional<QString> openFileName(const QString &, const QString &) override { return std::nullopt; }
    std::optional<QString> saveFileName(const QString &, const QString &) override { return std::nullopt; }
};

// A device on loopback that counts what it receives.
struct Device {
    QTcpServer server;
    QTcpSocket *socket = nullptr;
    qint64 received = 0;
    QElapsedTimer *clock = nullptr;
    qint64 firstByteAt = -1;
    Device()
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this] {
                const qint64 n = socket->readAll().size();
                if (received == 0 && n > 0 && clock)
                    firstByteAt = clock->elapsed();
                received += n;
            });
        });
    }
    void waitFor(qint64 total)
    {
        while (received < total)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
};

// The display read a byte at a time.
QString PlainReceived(QByteArrayView data, QTime timeOfDay)
{
    QByteArray text;
    for (const char b : data) {
        const auto c = static_cast<unsigned char>(b);
        text += c >= 32 && c <= 125 ? QByteArray(1, b) : "<0d" + QByteArray::number(c) + '>';
    }
    return QString::fromLatin1(text) + "\r\n" + SecondsSinceMidnightText(timeOfDay) + "\r\n";
}

// The whole arrival and its first bytes, so that every way one can end is met.
bool DisplaysAgree(const QByteArray &arrival, QTime timeOfDay)
{
    for (qsizetype n = 1; n <= 64; ++n) {
        const QByteArrayView first = QByteArrayView(arrival).first(n);
        if (ReceivedText(first, n, timeOfDay).text != PlainReceived(first, timeOfDay))
            return false;
    }
    return ReceivedText(arrival, arrival.size(), timeOfDay).text == PlainReceived(arrival, timeOfDay);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    QByteArray arrival(1000 * 1000, Qt::Uninitialized);
    std::mt19937 random(20240309);
    for (char &c : arrival)
        c = char(random() % 256);
    const bool agree = DisplaysAgree(arrival, QTime(12, 0, 1, 5));
    std::printf("fast and plain displays %s\n", agree ? "agree" : "DIFFER");
    const auto display = bench::Measure(21, [&] { bench::Keep(ReceivedText(arrival, arrival.size(), QTime(12, 0))); });
    bench::Report("received display, 1 MB arrival", display, double(arrival.size()));
    const bool displayMet =
        bench::Target("received display, 1 MB arrival", display.medianMs, bench::Bound::AtMost, 20, "ms");

    const QByteArray chunk = arrival.left(1000);
    const auto flood = bench::Measure(21, [&] {
        QString box;
        for (int i = 0; i < 1000; ++i)
            box = AppendBounded(box, ReceivedText(chunk, chunk.size(), QTime(12, 0)).text);
        bench::Keep(box);
    });
    bench::Report("flood, 1000 arrivals of 1000 B", flood, 1000.0 * 1000);

    SilentPrompter prompter;
    Workspace ws(prompter);
    ws.MnuModeData_Click();
    {
        Device device;
        ws.linkSettings().setPortNumber(0);
        ws.linkSettings().setIpAddress(QStringLiteral("127.0.0.1"));
        ws.linkSettings().setIpPort(QString::number(device.server.serverPort()));
        Link &link = ws.link();
        link.OpenLink();
        if (!link.CheckLink())
            return 1;
        const QByteArray message = QByteArray("<0x02>") + QByteArray(94, 'M') + "<0x03>";
        qint64 sent = 0;
        const auto send = bench::Measure(201, [&] {
            link.SendOnLink(message);
            sent += message.size();
            device.waitFor(sent);
        });
        bench::Report("tcp send of 100 B until received", send, 0);
        link.CloseLink();
    }

    // The connection wait takes its 500 ms steps before the bytes go out.
    for (int run = 0; run < 3; ++run) {
        Device device;
        QElapsedTimer clock;
        device.clock = &clock;
        ws.linkSettings().setIpPort(QString::number(device.server.serverPort()));
        ws.setBox(Workspace::Box::Entry, QStringLiteral("quick<0x0D>"));
        clock.start();
        ws.CmdQuickSend_Click();
        std::printf("quick send over tcp: bytes at the device after %lld ms, done after %lld ms\n",
                    static_cast<long long>(device.firstByteAt), static_cast<long long>(clock.elapsed()));
    }
    return agree && displayMet ? 0 : 1;
}
