#pragma once
// The progress of a long operation on stderr, redrawn in place: the frame
// or message being sent ("message 3 of 10"), the time since the start and,
// from the operation's plan, the time left. Drawn only on a terminal, so
// that logs and pipes get nothing extra.

#include "plan/stepplan.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

namespace telvaro {
class StatusPanels;
}

namespace telvaro::cli {

class CommandLine;

// The --quiet option of the long operations.
void AddQuietOption(CommandLine &line);
bool Quiet(const CommandLine &line);

class ProgressLine : public QObject {
    Q_OBJECT
public:
    // What an operation shows for a step: status panel 3 holds the step.
    enum class Steps {
        Run,        // message numbers
        Load,       // three set-up frames, then the messages
        Controller, // as Load, then the configuration frame
        Upload,     // no steps: only the time
        Send,       // one message: no line at all
    };
    // messages: how many messages the operation sends; plan: when each
    // step is due and when the operation ends (an upload's plan has only
    // its longest end).
    ProgressLine(const StatusPanels &panels, Steps steps, int messages, bool quiet,
                 const std::optional<StepPlan> &plan = std::nullopt, QObject *parent = nullptr);
    ~ProgressLine() override;

    // A line is drawn: stderr is a terminal and --quiet was not given.
    static bool Shown(bool quiet);
    // The text for a step as panel 3 shows it.
    static QString StepText(Steps steps, const QString &panel, int messages);

private:
    void draw();
    void stepChanged();

    const StatusPanels &m_panels;
    Steps m_steps;
    int m_messages;
    std::optional<StepPlan> m_plan;
    QElapsedTimer m_clock;
    QElapsedTimer m_stepClock;
    QString m_step;
    QTimer m_timer;
    bool m_drawn = false;
};

} // namespace telvaro::cli
