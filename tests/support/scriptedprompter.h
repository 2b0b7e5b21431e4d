#pragma once
// A prompter that answers from a queue and records every text and title it
// was shown, so tests can assert exactly what the operator would have seen.

#include "base/prompter.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <variant>

namespace telvaro::test {

struct Shown {
    enum Kind { Message, Input, OpenDialog, SaveDialog } kind;
    QString text;
    QString title;
    Prompter::Buttons buttons = Prompter::Buttons::Ok;
    QString defaultAnswer; // the filter, for dialogs
};

class ScriptedPrompter : public Prompter {
public:
    // Queue an answer for the next message box / input box. Unanswered
    // message boxes get OK (or No for Yes/No); unanswered inputs cancel.
    void answer(Answer a) { m_answers.enqueue(a); }
    void type(const QString &text) { m_inputs.enqueue(text); }
    void cancelInput() { m_inputs.enqueue(std::nullopt); }

    // Queue a path for the next open/save dialog; unanswered dialogs cancel.
    void choosePath(const QString &path) { m_paths.enqueue(path); }
    void cancelDialog() { m_paths.enqueue(std::nullopt); }

    Answer message(const QString &text, const QString &title, Buttons buttons, Icon icon) override;
    std::optional<QString> input(const QString &prompt, const QString &title, const QString &defaultAnswer) override;

    std::optional<QString> openFileName(const QString &title, const QString &filter) override;
    std::optional<QString> saveFileName(const QString &title, const QString &filter) override;

    QList<Shown> shown;
    QStringList messageTexts() const;
    void clear() { shown.clear(); }

private:
    QQueue<Answer> m_answers;
    QQueue<std::optional<QString>> m_inputs;
    QQueue<std::optional<QString>> m_paths;
};

} // namespace telvaro::test
