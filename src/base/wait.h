#pragma once
// The program's one way of waiting: a nested event loop until a monotonic
// deadline, optionally ended early by a condition or by `Transmitting`
// falling to 0. The window keeps reacting meanwhile; menu commands, timer
// ticks and socket events run inside the wait.
//
// Prompts: a modal prompt opened inside a wait holds every wait beneath it
// until it closes (one thread); the deadline is kept on the monotonic clock,
// so a wait whose time ran out under the prompt returns as soon as the prompt
// closes, and adds nothing more.

#include <QObject>
#include <QtGlobal>
#include <chrono>
#include <functional>
#include <optional>

class QEventLoop;

namespace telvaro {

class TransferState;

using MonotonicClock = std::chrono::steady_clock;

// Waits end on their deadline to within tens of microseconds: the event loop
// runs until shortly before it, a precise sleep covers the rest.
class Wait {
public:
    enum class End { Elapsed, Condition, Stopped };

    explicit Wait(qint64 intervalMs);
    // Until a point of the monotonic clock (the test scale already applied).
    explicit Wait(MonotonicClock::time_point deadline);
    ~Wait();
    Wait(const Wait &) = delete;
    Wait &operator=(const Wait &) = delete;

    // Ends the wait as soon as the condition holds; it is checked at the
    // start and each time a signal named with recheckOn is emitted.
    Wait &until(std::function<bool()> condition);
    template <typename Sender, typename Signal> Wait &recheckOn(const Sender *sender, Signal signal)
    {
        QObject::connect(sender, signal, &m_context, [this] { recheck(); });
        return *this;
    }
    // Checks the condition now, for callers that learn of a change directly.
    void recheck();
    // Ends the wait when `Transmitting` falls to 0, or at once when it is 0
    // already. Data entry sets it to 0, and so does the link going.
    Wait &stopWhenIdle(const TransferState &transfer);

    End run();

private:
    void finish(End end);

    qint64 m_intervalMs = 0;
    std::optional<MonotonicClock::time_point> m_deadline;
    std::function<bool()> m_condition;
    QObject m_context;
    QEventLoop *m_loop = nullptr;
    End m_end = End::Elapsed;
    bool m_done = false;
};

// The longest wait Pause makes.
constexpr qint32 LongestPauseMs = 600000;

// Waits Interval milliseconds while processing events. Returns 1 when it
// waited (or the interval was 0 or less: then it returns at once without
// processing anything) and 0 when the interval was above ten minutes, which
// it refuses without waiting.
qint16 Pause(qint32 intervalMs);

// Now on the monotonic clock, or on the planned clock while one runs.
MonotonicClock::time_point MonotonicNow();

// A dry run's clock. While one exists, every wait moves it on to its
// deadline at once instead of waiting, MonotonicNow() reads it, and the
// wall clock that "<T>" reads moves with it, so an operation runs through
// its frames and waits as it would on the link, only without the time.
class PlannedClock {
public:
    PlannedClock();
    ~PlannedClock();
    PlannedClock(const PlannedClock &) = delete;
    PlannedClock &operator=(const PlannedClock &) = delete;

    // Time since the clock was made.
    MonotonicClock::duration elapsed() const { return m_now - m_start; }
    MonotonicClock::time_point now() const { return m_now; }
    void advanceTo(MonotonicClock::time_point deadline);

    static PlannedClock *running();

private:
    MonotonicClock::time_point m_start;
    MonotonicClock::time_point m_now;
};

// An end set for the operation under way (run --duration), on the clock
// that MonotonicNow() reads, planned or real. The wait that reaches it
// ends there and does the action (data entry); every wait after it ends at
// once, as when the program is stopping. A message due at the end or later
// is not sent, in a plan as on the link.
class OperationEnd {
public:
    OperationEnd(MonotonicClock::time_point at, std::function<void()> action);
    ~OperationEnd();
    OperationEnd(const OperationEnd &) = delete;
    OperationEnd &operator=(const OperationEnd &) = delete;

    MonotonicClock::time_point at() const { return m_at; }
    bool reached() const { return m_reached; }
    // Does the action, once.
    void reach();

    static OperationEnd *current();

private:
    MonotonicClock::time_point m_at;
    std::function<void()> m_action;
    bool m_reached = false;
};

// Waits until deadline while processing events; at once when it has passed.
void PauseUntil(MonotonicClock::time_point deadline);
// How long a wait of that many milliseconds lasts: the test scale applied.
MonotonicClock::duration ScaledInterval(double intervalMs);

// Tests run protocol waits faster: a factor of 100 makes a 10 s wait take
// 100 ms. The program itself never changes it.
void SetPauseTimeScale(double factor);
double PauseTimeScale();

} // namespace telvaro
