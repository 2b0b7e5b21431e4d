#include "app/communication.h"

#include "app/workspace.h"
#include "link/link.h"
#include "link/serialdevices.h"

namespace telvaro {

namespace {
// The menu is disabled while an operation uses the link.
bool menuAvailable(const Workspace &ws)
{
    return ws.menus().item(Item::MnuCommunication).enabled;
}
} // namespace

bool CommunicationAvailable(const Workspace &ws)
{
    return menuAvailable(ws);
}

qint16 SerialPortForChoice(const Workspace &ws)
{
    const qint16 current = ws.linkSettings().value().PortNumber;
    return current > 0 ? current : qint16(1);
}

bool AssignChosenDevice(Workspace &ws, const SerialDevice &device)
{
    if (!menuAvailable(ws))
        return false;
    const qint16 port = SerialPortForChoice(ws);
    AssignSerialDevice(port, device.assignedName());
    ws.linkSettings().setPortNumber(port);
    ws.link().setSettings(ws.linkSettings().value());
    return true;
}

bool RemoveAssignment(Workspace &ws, qint16 portNumber)
{
    if (!menuAvailable(ws))
        return false;
    RemoveSerialAssignment(portNumber);
    ws.link().setSettings(ws.linkSettings().value());
    return true;
}

void MnuComSetPort_Click(Workspace &ws)
{
    if (!menuAvailable(ws))
        return;
    const auto answer =
        ws.prompter().input(QStringLiteral("Select Serial Port\r\n"
                                           "Port 0 Selects TCP Communication\r\n"
                                           "Port -1 Selects UDP Communication"),
                            QStringLiteral("Port Selection"), QString::number(ws.linkSettings().value().PortNumber));
    const PortAnswer port = ReadPortAnswer(answer);
    switch (port.kind) {
    case PortAnswer::Unchanged: return;
    case PortAnswer::Refused:
        ws.prompter().inform(QStringLiteral("The port must be a number from -32768 to 32767."));
        return;
    case PortAnswer::Set: ws.linkSettings().setPortNumber(port.value); return;
    }
}

void MnuComSetIP_Click(Workspace &ws)
{
    if (!menuAvailable(ws))
        return;
    LinkSettingsState &settings = ws.linkSettings();
    const auto address =
        ws.prompter().input(QStringLiteral("Enter IP Address"), QStringLiteral("IP Entry"), settings.value().IpAddress);
    if (!address || address->isEmpty())
        return;
    settings.setIpAddress(*address);
    const auto port =
        ws.prompter().input(QStringLiteral("Enter IP Port"), QStringLiteral("IP Entry"), settings.value().IpPort);
    if (port && !port->isEmpty())
        settings.setIpPort(*port);
}

void MnuComSetBaud_Click(Workspace &ws)
{
    if (!menuAvailable(ws))
        return;
    const auto answer = ws.prompter().input(QStringLiteral("Enter Baud Rate"), QStringLiteral("Baud"),
                                            ws.linkSettings().value().BaudText);
    const QString baudText = BaudAnswerText(answer);
    // A rate the port cannot take changes nothing, silently.
    if (!ws.link().serial().setSettings(LineSettingsText(baudText)))
        return;
    ws.linkSettings().setBaudText(baudText);
}

} // namespace telvaro
