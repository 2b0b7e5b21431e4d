#pragma once
// When each step of an operation is due and when it ends, from its plan, and
// how long is left of it once a step is under way.

#include "plan/plan.h"

#include <QList>
#include <QString>
#include <optional>
#include <utility>

namespace telvaro {

class Workspace;

// When each step of an operation (as status panel 3 names it) is due, in
// seconds from the operation's start, and when it ends.
struct StepPlan {
    QList<std::pair<QString, double>> starts;
    double total = 0;
    int frames = 0; // how many the operation writes
    // An upload's plan has no steps, only the longest it may take.
    bool atMost = false;
};

// The steps of request's plan for ws; none (an empty plan) when the plan
// did not run to its end, as it says nothing of the real operation's time.
StepPlan PlanSteps(const Workspace &ws, const PlanRequest &request, Prompter &prompter);

// Seconds left of plan while step has been under way sinceStep seconds (an
// upload: since the start); nothing for a step the plan does not hold.
std::optional<double> Remaining(const StepPlan &plan, const QString &step, double sinceStep);

// "12.3 s", "4 min 5 s", "4 h 30 min".
QString DurationText(double seconds);

} // namespace telvaro
