#pragma once
// The prompter of a plan made for the window: nothing is shown, every
// message is kept, so the refusal of an operation can be shown in its
// place; questions take their affirmative answer, as the operator who chose
// the command would give it.

#include "base/prompter.h"

#include <QStringList>

namespace telvaro {

class PlanPrompter final : public Prompter {
public:
    Answer message(const QString &text, const QString &, Buttons buttons, Icon) override
    {
        m_messages << text;
        return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::Yes;
    }
    std::optional<QString> input(const QString &, const QString &, const QString &defaultAnswer) override
    {
        return defaultAnswer;
    }
    std::optional<QString> openFileName(const QString &, const QString &) override { return std::nullopt; }
    std::optional<QString> saveFileName(const QString &, const QString &) override { return std::nullopt; }

    // Each message as it was given, lines separated by CR LF.
    const QStringList &messages() const { return m_messages; }

private:
    QStringList m_messages;
};

} // namespace telvaro
