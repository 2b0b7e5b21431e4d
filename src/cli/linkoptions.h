#pragma once
// The link options every command that talks to a device takes:
// --port N, --ip ADDRESS, --ip-port PORT, --baud RATE, --device PATH,
// --wait-line and --verbose. What is not given comes from the settings store.

#include <QString>
#include <optional>

namespace telvaro {
class Workspace;
struct OperationOutcome;
} // namespace telvaro

namespace telvaro::cli {

class CommandLine;

struct LinkOptions {
    std::optional<qint16> port;
    std::optional<QString> ip;
    std::optional<QString> ipPort;
    std::optional<QString> baud;
    std::optional<QString> device;
    std::optional<QString> transcript;
    bool verbose = false;
    bool waitLine = false;
};

void AddLinkOptions(CommandLine &line);
// The options given; a usage message for a malformed value.
std::optional<QString> ReadLinkOptions(const CommandLine &line, LinkOptions &options);

// Puts the workspace in data-entry state with the link parameters of the
// settings store, overridden by the options. Returns a message when a value
// cannot be used (exit status 1 for the store, 2 for the options).
struct LinkSetupError {
    QString message;
    int status;
};
std::optional<LinkSetupError> SetUpLink(Workspace &ws, const LinkOptions &options);

// SetUpLink for a command: prints what went wrong (as a usage error for a
// bad option) and returns the exit status, or nothing when the link is set.
// From then on what the device sends goes to stdout as the received-data
// box shows it, with --verbose the status panels are echoed to stderr, and
// with --transcript the link's traffic and events go to its file.
std::optional<int> PrepareLink(Workspace &ws, const LinkOptions &options, const CommandLine &line);

// How every command that sends a table starts: one FILE given, the link set
// up, FILE opened with its register companion. The exit status when any of
// it fails (its message printed).
std::optional<int> PrepareTable(Workspace &ws, const LinkOptions &options, const CommandLine &line);

// The exit status of an operation, with a line on stderr for each thing
// that went wrong (the operation's own messages are already printed).
// A stop is a normal end for a command that runs until stopped.
int OutcomeStatus(const OperationOutcome &outcome);

// --verbose: every change of a status panel goes to stderr as
// "panel N: TEXT", the text in escape notation.
void EchoStatusPanels(Workspace &ws);

} // namespace telvaro::cli
