#include "base/wait.h"

#include "base/clock.h"
#include "base/transfer.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <thread>
#include <utility>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace telvaro {

namespace {
double timeScale = 1.0;
PlannedClock *plannedClock = nullptr;
OperationEnd *operationEnd = nullptr;
// The last stretch of a wait, slept without events: short enough for the
// window to stay responsive, long enough to cover a late timer.
constexpr auto finalStretch = std::chrono::microseconds(2000);

void SleepPreciselyUntil(MonotonicClock::time_point deadline)
{
#ifdef Q_OS_LINUX
    // The default slack of 50 us would be most of the error.
    static const bool slackSet = ::prctl(PR_SET_TIMERSLACK, 1UL) == 0;
    Q_UNUSED(slackSet);
#endif
    std::this_thread::sleep_until(deadline);
}
} // namespace

MonotonicClock::time_point MonotonicNow()
{
    return plannedClock ? plannedClock->now() : MonotonicClock::now();
}

PlannedClock::PlannedClock() : m_start(MonotonicClock::now()), m_now(m_start)
{
    plannedClock = this;
    // The wall time of the start, as "<T>" would read it, moved on by the plan.
    SetLocalNowSource([wallStart = LocalNow()] {
        return wallStart.addMSecs(
            std::chrono::duration_cast<std::chrono::milliseconds>(plannedClock->elapsed()).count());
    });
}

PlannedClock::~PlannedClock()
{
    SetLocalNowSource({});
    plannedClock = nullptr;
}

PlannedClock *PlannedClock::running()
{
    return plannedClock;
}

void PlannedClock::advanceTo(MonotonicClock::time_point deadline)
{
    m_now = std::max(m_now, deadline);
}

OperationEnd::OperationEnd(MonotonicClock::time_point at, std::function<void()> action)
    : m_at(at), m_action(std::move(action))
{
    operationEnd = this;
}

OperationEnd::~OperationEnd()
{
    operationEnd = nullptr;
}

OperationEnd *OperationEnd::current()
{
    return operationEnd;
}

void OperationEnd::reach()
{
    if (std::exchange(m_reached, true))
        return;
    if (m_action)
        m_action();
}

MonotonicClock::duration ScaledInterval(double intervalMs)
{
    return std::chrono::duration_cast<MonotonicClock::duration>(
        std::chrono::duration<double, std::milli>(intervalMs / timeScale));
}

void SetPauseTimeScale(double factor)
{
    timeScale = factor > 0 ? factor : 1.0;
}

double PauseTimeScale()
{
    return timeScale;
}

Wait::Wait(qint64 intervalMs) : m_intervalMs(intervalMs) {}

Wait::Wait(MonotonicClock::time_point deadline) : m_deadline(deadline) {}

Wait::~Wait() = default;

Wait &Wait::until(std::function<bool()> condition)
{
    m_condition = std::move(condition);
    return *this;
}

Wait &Wait::stopWhenIdle(const TransferState &transfer)
{
    // Stopped already: nothing to wait for.
    if (transfer.transmitting() == 0)
        finish(End::Stopped);
    QObject::connect(&transfer, &TransferState::transmittingChanged, &m_context, [this](int value) {
        if (value == 0)
            finish(End::Stopped);
    });
    return *this;
}

void Wait::recheck()
{
    if (m_condition && m_condition())
        finish(End::Condition);
}

void Wait::finish(End end)
{
    if (m_done)
        return;
    m_done = true;
    m_end = end;
    if (m_loop)
        m_loop->quit();
}

Wait::End Wait::run()
{
    recheck();
    if (m_done)
        return m_end;
    auto deadline = m_deadline.value_or(MonotonicNow() + ScaledInterval(double(m_intervalMs)));
    // The operation's set end cuts every wait that reaches it.
    OperationEnd *const end = operationEnd;
    if (end && end->reached()) {
        finish(End::Stopped);
        return m_end;
    }
    const bool endsOperation = end && end->at() <= deadline;
    if (endsOperation)
        deadline = end->at();
    const auto elapsed = [&] {
        if (endsOperation) {
            end->reach();
            finish(End::Stopped);
        }
        finish(End::Elapsed);
        return m_end;
    };
    if (plannedClock) {
        // Nothing happens on a planned link while the clock moves on.
        plannedClock->advanceTo(deadline);
        return elapsed();
    }
    // A precise single-shot timer ends the nested loop shortly before the
    // deadline: no polling, no sleeping slices.
    QEventLoop loop;
    m_loop = &loop;
    bool timerFired = false;
    const auto coarse =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - MonotonicClock::now() - finalStretch);
    if (coarse.count() >= 1) {
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &m_context, [&] {
            timerFired = true;
            loop.quit();
        });
        timer.start(int(std::min<qint64>(coarse.count(), INT_MAX)));
        loop.exec(QEventLoop::AllEvents);
    } else {
        // Even the shortest wait lets what is pending run once.
        loop.processEvents(QEventLoop::AllEvents);
        timerFired = true;
    }
    m_loop = nullptr;
    // Ended early by its condition or by `Transmitting`, or every loop was
    // told to end (the program is stopping): nothing more to wait for.
    if (m_done || !timerFired)
        return m_end;
    // A wait inside this one reached the end meanwhile.
    if (end && end->reached() && !endsOperation) {
        finish(End::Stopped);
        return m_end;
    }
    SleepPreciselyUntil(deadline);
    return elapsed();
}

void PauseUntil(MonotonicClock::time_point deadline)
{
    Wait(deadline).run();
}

qint16 Pause(qint32 intervalMs)
{
    if (intervalMs > LongestPauseMs)
        return 0;
    if (intervalMs <= 0)
        return 1;
    Wait(intervalMs).run();
    return 1;
}

} // namespace telvaro
