#pragma once
// The "&Communication" menu: port, IP address and port, baud rate. They
// change the link parameters only; the link itself stays as it is.

namespace telvaro {

class Workspace;

void MnuComSetPort_Click(Workspace &ws);
void MnuComSetIP_Click(Workspace &ws);
void MnuComSetBaud_Click(Workspace &ws);

} // namespace telvaro
