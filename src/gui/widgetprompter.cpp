#include "gui/widgetprompter.h"

#include "app/dialogfilter.h"
#include "base/settingsstore.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>

namespace telvaro {

Prompter::Answer WidgetPrompter::message(const QString &text, const QString &title, Buttons buttons, Icon icon)
{
    QMessageBox box(parent());
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    }
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

std::optional<QString> WidgetPrompter::input(const QString &prompt, const QString &title, const QString &defaultAnswer)
{
    QInputDialog dialog(parent());
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultAnswer);
    // Wide enough for the whole title beside the frame's icon and buttons,
    // which title bars draw in a bold face about twice the text's height.
    QFont titleFont = dialog.font();
    titleFont.setBold(true);
    const QFontMetrics titleMetrics(titleFont);
    // The dialog's layout sets its size: the prompt's label holds the width.
    if (auto *label = dialog.findChild<QLabel *>())
        label->setMinimumWidth(titleMetrics.horizontalAdvance(title) + 8 * titleMetrics.height());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QWidget *WidgetPrompter::parent() const
{
    auto *asking = qobject_cast<QWidget *>(over());
    return asking ? asking : m_parent.data();
}

namespace {
// Both dialogs start in the folder used last, and remember the new one.
std::optional<QString> remembered(const QString &path)
{
    if (path.isEmpty())
        return std::nullopt;
    SettingsStore().setLastFolder(QFileInfo(path).absolutePath());
    return path;
}
} // namespace

std::optional<QString> WidgetPrompter::openFileName(const QString &title, const QString &filter)
{
    return remembered(
        QFileDialog::getOpenFileName(parent(), title, SettingsStore().lastFolder(), QtDialogFilter(filter)));
}

std::optional<QString> WidgetPrompter::saveFileName(const QString &title, const QString &filter)
{
    QString chosen;
    const QString path =
        QFileDialog::getSaveFileName(parent(), title, SettingsStore().lastFolder(), QtDialogFilter(filter), &chosen);
    return remembered(WithFilterExtension(path, chosen));
}

} // namespace telvaro
