#pragma once
// The ADP frame layout: sign type codes, file labels, the header sign load
// puts in front of each message, the set-up frames of a load and the
// commands that call a loaded message. Pure functions, shared by the
// window, the command line and the simulator.

#include <QByteArray>
#include <QString>
#include <optional>

namespace telvaro {

enum class SignType { Vyrena, Orbilux };

// The character after SOH in a message frame: "4" or "Z".
char SignTypeCode(SignType type);
// Reads "vyrena" or "orbilux" in any case.
std::optional<SignType> SignTypeFromName(const QString &name);

// File labels exist for messages 0 to 8100.
constexpr int HighestFileLabel = 8100;
// Two characters, codes (n div 90) + 33 and (n mod 90) + 33.
QByteArray AdpFileLabel(int number);
// The message number a file label names, or nothing for two characters
// that are not a label.
std::optional<int> FileLabelNumber(QByteArrayView label);

// The one rule for a sign load's address, in the window and on the command
// line: two upper-case letters or digits of the code page, as the sign type
// dialog's box takes them.
bool IsSignLoadAddress(QByteArrayView address);

// SOH, type code, address as typed, STX, "A", SI, "DT", file label.
QByteArray AdpHeader(SignType type, const QByteArray &address, int number);

// Sign load's set-up steps -3, -2 and -1, sent before message 0. They
// carry the type code "Z" whatever the sign type.
constexpr int FirstSetupStep = -3;
QByteArray SignLoadSetupFrame(int step, const QByteArray &address);
// The wait after a step of the load, in milliseconds.
int SignLoadWaitMs(int step);
// Step -3 is followed by a new connection this long after the close.
constexpr int SignLoadReconnectMs = 5000;

// The loaded-message commands in escape notation, as the entry box takes
// them for a quick send.
QString CallMessageText(SignType type, const QString &address, int number);
QString ClearListText(SignType type, const QString &address);

// The checks of the loaded-message dialog: the message number read
// leniently (0 to 8100, rounded half to even) and the address (at most two
// characters). The text to send, or the message that refuses it.
struct LoadedCommand {
    QString text;
    QString refusal;
};
LoadedCommand CallMessageCommand(SignType type, const QString &address, const QString &numberText);
LoadedCommand ClearListCommand(SignType type, const QString &address);

} // namespace telvaro
