#pragma once
// "Controller Register Setup": the width and fill character of each of the
// controller's 31 registers, edited in a working copy that OK writes back.

#include "editors/registerfields.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace telvaro {

class Prompter;

class FrmRegister : public QDialog {
    Q_OBJECT
public:
    // Without an owner window; it deletes itself once closed.
    FrmRegister(Registers &registers, Prompter &prompter);

    void CmdOK_Click();
    void CmdCancel_Click();

private:
    void render();

    Registers &m_registers;
    Prompter &m_prompter;
    RegisterSetup m_setup;
    QScrollBar *m_vScroll1 = nullptr;
    QLabel *m_lblRegister = nullptr;
    QPushButton *m_lblWidth = nullptr;
    QRadioButton *m_optSpace = nullptr;
    QRadioButton *m_opt0 = nullptr;
};

} // namespace telvaro
