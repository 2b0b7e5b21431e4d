#pragma once
// "&Run": the table sent entry by entry, each followed by its interval, with
// an optional repeat point, until the table ends or data entry is chosen.

namespace telvaro {

class Workspace;

void MnuModeRun_Click(Workspace &ws);

// The wait after the last entry before the run returns to data entry.
constexpr int RunEndWaitMs = 2000;

} // namespace telvaro
