#pragma once
// Benchmarks run unattended: every question is answered at once.

#include "base/prompter.h"

namespace bench {

class SilentPrompter : public telvaro::Prompter {
public:
    explicit SilentPrompter(std::optional<QString> inputAnswer = std::nullopt) : m_input(std::move(inputAnswer)) {}
    Answer message(const QString &, const QString &, Buttons, Icon) override { return Answer::Ok; }
    std::optional<QString> input(const QString &, const QString &, const QString &) override { return m_input; }
    std::optional<QString> openFileName(const QString &, const QString &) override { return std::nullopt; }
    std::optional<QString> saveFileName(const QString &, const QString &) override { return std::nullopt; }

private:
    std::optional<QString> m_input;
};

} // namespace bench
