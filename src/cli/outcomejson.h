#pragma once
// --json: at the command's end, one line on stdout holding one compact
// JSON object that says how the operation ended, for the fleet report,
// the units and any other program, so that none of them reads the human
// messages (which still go to stderr).
//
// {"sign", "op", "status" (done|failed|refused|stopped), "exit", "reasons",
//  "started", "ended", "duration", "frames_sent", "frames_planned",
//  "verification" (null or {"result": same|different|failed,
//  "differences": [{"item", "table", "read_back"}]}), "transcript"}

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace telvaro::cli {

class CommandLine;
struct CommandEnding;

void AddJsonOption(CommandLine &line);

// Before the command runs: op is the command's name; an outcome is written
// at the end when args ask for one (and not for the help).
void ExpectOutcome(const QString &op, const QStringList &args);
bool OutcomeWanted();

void NoteSign(const QString &name);
void NoteTranscript(const QString &path);
// Each operation the command ran, with the frames its plan holds (none
// when the plan has no end).
void NoteOperation(const CommandEnding &ending, std::optional<int> framesPlanned);
// A read-back: differences as the comparison words them; failed when the
// controller could not be read back.
void NoteVerification(bool failed, const QStringList &differences = {});

// The object for a command that ended with status.
QJsonObject OutcomeObject(int status);
// Writes the line when one is wanted. Returns the exit status: 1 when the
// line cannot be written after a command that was done.
int WriteOutcome(int status);

// "message 042: sent "A", read back "B"" as {"item", "table", "read_back"}.
QJsonObject DifferenceObject(const QString &line);

} // namespace telvaro::cli
