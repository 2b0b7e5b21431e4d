#include "app/pause.h"

#include <QEventLoop>
#include <QTimer>

namespace telvaro {

namespace {
double timeScale = 1.0;
constexpr qint32 longestWaitMs = 600000;
} // namespace

void SetPauseTimeScale(double factor)
{
    timeScale = factor > 0 ? factor : 1.0;
}

double PauseTimeScale()
{
    return timeScale;
}

qint16 Pause(qint32 intervalMs)
{
    if (intervalMs > longestWaitMs)
        return 0;
    if (intervalMs <= 0)
        return 1;

    // A precise single-shot timer ends a nested loop: no polling, no sleeping
    // slices, and timers, sockets and menu commands run during the wait.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    const qint64 scaled = qMax<qint64>(1, qRound64(intervalMs / timeScale));
    deadline.start(static_cast<int>(scaled));
    loop.exec(QEventLoop::AllEvents);
    return 1;
}

} // namespace telvaro
