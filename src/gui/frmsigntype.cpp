#include "gui/frmsigntype.h"

#include "codec/codepage.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace telvaro {

FrmSignType::FrmSignType(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmSignType"));
    setWindowTitle(QStringLiteral("Sign Type Selection"));
    m_optOB = new QRadioButton(QStringLiteral("&Orbilux Sign Type"), this);
    m_optOB->setObjectName(QStringLiteral("OptOB"));
    m_optVyrena = new QRadioButton(QStringLiteral("&Vyrena Sign Type"), this);
    m_optVyrena->setObjectName(QStringLiteral("OptVyrena"));
    m_optVyrena->setChecked(true);
    m_medSignAddress = new QLineEdit(this);
    m_medSignAddress->setObjectName(QStringLiteral("MEDSignAddress"));
    // Two letters or digits, upper case, an unfilled place shown as "_".
    m_medSignAddress->setInputMask(QStringLiteral(">NN;_"));
    m_medSignAddress->setText(QStringLiteral("00"));

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("CmdOK"));
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CmdCancel"));
    connect(ok, &QPushButton::clicked, this, &FrmSignType::CmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &FrmSignType::CmdCancel_Click);

    auto *address = new QFormLayout;
    address->addRow(QStringLiteral("Sign &Address:"), m_medSignAddress);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_optOB);
    layout->addWidget(m_optVyrena);
    layout->addLayout(address);
    layout->addWidget(buttons);
}

void FrmSignType::CmdOK_Click()
{
    // The address goes on as the box gives it, an unfilled place included.
    m_choice = SignChoice{m_optVyrena->isChecked() ? SignType::Vyrena : SignType::Orbilux,
                          TextToBytes(m_medSignAddress->text())};
    accept();
}

void FrmSignType::CmdCancel_Click()
{
    m_choice.reset();
    reject();
}

} // namespace telvaro
