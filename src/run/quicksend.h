#pragma once
// "Quick Send": the entry text sent once over a link opened for it and
// closed two seconds later.

#include "run/operation.h"

namespace telvaro {

class EntryPanel;

OperationOutcome CmdQuickSend_Click(Operations &operations, const EntryPanel &panel);

// How long the link stays open after the send, in milliseconds.
constexpr int QuickSendHoldMs = 2000;

} // namespace telvaro
