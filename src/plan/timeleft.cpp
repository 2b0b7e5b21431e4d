#include "plan/timeleft.h"

#include "app/workspace.h"
#include "plan/planprompter.h"

namespace telvaro {

namespace {

double SecondsBetween(MonotonicClock::time_point from, MonotonicClock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// The operation whose progress window just opened: its entry is checked
// while it runs.
std::optional<PlannedOperation> Running(const MenuState &menus)
{
    if (menus.item(Item::MnuLoadSign).checked)
        return PlannedOperation::SignLoad;
    if (menus.item(Item::MnuLoadController).checked)
        return PlannedOperation::ControllerLoad;
    if (menus.item(Item::MnuUploadController).checked)
        return PlannedOperation::Upload;
    return std::nullopt;
}

} // namespace

TimeLeft::TimeLeft(Workspace &ws, QObject *parent) : QObject(parent), m_ws(ws)
{
    m_refresh.setInterval(RefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &TimeLeft::changed);
    connect(&ws.progress(), &Progress::started, this, &TimeLeft::start);
    connect(&ws.progress(), &Progress::finished, this, &TimeLeft::stop);
    connect(&ws.status(), &StatusPanels::changed, this, [this](int panel) {
        if (panel == 3 && m_shown)
            stepChanged();
    });
}

void TimeLeft::start()
{
    const auto operation = Running(m_ws.menus());
    if (!operation)
        return;
    // The sign type and address, and the controller's input, change frames
    // but no wait: the plan's times are the operation's whichever they are.
    PlanPrompter quiet;
    m_plan = PlanSteps(m_ws, {*operation}, quiet);
    m_shown = m_plan.atMost || !m_plan.starts.isEmpty();
    m_started = MonotonicNow();
    m_stepStarted = m_started;
    m_step = m_ws.status().text(3);
    m_begun = false;
    if (m_shown)
        m_refresh.start();
    Q_EMIT changed();
}

void TimeLeft::stepChanged()
{
    if (const QString step = m_ws.status().text(3); step != m_step) {
        m_step = step;
        m_stepStarted = MonotonicNow();
        m_begun = m_begun || Remaining(m_plan, step, 0).has_value();
        Q_EMIT changed();
    }
}

void TimeLeft::stop()
{
    m_refresh.stop();
    if (std::exchange(m_shown, false))
        Q_EMIT changed();
}

double TimeLeft::elapsed() const
{
    return SecondsBetween(m_started, MonotonicNow());
}

std::optional<double> TimeLeft::left() const
{
    if (!m_shown)
        return std::nullopt;
    const auto since = m_plan.atMost ? m_started : m_stepStarted;
    if (const auto remaining = Remaining(m_plan, m_step, SecondsBetween(since, MonotonicNow())))
        return remaining;
    // Before its first step (the link just opened) every step is ahead.
    if (!m_plan.atMost && !m_begun)
        return m_plan.total - m_plan.starts.constFirst().second;
    return std::nullopt;
}

QString TimeLeft::text() const
{
    if (!m_shown)
        return {};
    QString text = DurationText(elapsed());
    if (const auto remaining = left())
        text += (m_plan.atMost ? QStringLiteral(", at most ") : QStringLiteral(", ")) + DurationText(*remaining) +
                QStringLiteral(" left");
    return text;
}

} // namespace telvaro
