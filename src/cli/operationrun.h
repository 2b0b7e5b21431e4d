#pragma once
// How the commands that talk to a device run their operation: the progress
// line, output that never holds up the protocol, and SIGHUP, SIGINT or
// SIGTERM ending it through data entry with a line that says where it stopped and
// what the device already has.

#include "cli/dryrun.h"
#include "cli/progressline.h"
#include "run/operation.h"

#include <functional>
#include <optional>

namespace telvaro {
class Workspace;
}

namespace telvaro::cli {

struct OperationRun {
    ProgressLine::Steps steps = ProgressLine::Steps::Send;
    int messages = 0; // in the table
    bool quiet = false;
    // A requested end (run --duration): a normal ending, like the table's end.
    std::optional<double> durationSeconds;
    // --dry-run: the frames and their times printed, nothing sent.
    std::optional<DryRun> dryRun;
};

struct CommandEnding {
    OperationOutcome outcome;
    int signalNumber = 0; // the stop signal, or 0
    int status = 0;       // exit status: OutcomeStatus, or 128 + signalNumber
};

CommandEnding RunOperation(Workspace &ws, const OperationRun &how, const std::function<OperationOutcome()> &operation);

// The line a stop by signal prints: where it stopped, what the device has.
QString StopLine(int signalNumber, const OperationRun &how, const QString &stepPanel, const OperationOutcome &outcome);

} // namespace telvaro::cli
