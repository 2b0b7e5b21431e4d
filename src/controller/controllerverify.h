#pragma once
// What a controller holds, compared with what it was sent: registers, each
// message and the input configuration, as an upload reads them back.

#include "table/registers.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace telvaro {

// A controller's contents in the upload's escape notation.
struct ControllerImage {
    RegisterTable registers{};
    QList<QByteArray> messages; // each with its "<0x04>"
    QByteArray configuration;   // the configuration frame; empty when none came
    QString error;              // the text could not be read
};
// Reads the register frame, the messages and the configuration frame from
// text in escape notation: an upload's, or a load's frames after its wake-up
// and clear, each formatted as received.
ControllerImage ReadControllerImage(const QByteArray &text);

// One line per difference: "register 12: sent "125 ", read back none",
// "message 003: sent "...", read back "..."", "configuration: ...".
// messageNumbers: the table position of each message sent, in order. A
// "<T>" sent stands for any time text read back.
QStringList ControllerDifferences(const ControllerImage &sent, const ControllerImage &readBack,
                                  const QList<int> &messageNumbers);

// At most this many differences are shown, then how many there are.
constexpr int MaxDifferenceLines = 10;
QStringList DifferenceReport(const QStringList &differences);

} // namespace telvaro
