#pragma once
// --dry-run: the plan of a command's operation printed, so that what it
// prints is what the real command would send, frame by frame, and when.

#include "plan/plan.h"

#include <QString>
#include <optional>

namespace telvaro {
class Workspace;
}

namespace telvaro::cli {

class CommandLine;
struct LinkOptions;

// The --dry-run and --hex options; what the command line asked for.
void AddDryRunOptions(CommandLine &line);
struct DryRun {
    bool hex = false;
};
// Read with the link options, before anything opens: --hex without
// --dry-run is a usage problem (the command would send for real), and a dry
// run drops --transcript with a line saying so, as nothing goes over a
// link. Returns the problem, or nothing.
std::optional<QString> ReadDryRun(const CommandLine &line, LinkOptions &options, std::optional<DryRun> &dryRun);

// One line per frame on stdout, "SECONDS<tab>FRAME", in escape notation or
// in hexadecimal, then "total SECONDS", of the plan of request for ws. The
// outcome is the real command's, down to its messages, and the panels of ws
// change as the real operation would change them.
OperationOutcome RunDryRun(Workspace &ws, const DryRun &how, PlanRequest request);

// How many frames the operation of request writes on ws, planned without a
// word on stderr.
int CountPlannedFrames(Workspace &ws, const PlanRequest &request);

} // namespace telvaro::cli
