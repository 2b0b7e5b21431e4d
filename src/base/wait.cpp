#include "base/wait.h"

#include "base/transfer.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <climits>

namespace telvaro {

namespace {
double timeScale = 1.0;
constexpr qint32 longestPauseMs = 600000;
} // namespace

void SetPauseTimeScale(double factor)
{
    timeScale = factor > 0 ? factor : 1.0;
}

double PauseTimeScale()
{
    return timeScale;
}

Wait::Wait(qint64 intervalMs) : m_intervalMs(intervalMs) {}

Wait::~Wait() = default;

Wait &Wait::until(std::function<bool()> condition)
{
    m_condition = std::move(condition);
    return *this;
}

Wait &Wait::stopWhenIdle(const TransferState &transfer)
{
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
    // A precise single-shot timer ends the nested loop: no polling, no
    // sleeping slices.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &m_context, [this] { finish(End::Elapsed); });
    const qint64 scaled = std::clamp<qint64>(qRound64(double(m_intervalMs) / timeScale), 1, INT_MAX);
    deadline.start(int(scaled));
    m_loop = &loop;
    loop.exec(QEventLoop::AllEvents);
    m_loop = nullptr;
    return m_end;
}

qint16 Pause(qint32 intervalMs)
{
    if (intervalMs > longestPauseMs)
        return 0;
    if (intervalMs <= 0)
        return 1;
    Wait(intervalMs).run();
    return 1;
}

} // namespace telvaro
