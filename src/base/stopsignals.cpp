#include "base/stopsignals.h"

#include <QSocketNotifier>

#include <atomic>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace telvaro {

#ifdef Q_OS_UNIX
namespace {
int pipeEnds[2] = {-1, -1};
// Lock-free, so the handler may count on it from whichever thread the
// signal lands on.
std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free);

// Only async-signal-safe work here: the number down the pipe, or the end.
void onSignal(int number)
{
    if (received.fetch_add(1) > 0)
        ::_exit(128 + number);
    const char byte = char(number);
    [[maybe_unused]] const auto written = ::write(pipeEnds[0], &byte, 1);
}
} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    received = 0;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pipeEnds) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const auto read = ::read(pipeEnds[1], &byte, 1);
        Q_EMIT stopRequested(int(byte));
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A terminal or session that goes sends SIGHUP: an ending like the others.
    for (const int number : {SIGHUP, SIGINT, SIGTERM})
        sigaction(number, &action, nullptr);
}

StopSignals::~StopSignals()
{
    for (const int number : {SIGHUP, SIGINT, SIGTERM})
        signal(number, SIG_DFL);
    delete m_notifier;
    m_notifier = nullptr;
    for (int &end : pipeEnds) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

#else
// Elsewhere the default handling stays: the program ends at once.
StopSignals::StopSignals(QObject *parent) : QObject(parent) {}
StopSignals::~StopSignals() = default;
#endif

} // namespace telvaro
