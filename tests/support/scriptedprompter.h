#pragma once
// A prompter that answers from a queue and records every text and title it
// was shown, so tests can assert exactly what the operator would have seen.

#include "base/prompter.h"

#include <QList>
#include <QQueue>
#include <QString>

namespace telvaro::test {

struct Shown {
    enum Kind { Message, Input, OpenDialog, SaveDialog } kind;
    QString text;
    QString title;
    Prompter::Buttons buttons = Prompter::Buttons::Ok;
    QString defaultAnswer;         // the filter, for dialogs
    const QObject *over = nullptr; // the window that asked; none for the main one
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

    Answer message(const QString &text, const QString &title, Buttons buttons, Icon) override
    {
        shown.append({Shown::Message, text, title, buttons, {}, over()});
        if (!m_answers.isEmpty())
            return m_answers.dequeue();
        return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::No : Answer::Ok;
    }
    std::optional<QString> input(const QString &prompt, const QString &title, const QString &defaultAnswer) override
    {
        shown.append({Shown::Input, prompt, title, Buttons::OkCancel, defaultAnswer, over()});
        return m_inputs.isEmpty() ? std::nullopt : m_inputs.dequeue();
    }
    std::optional<QString> openFileName(const QString &title, const QString &filter) override
    {
        shown.append({Shown::OpenDialog, {}, title, Buttons::OkCancel, filter, over()});
        return m_paths.isEmpty() ? std::nullopt : m_paths.dequeue();
    }
    std::optional<QString> saveFileName(const QString &title, const QString &filter) override
    {
        shown.append({Shown::SaveDialog, {}, title, Buttons::OkCancel, filter, over()});
        return m_paths.isEmpty() ? std::nullopt : m_paths.dequeue();
    }

    QList<Shown> shown;
    QStringList messageTexts() const
    {
        QStringList texts;
        for (const Shown &s : shown)
            if (s.kind == Shown::Message)
                texts.append(s.text);
        return texts;
    }
    void clear() { shown.clear(); }

private:
    QQueue<Answer> m_answers;
    QQueue<std::optional<QString>> m_inputs;
    QQueue<std::optional<QString>> m_paths;
};

} // namespace telvaro::test
