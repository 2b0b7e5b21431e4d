#pragma once
// "Display a Loaded Message": makes a sign show one loaded message or clear
// its play list, through the main window's quick send.

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace telvaro {

class Workspace;

class FrmDisplayLoaded : public QDialog {
    Q_OBJECT
public:
    explicit FrmDisplayLoaded(Workspace &workspace, QWidget *parent = nullptr);

    void CmdCallMessage_Click();
    void CmdClearList_Click();
    void CmdClose_Click() { close(); }

private:
    void send(const QString &text, const QString &refusal);

    Workspace &m_ws;
    QLineEdit *m_txtMessageNumber;
    QLineEdit *m_txtAddress;
    QRadioButton *m_optOrbilux;
    QRadioButton *m_optVyrena;
};

} // namespace telvaro
