#include "cli/cliprompter.h"

#include "cli/commands.h"

namespace telvaro::cli {

Prompter::Answer CliPrompter::message(const QString &text, const QString &, Buttons buttons, Icon)
{
    ++m_messages;
    PrintMessage(text);
    switch (buttons) {
    case Buttons::YesNo:
    case Buttons::YesNoCancel: return Answer::Yes;
    default: return Answer::Ok;
    }
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
