#pragma once
// The link options every command that talks to a device takes:
// --port N, --ip ADDRESS, --ip-port PORT, --baud RATE, --device PATH and
// --verbose. What is not given comes from the settings store.

#include <QString>
#include <QStringList>
#include <optional>

namespace telvaro {
class Workspace;
struct OperationOutcome;
} // namespace telvaro

namespace telvaro::cli {

struct LinkOptions {
    std::optional<qint16> port;
    std::optional<QString> ip;
    std::optional<QString> ipPort;
    std::optional<QString> baud;
    std::optional<QString> device;
    bool verbose = false;
};

// Takes the link options out of args, leaving the rest in order; a "--" and
// everything after it are left as they are. Returns a usage message for an
// option that is malformed or lacks its value.
std::optional<QString> TakeLinkOptions(QStringList &args, LinkOptions &options);

// One line describing the options, for usage texts.
QString LinkOptionsUsage();

// Puts the workspace in data-entry state with the link parameters of the
// settings store, overridden by the options. Returns a message when a value
// cannot be used (exit status 1 for the store, 2 for an option).
struct LinkSetupError {
    QString message;
    int status;
};
std::optional<LinkSetupError> SetUpLink(Workspace &ws, const LinkOptions &options);

// SetUpLink for a command: prints what went wrong (with the usage text for
// a bad option) and returns the exit status, or nothing when the link is set.
// With --verbose the status panels are echoed from then on.
std::optional<int> PrepareLink(Workspace &ws, const LinkOptions &options, const QString &usage);

// The exit status of an operation, with a line on stderr for each thing
// that went wrong (the operation's own messages are already printed).
// A stop is a normal end for a command that runs until stopped.
int OutcomeStatus(const OperationOutcome &outcome);

// --verbose: every change of a status panel goes to stderr as
// "panel N: TEXT", the text in escape notation.
void EchoStatusPanels(Workspace &ws);

} // namespace telvaro::cli
