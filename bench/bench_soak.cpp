// Memory over a long soak: a run with repeat over loopback UDP with no
// interval between messages, the device answering every tenth message so the received-data box
// works too. Resident memory is sampled at every tenth of the sends.
// Usage: bench_soak [sends] (default 1000000).
#include "app/workspace.h"
#include "base/statuspanels.h"
#include "benchutil.h"
#include "silentprompter.h"

#include <QCoreApplication>
#include <QFile>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace telvaro;

namespace {

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1 << 20) : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const long sends = argc > 1 ? std::max(10L, std::atol(argv[1])) : 1000000L;

    sockaddr_in address{};
    const int device = bench::OpenLoopbackUdp(address, 200000);
    if (device < 0)
        return 1;
    std::atomic<bool> done = false;
    std::atomic<long> received = 0;
    std::thread receiver([&] {
        char buffer[512];
        const char answer[] = "\x06STATUS OK 0123456789ABCDEF\r\n";
        while (!done) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            if (::recvfrom(device, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &fromLength) <= 0)
                continue;
            if (++received % 10 == 0)
                ::sendto(device, answer, sizeof answer - 1, 0, reinterpret_cast<sockaddr *>(&from), fromLength);
        }
    });

    bench::SilentPrompter prompter;
    Workspace ws(prompter);
    bench::LinkToUdp(ws, address);
    for (int i = 0; i < 100; ++i) {
        ws.table().AppendEntry();
        ws.table().SetContents(i, 0, "<0x02>MESSAGE " + QByteArray::number(i) + " <T><0x03>", {}, {});
    }
    ws.entry().setRepeatEnabled(true);
    ws.setBox(Workspace::Box::RepeatCaption, QStringLiteral("0"));

    long sent = 0;
    double first = 0;
    double highest = 0;
    std::printf("%10s %12s\n", "sends", "resident MiB");
    QObject::connect(&ws.status(), &StatusPanels::changed, [&](int panel) {
        if (panel != 2 || ws.status().text(2).isEmpty() || ws.status().text(2) == QLatin1String("No Traffic"))
            return;
        if (++sent % (sends / 10) != 0)
            return;
        const double now = residentMiB();
        highest = std::max(highest, now);
        if (first == 0)
            first = now;
        std::printf("%10ld %12.1f\n", sent, now);
        std::fflush(stdout);
        if (sent >= sends)
            ws.MnuModeData_Click();
    });
    const auto start = std::chrono::steady_clock::now();
    ws.MnuModeRun_Click();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    done = true;
    receiver.join();
    ::close(device);
    std::printf("%ld sends in %.1f s (%.0f per second), %ld received by the device; resident memory from the "
                "first tenth to the end: %.1f -> %.1f MiB (growth %.1f MiB), highest %.1f MiB\n",
                sent, seconds, sent / seconds, received.load(), first, residentMiB(), residentMiB() - first, highest);
    return sent >= sends ? 0 : 1;
}
