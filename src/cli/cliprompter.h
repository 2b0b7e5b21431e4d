#pragma once
// The command line's prompter: message texts go to stderr, one line per
// line. A warning that asks for OK or Cancel is answered Cancel, since the
// command cannot know the risk was meant, unless the command was given
// --force; other questions take their affirmative answer (the command was
// asked for on purpose) and inputs their default.

#include "base/prompter.h"

#include <QStringList>

namespace telvaro::cli {

class CliPrompter : public Prompter {
public:
    Answer message(const QString &text, const QString &title, Buttons buttons, Icon icon) override;
    std::optional<QString> input(const QString &prompt, const QString &title, const QString &defaultAnswer) override;
    std::optional<QString> openFileName(const QString &title, const QString &filter) override;
    std::optional<QString> saveFileName(const QString &title, const QString &filter) override;

    // Warnings are answered OK.
    void setForce(bool force) { m_force = force; }
    // Messages with these titles are notices, not errors: --quiet drops them.
    void silenceTitles(const QStringList &titles) { m_silenced = titles; }
    // While muted, messages are answered as ever and shown nowhere (a plan
    // worked out before the real operation).
    void setMuted(bool muted) { m_muted = muted; }

    int messagesShown() const { return m_messages; }
    int warningsRefused() const { return m_refused; }

private:
    bool m_force = false;
    bool m_muted = false;
    QStringList m_silenced;
    int m_messages = 0;
    int m_refused = 0;
};

} // namespace telvaro::cli
