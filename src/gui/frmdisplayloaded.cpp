#include "gui/frmdisplayloaded.h"

#include "app/workspace.h"
#include "signload/adp.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace telvaro {

FrmDisplayLoaded::FrmDisplayLoaded(Workspace &workspace, QWidget *parent) : QDialog(parent), m_ws(workspace)
{
    setObjectName(QStringLiteral("FrmDisplayLoaded"));
    setWindowTitle(QStringLiteral("Display a Loaded Message"));
    m_txtMessageNumber = new QLineEdit(QStringLiteral("00000"), this);
    m_txtMessageNumber->setObjectName(QStringLiteral("TxtMessageNumber"));
    m_txtAddress = new QLineEdit(QStringLiteral("00"), this);
    m_txtAddress->setObjectName(QStringLiteral("TxtAddress"));

    auto *frame1 = new QGroupBox(QStringLiteral("Sign Type"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    m_optOrbilux = new QRadioButton(QStringLiteral("&Orbilux"), frame1);
    m_optOrbilux->setObjectName(QStringLiteral("OptOrbilux"));
    m_optVyrena = new QRadioButton(QStringLiteral("&Vyrena"), frame1);
    m_optVyrena->setObjectName(QStringLiteral("OptVyrena"));
    m_optVyrena->setChecked(true);
    auto *types = new QHBoxLayout(frame1);
    types->addWidget(m_optOrbilux);
    types->addWidget(m_optVyrena);

    auto button = [this](const char *name, const char *caption) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton *call = button("CmdCallMessage", "Call &Message");
    QPushButton *clear = button("CmdClearList", "C&lear List");
    QPushButton *closeButton = button("CmdClose", "&Close");
    connect(call, &QPushButton::clicked, this, &FrmDisplayLoaded::CmdCallMessage_Click);
    connect(clear, &QPushButton::clicked, this, &FrmDisplayLoaded::CmdClearList_Click);
    connect(closeButton, &QPushButton::clicked, this, &FrmDisplayLoaded::CmdClose_Click);

    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("Message to &Display"), m_txtMessageNumber);
    fields->addRow(QStringLiteral("Display &Address"), m_txtAddress);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(call);
    buttons->addWidget(clear);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(frame1);
    layout->addLayout(buttons);
}

void FrmDisplayLoaded::CmdCallMessage_Click()
{
    const LoadedCommand command = CallMessageCommand(m_optOrbilux->isChecked() ? SignType::Orbilux : SignType::Vyrena,
                                                     m_txtAddress->text(), m_txtMessageNumber->text());
    send(command.text, command.refusal);
}

void FrmDisplayLoaded::CmdClearList_Click()
{
    const LoadedCommand command =
        ClearListCommand(m_optOrbilux->isChecked() ? SignType::Orbilux : SignType::Vyrena, m_txtAddress->text());
    send(command.text, command.refusal);
}

void FrmDisplayLoaded::send(const QString &text, const QString &refusal)
{
    if (!refusal.isEmpty()) {
        m_ws.prompter().inform(refusal);
        return;
    }
    // A command refused while the link is busy (the operator is told) does
    // not stay in the entry box as if it had gone out.
    const QString before = m_ws.box(Workspace::Box::Entry);
    m_ws.setBox(Workspace::Box::Entry, text);
    if (m_ws.CmdQuickSend_Click().ending == OperationOutcome::Ending::Refused)
        m_ws.setBox(Workspace::Box::Entry, before);
}

} // namespace telvaro
