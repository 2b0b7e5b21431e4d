#pragma once
// How long the operation under way has run and how long it has left, from
// its plan: when each step is due and when the operation ends, against the
// step the operation has reached and the time since it did.

#include "plan/stepplan.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

namespace telvaro {

class Workspace;

// The elapsed and the remaining time of the operation under way on a
// workspace, from the plan made as its progress window opens: a sign load,
// a controller load or an upload.
class TimeLeft : public QObject {
    Q_OBJECT
public:
    static constexpr int RefreshMs = 500;

    explicit TimeLeft(Workspace &ws, QObject *parent = nullptr);

    // An operation with a plan is under way.
    bool isShown() const { return m_shown; }
    const StepPlan &plan() const { return m_plan; }
    double elapsed() const;
    std::optional<double> left() const;
    // "12 min 4 s, 4 h 17 min left"; an upload's "at most ... left".
    QString text() const;

Q_SIGNALS:
    // At the start, at each step and at least once a second meanwhile.
    void changed();

private:
    void start();
    void stepChanged();
    void stop();

    Workspace &m_ws;
    StepPlan m_plan;
    MonotonicClock::time_point m_started;
    MonotonicClock::time_point m_stepStarted;
    QString m_step;
    QTimer m_refresh;
    bool m_shown = false;
    bool m_begun = false; // a step of the plan was reached
};

} // namespace telvaro
