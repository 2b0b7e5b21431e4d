#include "scriptedprompter.h"

namespace telvaro::test {

Prompter::Answer ScriptedPrompter::message(const QString &text, const QString &title, Buttons buttons, Icon)
{
    shown.append({Shown::Message, text, title, buttons, {}});
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::No : Answer::Ok;
}

std::optional<QString> ScriptedPrompter::input(const QString &prompt, const QString &title,
                                               const QString &defaultAnswer)
{
    shown.append({Shown::Input, prompt, title, Buttons::OkCancel, defaultAnswer});
    if (!m_inputs.isEmpty())
        return m_inputs.dequeue();
    return std::nullopt;
}

std::optional<QString> ScriptedPrompter::openFileName(const QString &title, const QString &filter)
{
    shown.append({Shown::OpenDialog, {}, title, Buttons::OkCancel, filter});
    return m_paths.isEmpty() ? std::nullopt : m_paths.dequeue();
}

std::optional<QString> ScriptedPrompter::saveFileName(const QString &title, const QString &filter)
{
    shown.append({Shown::SaveDialog, {}, title, Buttons::OkCancel, filter});
    return m_paths.isEmpty() ? std::nullopt : m_paths.dequeue();
}

QStringList ScriptedPrompter::messageTexts() const
{
    QStringList texts;
    for (const Shown &s : shown)
        if (s.kind == Shown::Message)
            texts.append(s.text);
    return texts;
}

} // namespace telvaro::test
