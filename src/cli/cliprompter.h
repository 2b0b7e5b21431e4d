#pragma once
// The command line's prompter: message texts go to stderr, one line per
// line; questions take their affirmative answer (the command was asked for
// on purpose) and inputs their default.

#include "base/prompter.h"

namespace telvaro::cli {

class CliPrompter : public Prompter {
public:
    Answer message(const QString &text, const QString &title, Buttons buttons, Icon icon) override;
    std::optional<QString> input(const QString &prompt, const QString &title, const QString &defaultAnswer) override;
    std::optional<QString> openFileName(const QString &title, const QString &filter) override;
    std::optional<QString> saveFileName(const QString &title, const QString &filter) override;

    int messagesShown() const { return m_messages; }

private:
    int m_messages = 0;
};

} // namespace telvaro::cli
