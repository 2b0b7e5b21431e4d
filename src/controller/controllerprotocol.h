#pragma once
// The sign controller's protocol: the frames of a load, the exact replies a
// serial controller gives, the wake-up and request of an upload, and the
// reading of what an upload collected. Pure functions, shared by the
// window, the command line and the simulator.

#include "table/registers.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace telvaro {

// Step -3 wakes the controller, -2 clears it, -1 carries the registers.
constexpr int FirstControllerStep = -3;
// A serial reply is polled this often, this far apart, before giving up.
constexpr int ReplyPolls = 120;
constexpr int ReplyPollMs = 500;

// SOH, then "kkW" and the text for each register 1..31 with a width above
// 0, separated by ";", then EOT.
QByteArray RegisterFrame(const RegisterTable &registers);
// SOH STX "1" ETX EOT for a serial input, "0" for a binary input.
QByteArray ConfigurationFrame(bool serialInput);
// The frame of a set-up step (-3, -2, -1).
QByteArray ControllerSetupFrame(int step, const RegisterTable &registers);
// What a serial controller answers a step with, exactly.
QByteArray ControllerReply(int step);

// The upload: the wake-up and its reply, then the request.
QByteArray WakeUpFrame();
QByteArray WakeUpReply();
QByteArray UploadRequestFrame();
constexpr int WakeUpPolls = 60;
constexpr int WakeUpPollMs = 500;
constexpr int UploadPolls = 120;
constexpr int UploadPollMs = 500;
// The longest an upload waits for the controller, wake-up and text.
constexpr int UploadLimitMs = WakeUpPolls * WakeUpPollMs + UploadPolls * UploadPollMs;
// More upload text than a full table of long messages could make ends the
// upload: a device that floods the port cannot exhaust memory.
constexpr qsizetype UploadLimit = 64 * 1024 * 1024;
// The configuration frames as the upload buffer holds them.
QByteArray ConfigurationText(bool serialInput);

// What the collected text of an upload holds, piece by piece (each piece
// ends with "<0x04>"): the register frame first, then messages and the
// configuration frame.
struct UploadPiece {
    enum class Kind { Message, SerialInput, BinaryInput } kind;
    QByteArray text; // a message in escape notation, with its "<0x04>"
};
struct UploadContents {
    // Registers the first piece names, in its order.
    QList<std::pair<int, RegisterEntry>> registers;
    QList<UploadPiece> pieces;
    bool configurationSeen = false;
    // A register number outside 0 to 31, or a register that breaks the rule
    // every register keeps; nothing is to be taken from such an upload.
    QString error;
};
UploadContents ParseUpload(const QByteArray &buffer);

} // namespace telvaro
