#include "plan/stepplan.h"

namespace telvaro {

StepPlan PlanSteps(const Workspace &ws, const PlanRequest &request, Prompter &prompter)
{
    StepPlan plan;
    const PlanEnding ending = PlanOperation(ws, request, prompter, [&plan](const PlannedFrame &frame) {
        ++plan.frames;
        if (plan.starts.isEmpty() || plan.starts.constLast().first != frame.step)
            plan.starts.append({frame.step, frame.offset});
        return true;
    });
    if (!ending.outcome.complete())
        return {};
    plan.total = ending.total;
    plan.atMost = ending.atMost;
    return plan;
}

std::optional<double> Remaining(const StepPlan &plan, const QString &step, double sinceStep)
{
    if (plan.atMost)
        return qMax(0.0, plan.total - sinceStep);
    for (qsizetype i = 0; i < plan.starts.size(); ++i) {
        if (plan.starts[i].first != step)
            continue;
        const double next = i + 1 < plan.starts.size() ? plan.starts[i + 1].second : plan.total;
        // A step that takes longer than planned (a slow reply) holds the
        // count at the next step's start.
        return qMax(plan.total - next, plan.total - plan.starts[i].second - sinceStep);
    }
    return std::nullopt;
}

QString DurationText(double seconds)
{
    const qint64 whole = qint64(seconds + 0.5);
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds, 0, 'f', 1);
    if (whole < 3600)
        return QStringLiteral("%1 min %2 s").arg(whole / 60).arg(whole % 60);
    const qint64 minutes = (whole + 30) / 60;
    return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

} // namespace telvaro
