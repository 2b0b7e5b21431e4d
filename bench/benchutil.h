#pragma once
// Repeated timing of one piece of work: median and spread in milliseconds,
// and throughput when the work has a size in bytes.

#include "app/workspace.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace bench {

struct Figures {
    double medianMs = 0;
    double minMs = 0;
    double maxMs = 0;
};

// Keeps the compiler from discarding a result that nothing else reads.
template <typename T> inline void Keep(const T &value)
{
    asm volatile("" : : "r"(&value) : "memory");
}

// Median and spread of timings in milliseconds.
inline Figures Summarise(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const size_t mid = ms.size() / 2;
    const double median = ms.size() % 2 ? ms[mid] : (ms[mid - 1] + ms[mid]) / 2;
    return {median, ms.front(), ms.back()};
}

template <typename Work> Figures Measure(int runs, Work &&work)
{
    std::vector<double> ms;
    ms.reserve(size_t(runs));
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto stop = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    }
    return Summarise(std::move(ms));
}

// Throughput at the median time, in MB/s.
inline double MegabytesPerSecond(const Figures &f, double bytes)
{
    return bytes / 1e6 / (f.medianMs / 1e3);
}

inline void Report(const char *name, const Figures &f, double bytes)
{
    std::printf("%-34s median %8.3f ms  min %8.3f  max %8.3f", name, f.medianMs, f.minMs, f.maxMs);
    if (bytes > 0)
        std::printf("  %9.1f MB/s", MegabytesPerSecond(f, bytes));
    std::printf("\n");
}

// A figure against its target, and whether it was met.
enum class Bound { AtMost, AtLeast };
inline bool Target(const char *name, double figure, Bound bound, double target, const char *unit)
{
    const bool met = bound == Bound::AtMost ? figure <= target : figure >= target;
    std::printf("target: %-32s %9.1f %s (%s %.0f %s) %s\n", name, figure, unit,
                bound == Bound::AtMost ? "at most" : "at least", target, unit, met ? "met" : "MISSED");
    return met;
}

// A device on a plain blocking UDP socket at a free loopback port, read on
// its own thread so that arrivals do not depend on the program's event loop.
// Receives give up after timeoutUs. The descriptor, or -1.
inline int OpenLoopbackUdp(sockaddr_in &address, long timeoutUs)
{
    const int device = ::socket(AF_INET, SOCK_DGRAM, 0);
    address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (device < 0 || ::bind(device, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::getsockname(device, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        if (device >= 0)
            ::close(device);
        return -1;
    }
    timeval timeout{timeoutUs / 1000000, timeoutUs % 1000000};
    ::setsockopt(device, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    return device;
}

// The workspace in data entry, linked by UDP to the device at address.
inline void LinkToUdp(telvaro::Workspace &ws, const sockaddr_in &address)
{
    ws.linkSettings().setPortNumber(-1);
    ws.linkSettings().setIpAddress(QStringLiteral("127.0.0.1"));
    ws.linkSettings().setIpPort(QString::number(ntohs(address.sin_port)));
    ws.MnuModeData_Click();
}

} // namespace bench
