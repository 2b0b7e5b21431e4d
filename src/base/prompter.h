#pragma once
// How the core asks the operator something. The window answers with message
// boxes and input dialogs, the command line with stderr and flags, the tests
// with a script.

#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

namespace telvaro {

class Prompter {
public:
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Icon { None, Information, Warning, Critical, Question };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Prompter() = default;

    virtual Answer message(const QString &text, const QString &title, Buttons buttons = Buttons::Ok,
                           Icon icon = Icon::None) = 0;

    // Empty optional when the operator cancelled.
    virtual std::optional<QString> input(const QString &prompt, const QString &title, const QString &defaultAnswer) = 0;

    // Open and save dialogs: a file path, or empty optional when cancelled.
    virtual std::optional<QString> openFileName(const QString &title, const QString &filter) = 0;
    virtual std::optional<QString> saveFileName(const QString &title, const QString &filter) = 0;

    // The common case: a fixed text, OK only, the application name as title.
    void inform(const QString &text) { message(text, applicationTitle(), Buttons::Ok); }
    // The same, with the particulars of this case on the line after the text.
    void inform(const QString &text, const QString &detail) { inform(text + QStringLiteral("\r\n") + detail); }

    static QString applicationTitle() { return QStringLiteral("Telvaro"); }

    // While one lives, prompts open over the given window instead of the
    // main one, so that they come back to the window that asked.
    class Over {
    public:
        Over(Prompter &prompter, QObject *window) : m_prompter(prompter), m_before(prompter.m_over)
        {
            prompter.m_over = window;
        }
        ~Over() { m_prompter.m_over = m_before; }
        Over(const Over &) = delete;
        Over &operator=(const Over &) = delete;

    private:
        Prompter &m_prompter;
        QPointer<QObject> m_before;
    };
    // The window that asks; none for the main window.
    QObject *over() const { return m_over; }

private:
    QPointer<QObject> m_over;
};

} // namespace telvaro
