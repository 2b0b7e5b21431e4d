#include "cli/progressline.h"

#include "base/statuspanels.h"
#include "cli/commandline.h"
#include "cli/output.h"

namespace telvaro::cli {

namespace {
constexpr int redrawMs = 200;
const QString quietOption = QStringLiteral("quiet");
} // namespace

void AddQuietOption(CommandLine &line)
{
    line.addOption({QStringLiteral("q"), quietOption},
                   QStringLiteral("Prints nothing but errors: no progress, no notices."), QStringLiteral("--quiet"));
}

bool Quiet(const CommandLine &line)
{
    return line.isSet(quietOption);
}

bool ProgressLine::Shown(bool quiet)
{
    return !quiet && ErrorIsTerminal();
}

ProgressLine::ProgressLine(const StatusPanels &panels, Steps steps, int messages, bool quiet,
                           const std::optional<StepPlan> &plan, QObject *parent)
    : QObject(parent), m_panels(panels), m_steps(steps), m_messages(messages), m_plan(plan)
{
    if (!Shown(quiet))
        return;
    m_clock.start();
    m_stepClock.start();
    connect(&m_timer, &QTimer::timeout, this, &ProgressLine::draw);
    connect(&panels, &StatusPanels::changed, this, [this](int panel) {
        if (panel == 3)
            stepChanged();
    });
    m_timer.start(redrawMs);
}

void ProgressLine::stepChanged()
{
    if (const QString step = m_panels.text(3); step != m_step) {
        m_step = step;
        m_stepClock.restart();
    }
    draw();
}

ProgressLine::~ProgressLine()
{
    if (m_drawn)
        WriteError("\n");
}

QString ProgressLine::StepText(Steps steps, const QString &panel, int messages)
{
    bool isNumber = false;
    const int step = panel.toInt(&isNumber);
    if (steps == Steps::Upload || steps == Steps::Send || !isNumber)
        return {};
    if (steps == Steps::Run || step >= 0) {
        if (step >= messages)
            return QStringLiteral("configuration frame");
        return QStringLiteral("message %1 of %2").arg(step + 1).arg(messages);
    }
    return QStringLiteral("set-up frame %1 of 3").arg(step + 4);
}

void ProgressLine::draw()
{
    const QString step = StepText(m_steps, m_panels.text(3), m_messages);
    QString text = DurationText(double(m_clock.elapsed()) / 1000);
    if (m_plan) {
        const bool upload = m_plan->atMost;
        const double since = double((upload ? m_clock : m_stepClock).elapsed()) / 1000;
        if (const auto left = Remaining(*m_plan, m_panels.text(3), since))
            text += (upload ? QStringLiteral(", at most ") : QStringLiteral(", ")) + DurationText(*left) +
                    QStringLiteral(" left");
    }
    if (!step.isEmpty())
        text = step + QStringLiteral(", ") + text;
    // Back to the line's start, the text, the rest of the line cleared.
    WriteError("\r" + TerminalText(text) + "\x1b[K");
    m_drawn = true;
}

} // namespace telvaro::cli
