#pragma once
// "Quick Send": the entry text sent once over a link opened for it and
// closed two seconds later.

namespace telvaro {

class Workspace;

void CmdQuickSend_Click(Workspace &ws);

// How long the link stays open after the send, in milliseconds.
constexpr int QuickSendHoldMs = 2000;

} // namespace telvaro
