// Run timing over loopback UDP: 150 entries of 20 ms each, the gaps between
// datagrams as a device receives them, and the CPU a long wait costs.
#include "app/workspace.h"
#include "base/prompter.h"
#include "base/wait.h"
#include "benchutil.h"
#include "run/run.h"
#include "silentprompter.h"

#include <QCoreApplication>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cmath>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace telvaro;
using Clock = std::chrono::steady_clock;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(std::ceil(p * values.size())) - 1);
    return values[index];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int entries = 150;
    constexpr int intervalMs = 20;

    sockaddr_in address{};
    const int device = bench::OpenLoopbackUdp(address, 5000000);
    if (device < 0)
        return 1;
    std::vector<Clock::time_point> arrivals;
    std::thread receiver([&] {
        char buffer[256];
        while (int(arrivals.size()) < entries && ::recv(device, buffer, sizeof buffer, 0) > 0)
            arrivals.push_back(Clock::now());
    });

    bench::SilentPrompter prompter;
    Workspace ws(prompter);
    ws.linkSettings().setPortNumber(-1);
    ws.linkSettings().setIpAddress(QStringLiteral("127.0.0.1"));
    ws.linkSettings().setIpPort(QString::number(ntohs(address.sin_port)));
    ws.MnuModeData_Click();
    for (int i = 0; i < entries; ++i) {
        ws.table().AppendEntry();
        ws.table().SetContents(i, intervalMs, "<0x02>entry " + QByteArray::number(i) + "<0x03>", {}, {});
    }
    ws.MnuModeRun_Click();
    receiver.join();
    ::close(device);

    std::vector<double> errors;
    for (size_t i = 1; i < arrivals.size(); ++i) {
        const double gap = std::chrono::duration<double, std::milli>(arrivals[i] - arrivals[i - 1]).count();
        errors.push_back(std::abs(gap - intervalMs));
    }
    std::printf("run of %d entries of %d ms over loopback UDP: %zu datagrams\n", entries, intervalMs, arrivals.size());
    if (errors.empty())
        return 1;
    std::printf("gap error: median %.3f ms, 99th percentile %.3f ms, largest %.3f ms\n", percentile(errors, 0.5),
                percentile(errors, 0.99), percentile(errors, 1.0));

    const double cpuBefore = cpuSeconds();
    const auto start = Clock::now();
    Pause(5000);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = cpuSeconds() - cpuBefore;
    std::printf("5 s wait: %.3f s elapsed, %.4f s CPU (%.3f%% of one core)\n", wall, cpu, 100 * cpu / wall);
    return 0;
}
