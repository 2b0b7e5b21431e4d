#pragma once
// How long a sign's operation is planned to take, from the same planning
// as a dry run, for the fleet's time left. One function, so that the call
// moves in one place when the planning does.

#include <optional>

namespace telvaro {
struct SignEntry;
}

namespace telvaro::cli {

// Seconds on the clock the waits run on (the test scale applied); nothing when the sign's table cannot be planned.
std::optional<double> PlannedSeconds(const SignEntry &sign);

} // namespace telvaro::cli
