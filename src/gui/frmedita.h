#pragma once
// "Message Editing" for ADP signs: code buttons that put their codes into
// the main window's entry box at the caret, the quick-start builder that
// writes a whole message there, and the register field insert.

#include "base/mode.h"
#include "editors/adpeditor.h"
#include "editors/quickstart.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSlider;

namespace telvaro {

class frmMain;
class Workspace;

class FrmEditA : public QWidget {
    Q_OBJECT
public:
    explicit FrmEditA(frmMain &main);

    QPushButton *cmdCode() const { return m_cmdCode; }

    void CmdQuickAdd_Click();
    void CmdAddMessage_Click();

Q_SIGNALS:
    // Closed by the operator: the next opening loads it afresh.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLayout *buildCodeArea();
    QLayout *buildQuickStartArea();
    QLayout *buildRegisterInsert();
    void load();
    QPushButton *codeButton(AdpButton button, const char *name, const QString &caption);
    AdpControls controls() const;
    QuickChoices quickChoices() const;
    void foreColorClicked();
    void backColorClicked();
    void modeClicked();
    void renderPreview();
    void insertInQuickEdit(const QString &text);
    void showRegisterInsert(bool shown);

    frmMain &m_main;
    Workspace &m_ws;
    QuickStart m_quick;
    bool m_registerInsertShown = false;

    QListWidget *m_lstColor = nullptr;
    QSlider *m_sldFont = nullptr;
    QLineEdit *m_txtCode = nullptr;
    QPushButton *m_cmdCode = nullptr;

    QLineEdit *m_txtSignAddress = nullptr;
    QLabel *m_lblType = nullptr;
    QListWidget *m_lstQuickForeColor = nullptr;
    QListWidget *m_lstQuickBackColor = nullptr;
    QListWidget *m_lstQuickFont = nullptr;
    QListWidget *m_lstQuickModeP = nullptr;
    QListWidget *m_lstQuickModeT = nullptr;
    QCheckBox *m_chkFlash = nullptr;
    QCheckBox *m_chkMode = nullptr;
    QCheckBox *m_chkFont = nullptr;
    QCheckBox *m_chkFore = nullptr;
    QCheckBox *m_chkBack = nullptr;
    QPlainTextEdit *m_txtQuickEdit = nullptr;
    QListWidget *m_lstNumReg = nullptr;
    QPushButton *m_cmdInsertRegister = nullptr;
};

} // namespace telvaro
