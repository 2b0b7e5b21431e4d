#pragma once
// "Message Editing " for SCP signs: each button puts its code into the main
// window's entry box at the caret.

#include "editors/scpeditor.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;

namespace telvaro {

class frmMain;

class FrmEditS : public QWidget {
    Q_OBJECT
public:
    explicit FrmEditS(frmMain &main);

    QPushButton *cmdCode() const { return m_cmdCode; }

Q_SIGNALS:
    // Closed by the operator: the next opening loads it afresh.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPushButton *codeButton(ScpButton button, const char *name, const QString &caption);
    ScpControls controls() const;

    frmMain &m_main;
    QListWidget *m_lstColor = nullptr;
    QSlider *m_sldFont = nullptr;
    QLineEdit *m_txtCode = nullptr;
    QPushButton *m_cmdCode = nullptr;
};

} // namespace telvaro
