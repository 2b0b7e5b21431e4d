#pragma once
// "Serial Devices": the serial devices plugged in now, which device each
// serial port number is assigned to, and the commands to assign and remove.

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace telvaro {

class Workspace;

class FrmSerialDevices : public QDialog {
    Q_OBJECT
public:
    explicit FrmSerialDevices(Workspace &workspace, QWidget *parent = nullptr);

    void CmdRefresh_Click();
    void CmdAssign_Click();
    void CmdRemove_Click();

private:
    void showDevices();
    void showAssignments();
    void updateButtons();

    Workspace &m_ws;
    QTreeWidget *m_lstDevices;
    QTreeWidget *m_lstAssigned;
    QLabel *m_lblNone;
    QPushButton *m_cmdAssign;
    QPushButton *m_cmdRemove;
    QPushButton *m_cmdRefresh;
};

} // namespace telvaro
