#pragma once
// "Sign Type Selection": the sign type and the two-character sign address
// of a sign load.

#include "signload/signload.h"

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace telvaro {

class FrmSignType : public QDialog {
    Q_OBJECT
public:
    explicit FrmSignType(QWidget *parent = nullptr);

    // The choice after OK; none after Cancel or a close by the frame.
    std::optional<SignChoice> choice() const { return m_choice; }

    void CmdOK_Click();
    void CmdCancel_Click();

private:
    QRadioButton *m_optOB;
    QRadioButton *m_optVyrena;
    QLineEdit *m_medSignAddress;
    std::optional<SignChoice> m_choice;
};

} // namespace telvaro
