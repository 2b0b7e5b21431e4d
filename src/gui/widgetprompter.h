#pragma once

#include "base/prompter.h"

#include <QPointer>
#include <QWidget>

namespace telvaro {

// Asks through QMessageBox and QInputDialog, parented to the window that
// asks, or else to the main window.
class WidgetPrompter : public Prompter {
public:
    void setParentWidget(QWidget *parent) { m_parent = parent; }
    Answer message(const QString &text, const QString &title, Buttons buttons, Icon icon) override;
    std::optional<QString> input(const QString &prompt, const QString &title, const QString &defaultAnswer) override;

    std::optional<QString> openFileName(const QString &title, const QString &filter) override;
    std::optional<QString> saveFileName(const QString &title, const QString &filter) override;

private:
    QWidget *parent() const;

    QPointer<QWidget> m_parent;
};

} // namespace telvaro
