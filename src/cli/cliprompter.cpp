#include "cli/cliprompter.h"

#include "cli/output.h"

namespace telvaro::cli {

Prompter::Answer CliPrompter::message(const QString &text, const QString &title, Buttons buttons, Icon)
{
    if (!m_muted) {
        ++m_messages;
        if (!m_silenced.contains(title))
            PrintMessage(text);
    }
    switch (buttons) {
    case Buttons::OkCancel:
        if (m_force)
            return Answer::Ok;
        ++m_refused;
        return Answer::Cancel;
    case Buttons::YesNo:
    case Buttons::YesNoCancel: return Answer::Yes;
    case Buttons::Ok: break;
    }
    return Answer::Ok;
}

std::optional<QString> CliPrompter::input(const QString &, const QString &, const QString &defaultAnswer)
{
    return defaultAnswer;
}

std::optional<QString> CliPrompter::openFileName(const QString &, const QString &)
{
    return std::nullopt;
}

std::optional<QString> CliPrompter::saveFileName(const QString &, const QString &)
{
    return std::nullopt;
}

} // namespace telvaro::cli
