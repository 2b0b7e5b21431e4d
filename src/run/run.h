#pragma once
// "&Run": the table sent entry by entry, each followed by its interval, with
// an optional repeat point, until the table ends or data entry is chosen.

#include "run/operation.h"

namespace telvaro {

class EntryPanel;
class MessageTable;

OperationOutcome MnuModeRun_Click(Operations &operations, MessageTable &table, const EntryPanel &panel);

// The wait after the last entry before the run returns to data entry.
constexpr int RunEndWaitMs = 2000;

} // namespace telvaro
