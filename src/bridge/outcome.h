#pragma once
// What the bridge hands to telvaro-cli for a command, and the result it
// publishes: the command line's own machine-readable outcome, with the
// caller's id, the op and the sign. Pure functions, so the tests read them.

#include "bridge/command.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace telvaro::bridge {

struct JobFiles {
    QString registry;
    QString transcript;
    QString table;  // the command's messages as a table, or empty
    QString output; // upload: where the table read back goes
};

// telvaro-cli's arguments for a command (not stop).
QStringList CliArguments(const Command &command, const QString &sign, const JobFiles &files);

// The command's messages as the bytes of a TVD table.
QByteArray TableBytes(const QList<CommandMessage> &messages);

QString UtcText(const QDateTime &time);

QJsonObject RefusalResult(const QString &sign, const CommandRefusal &refusal, const QDateTime &at);

struct ChildEnding {
    int exitCode = 0;
    bool crashed = false; // ended by a signal it did not handle, or never started
    QString crashReason;  // what Qt said
    QByteArray out;       // stdout: what the device sent, then the outcome line
    QByteArray err;       // stderr: the messages
    QDateTime started;
    QDateTime ended;
};
QJsonObject ChildResult(const QString &sign, const Command &command, const JobFiles &files, const ChildEnding &ending);

// An operation the bridge was running when it was killed: what its
// transcript shows had been sent.
QJsonObject InterruptedResult(const QJsonObject &start, const QDateTime &now);

} // namespace telvaro::bridge
