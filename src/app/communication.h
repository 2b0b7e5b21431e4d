#pragma once
// The "&Communication" menu: port, IP address and port, baud rate. They
// change the link parameters only; the link itself stays as it is. "Serial
// Devices" assigns a plugged-in device to a serial port number.

#include <QtGlobal>

namespace telvaro {

class Workspace;
struct SerialDevice;

void MnuComSetPort_Click(Workspace &ws);
void MnuComSetIP_Click(Workspace &ws);
void MnuComSetBaud_Click(Workspace &ws);

// Whether the Communication commands may run now.
bool CommunicationAvailable(const Workspace &ws);
// The serial port number a chosen device goes to: the current one, or 1
// when the link is TCP or UDP.
qint16 SerialPortForChoice(const Workspace &ws);
// Stores the device (its stable name where it has one) for that port number
// and selects the port; false, with nothing changed, while an operation
// holds the link.
bool AssignChosenDevice(Workspace &ws, const SerialDevice &device);
// The port number goes back to its system device; false while an operation
// holds the link.
bool RemoveAssignment(Workspace &ws, qint16 portNumber);

} // namespace telvaro
