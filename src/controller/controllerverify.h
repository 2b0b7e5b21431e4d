#pragma once
// What a controller holds, compared with what it was sent: registers, each
// message and the input configuration, as an upload reads them back. The
// comparison is of bytes, and the messages are aligned as a diff aligns
// lines, so that one message left out reads as one missing message.

#include "table/messagetable.h"
#include "table/registers.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace telvaro {

// A controller's contents as bytes.
struct ControllerImage {
    RegisterTable registers{};
    QList<QByteArray> messages; // each up to and including its EOT
    QList<int> numbers;         // what was sent: the table number each message starts in
    QByteArray configuration;   // the configuration frame; empty when none came
    QString error;              // the register frame could not be read
};
// The register frame, the messages and the configuration frame, split at
// each EOT as an upload splits what the controller sends.
ControllerImage ReadControllerImage(const QByteArray &bytes);

// What a load sends after its wake-up and clear: the register frame, each
// message's frame with its table number, the configuration frame. A "<T>"
// left in a message stands for a time text.
struct SentMessage {
    int number;
    QByteArray bytes;
};
ControllerImage SentControllerImage(const QByteArray &registerFrame, const QList<SentMessage> &messages,
                                    const QByteArray &configurationFrame);
// What a load of the table sends after its wake-up and clear; none when a
// message holds an escape out of range. Time tokens stay: each stands for
// the time text the load puts in its place.
std::optional<ControllerImage> TableAsSent(const MessageTable &table, const RegisterTable &registers, bool serialInput);

// Beyond this many messages missing or extra (a changed one counts twice),
// the lists are compared position by position: aligning them costs memory
// that grows with its square (16 MB here) and time with it times the
// number of messages (about a second for a full table).
constexpr int MaxAlignedEdits = 2000;

// One difference: what differs ("message 003", "register 12",
// "configuration", "extra message after message 004"), what was sent and
// what was read back, each quoted in escape notation or "none" (an empty
// text on the screen's side for an extra message, "missing" on the
// controller's for one missing), and the line that tells it.
struct ControllerDifference {
    QString what;
    QString sent;
    QString readBack;
    QString line;
};

struct ControllerComparison {
    // One line per difference: "register 12: sent "125 ", read back none",
    // "message 003: sent "...", read back "..."", "message 004: sent "...",
    // missing from the controller", "extra message after message 004: read
    // back "..."", "configuration: ...".
    QStringList differences;
    QList<ControllerDifference> rows; // the same, by parts
    bool positional = false;          // too many differences to align the messages
};
ControllerComparison CompareWithController(const ControllerImage &sent, const ControllerImage &readBack);

// A read-back compared with what was sent: the comparison, or why the
// read-back could not be read; and the lines that tell the result ("The
// controller holds what was sent.", or the difference report).
struct ReadBackComparison {
    ControllerComparison comparison;
    QString error;
    QStringList lines;
    bool same() const { return error.isEmpty() && comparison.differences.isEmpty(); }
};
ReadBackComparison CompareReadBack(const ControllerImage &sent, const QByteArray &received);

// At most this many differences are shown, then how many there are.
constexpr int MaxDifferenceLines = 10;
QStringList DifferenceReport(const ControllerComparison &comparison);

} // namespace telvaro
