#pragma once
// A command from the bus: one JSON object read from a payload of untrusted
// bytes, either a command the bridge can run or the reason it refuses it.
// Nothing a payload holds can crash the reader or make it take long.

#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace telvaro::bridge {

// A payload over this size is refused unread.
constexpr qsizetype MaxCommandBytes = 1024 * 1024;

// The operations a command may name, in the command line's words.
const QStringList &CommandOps();

struct CommandMessage {
    QString text; // escape notation
    qint32 interval = 0;
    QString comment;
    bool operator==(const CommandMessage &) const = default;
};

struct Command {
    QString id; // the caller's, echoed back; may be empty
    QString op;
    QString text;                                  // send
    qint16 number = 0;                             // call-message
    std::optional<QList<CommandMessage>> messages; // load-sign, load-controller, run
    bool verify = false;                           // load-controller
    std::optional<double> duration;                // run, seconds
    std::optional<QDateTime> expires;
};

struct CommandRefusal {
    QString id; // what the payload said, where it could be read
    QString op;
    QString reason;
};

// served: whether this bridge serves the sign the command's topic names;
// now: the time an expiry is checked against.
std::variant<Command, CommandRefusal> ReadCommand(QByteArrayView payload, bool served, const QDateTime &now);

} // namespace telvaro::bridge
