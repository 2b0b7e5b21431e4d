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
class Transcript;
class Workspace;
} // namespace telvaro

namespace telvaro::cli {

struct OperationRun {
    ProgressLine::Steps steps = ProgressLine::Steps::Send;
    int messages = 0; // in the table
    bool quiet = false;
    // A requested end (run --duration): a normal ending, like the table's end.
    std::optional<double> durationSeconds;
    // --dry-run: the frames and their times printed, nothing sent.
    std::optional<DryRun> dryRun;
    // run --repeat-from: the table starts again until stopped.
    bool repeats = false;
};

// An upload sends the wake-up and the request; the rest comes back.
constexpr int UploadFrames = 2;

struct CommandEnding {
    OperationOutcome outcome;
    int signalNumber = 0; // the stop signal, or 0
    int status = 0;       // exit status: OutcomeStatus, or 128 + signalNumber
};

CommandEnding RunOperation(Workspace &ws, const OperationRun &how, const std::function<OperationOutcome()> &operation);

// --transcript: the command's transcript of its link, opened for appending
// (false, the reason printed, when it cannot be) and kept to the command's
// end; none until then.
bool OpenTranscript(Workspace &ws, const QString &path);
Transcript *CommandTranscript();
// The command's end: its transcript ends with an END line that carries the
// command's final exit status. A transcript that does not hold every line
// is told on stderr and makes the command fail. Returns the exit status.
int EndTranscript(int status);

// "SIGINT", "SIGTERM", "SIGHUP" or "signal N".
QString SignalName(int number);

// The line a stop by signal prints: where it stopped, what the device has.
QString StopLine(int signalNumber, const OperationRun &how, const QString &stepPanel, const OperationOutcome &outcome);

} // namespace telvaro::cli
