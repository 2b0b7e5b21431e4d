#pragma once
// --dry-run: the operation of a command run on a planned clock over a link
// that opens nothing and records every write, so that what it prints is
// what the real command would send, frame by frame, and when. The same
// planned run gives the progress line its remaining time.

#include "base/wait.h"
#include "run/operation.h"

#include <QList>
#include <QString>
#include <functional>
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

// When each step of an operation (as status panel 3 names it) is planned
// to start, in seconds from the operation's start, and when it ends.
struct StepPlan {
    QList<std::pair<QString, double>> starts;
    double total = 0;
};

// run --duration: data entry that many seconds from now, the start of the
// operation, on the clock its waits read, planned or real; nothing without
// a duration.
std::optional<OperationEnd> EndAfter(Workspace &ws, std::optional<double> durationSeconds);

// One line per frame on stdout, "SECONDS<tab>FRAME", in escape notation or
// in hexadecimal, then "total SECONDS"; durationSeconds ends a run as
// --duration does. The outcome is the real command's, down to its messages.
OperationOutcome RunDryRun(Workspace &ws, const DryRun &how, int messages, std::optional<double> durationSeconds,
                           const std::function<OperationOutcome()> &operation);

// The plan of an operation about to run for real, worked out on the same
// workspace without a word on stderr and without a change it would not make
// itself.
// How many frames the same planned run writes.
int CountPlannedFrames(Workspace &ws, int messages, std::optional<double> durationSeconds,
                       const std::function<OperationOutcome()> &operation);

StepPlan PlanSteps(Workspace &ws, int messages, const std::function<OperationOutcome()> &operation);

} // namespace telvaro::cli
