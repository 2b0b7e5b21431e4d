#include "gui/frmserialdevices.h"

#include "app/communication.h"
#include "app/workspace.h"
#include "gui/editorcontrols.h"
#include "link/serialdevices.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace telvaro {

namespace {

QTreeWidget *table(const QString &name, const QStringList &headers, QWidget *parent)
{
    auto *t = new QTreeWidget(parent);
    t->setObjectName(name);
    t->setHeaderLabels(headers);
    t->setRootIsDecorated(false);
    t->setAllColumnsShowFocus(true);
    t->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return t;
}

} // namespace

FrmSerialDevices::FrmSerialDevices(Workspace &workspace, QWidget *parent) : QDialog(parent), m_ws(workspace)
{
    setObjectName(QStringLiteral("FrmSerialDevices"));
    setWindowTitle(QStringLiteral("Serial Devices"));
    m_lstDevices = table(QStringLiteral("LstDevices"),
                         {QStringLiteral("Name"), QStringLiteral("Device"), QStringLiteral("Description"),
                          QStringLiteral("Manufacturer"), QStringLiteral("Serial Number"), QStringLiteral("USB Id")},
                         this);
    m_lstAssigned = table(QStringLiteral("LstAssigned"), {QStringLiteral("Port"), QStringLiteral("Device")}, this);
    m_lblNone = new QLabel(QStringLiteral("No serial device is plugged in."), this);
    m_lblNone->setObjectName(QStringLiteral("LblNone"));

    auto button = [this](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    m_cmdAssign = button("CmdAssign", QString());
    m_cmdRemove = button("CmdRemove", QStringLiteral("&Remove Assignment"));
    m_cmdRefresh = button("CmdRefresh", QStringLiteral("Re&fresh"));
    QPushButton *closeButton = button("CmdClose", QStringLiteral("&Close"));
    connect(m_cmdAssign, &QPushButton::clicked, this, &FrmSerialDevices::CmdAssign_Click);
    connect(m_cmdRemove, &QPushButton::clicked, this, &FrmSerialDevices::CmdRemove_Click);
    connect(m_cmdRefresh, &QPushButton::clicked, this, &FrmSerialDevices::CmdRefresh_Click);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_lstDevices, &QTreeWidget::itemSelectionChanged, this, &FrmSerialDevices::updateButtons);
    connect(m_lstDevices, &QTreeWidget::itemDoubleClicked, this, &FrmSerialDevices::CmdAssign_Click);
    connect(m_lstAssigned, &QTreeWidget::itemSelectionChanged, this, &FrmSerialDevices::updateButtons);

    auto *deviceButtons = new QHBoxLayout;
    deviceButtons->addWidget(m_cmdAssign);
    deviceButtons->addWidget(m_cmdRefresh);
    deviceButtons->addStretch();
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_cmdRemove);
    bottom->addStretch();
    bottom->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    auto *devicesLabel = new QLabel(QStringLiteral("Plugged in now:"), this);
    auto *assignedLabel = new QLabel(QStringLiteral("Assigned to serial port numbers:"), this);
    nameBy(devicesLabel, m_lstDevices);
    nameBy(assignedLabel, m_lstAssigned);
    layout->addWidget(devicesLabel);
    layout->addWidget(m_lstDevices, 2);
    layout->addWidget(m_lblNone);
    layout->addLayout(deviceButtons);
    layout->addWidget(assignedLabel);
    layout->addWidget(m_lstAssigned, 1);
    layout->addLayout(bottom);
    resize(760, 420);
    CmdRefresh_Click();
}

void FrmSerialDevices::CmdRefresh_Click()
{
    showDevices();
    showAssignments();
    updateButtons();
}

void FrmSerialDevices::CmdAssign_Click()
{
    const QTreeWidgetItem *row = m_lstDevices->currentItem();
    if (!row || !row->isSelected())
        return;
    // The device as it is now: it may have gone since the list was shown.
    const auto device = FindSerialDevice(CurrentSerialDevices().devices(), row->text(1));
    if (!device) {
        showDevices();
        return;
    }
    if (!AssignChosenDevice(m_ws, *device))
        return;
    showAssignments();
    updateButtons();
}

void FrmSerialDevices::CmdRemove_Click()
{
    const QTreeWidgetItem *row = m_lstAssigned->currentItem();
    if (!row || !row->isSelected() || !RemoveAssignment(m_ws, qint16(row->text(0).toInt())))
        return;
    showAssignments();
    updateButtons();
}

void FrmSerialDevices::showDevices()
{
    m_lstDevices->clear();
    const QList<SerialDevice> devices = CurrentSerialDevices().devices();
    for (const SerialDevice &d : devices)
        new QTreeWidgetItem(m_lstDevices,
                            {d.assignedName(), d.device, d.description, d.manufacturer, d.serialNumber, UsbIdsText(d)});
    m_lblNone->setVisible(devices.isEmpty());
}

void FrmSerialDevices::showAssignments()
{
    m_lstAssigned->clear();
    const QMap<qint16, QString> assignments = SerialAssignments();
    for (auto it = assignments.cbegin(); it != assignments.cend(); ++it)
        new QTreeWidgetItem(m_lstAssigned, {QString::number(it.key()), it.value()});
}

void FrmSerialDevices::updateButtons()
{
    const bool available = CommunicationAvailable(m_ws);
    m_cmdAssign->setText(QStringLiteral("&Assign to Port %1").arg(SerialPortForChoice(m_ws)));
    m_cmdAssign->setEnabled(available && !m_lstDevices->selectedItems().isEmpty());
    m_cmdRemove->setEnabled(available && !m_lstAssigned->selectedItems().isEmpty());
}

} // namespace telvaro
