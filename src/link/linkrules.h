#pragma once
// The link's decisions as small pure functions: which kind of link a port
// number selects, what status panel 1 says, how the operator's answers to the
// Communication prompts are read, how received bytes are shown.

#include <QAbstractSocket>
#include <QByteArrayView>
#include <QString>
#include <QTime>
#include <optional>

namespace telvaro {

enum class LinkKind { Serial, Tcp, Udp };

LinkKind LinkKindFor(qint16 portNumber);

// Socket state codes as the operator sees them.
namespace SocketState {
constexpr int Closed = 0;
constexpr int Open = 1;
constexpr int Listening = 2;
constexpr int ConnectionPending = 3;
constexpr int ResolvingHost = 4;
constexpr int HostResolved = 5;
constexpr int Connecting = 6;
constexpr int Connected = 7;
constexpr int PeerClosing = 8;
constexpr int Error = 9;
} // namespace SocketState

// Qt's socket state plus what happened since the socket was last closed: a
// failure reads 9 and a peer's close reads 8 until the socket is closed.
int SocketStateCode(QAbstractSocket::SocketState state, bool failed, bool peerClosed);

// Status panel 1.
QString LinkStatusText(qint16 portNumber, int transmitting, bool serialOpen, int socketState, const QString &ipAddress);

QString UnableToConnectText(int socketState);

// Why a socket failed, in the operator's words: refused, host not found, no
// answer, or the system's own description.
QString ConnectionErrorText(QAbstractSocket::SocketError error, const QString &systemText, const QString &host,
                            quint16 port);

// Serial device for port number n: the configured one when given, otherwise
// the platform's n-th serial port.
QString SerialDeviceName(qint16 portNumber, const QString &configured);

struct LineSettings {
    qint32 baud = 9600;
    char parity = 'n';
    int dataBits = 8;
    double stopBits = 1;
    bool operator==(const LineSettings &) const = default;
};
// "baud,parity,data bits,stop bits", e.g. " 19200,n,8,1". Empty optional for
// a text the port cannot apply (unsupported rate, unknown parity, ...).
std::optional<LineSettings> ParseLineSettings(const QString &text);
bool IsSupportedBaudRate(qint64 rate);
// The framing that every rate is joined with.
QString LineSettingsText(const QString &baudText);

// IpPort as the link opens it: a whole number of a usable port, or nothing.
std::optional<quint16> RemotePortValue(const QString &ipPort);

// The "Set Port" answer.
struct PortAnswer {
    enum Kind { Unchanged, Refused, Set } kind = Unchanged;
    qint16 value = 0;
};
PortAnswer ReadPortAnswer(const std::optional<QString> &answer);

// The "Set Baud" answer read leniently and written in signed-number form
// (" 19200"); a cancelled or empty answer reads as 0.
QString BaudAnswerText(const std::optional<QString> &answer);

// The received-data display of one arrival: printable bytes as they are,
// the rest as "<0d13>", then a line with the time of day in seconds. When
// data holds fewer bytes than announced, what was formatted is returned with
// complete = false.
struct ReceivedDisplay {
    QString text;
    bool complete = true;
};
ReceivedDisplay ReceivedText(QByteArrayView data, qint64 bytesTotal, QTime timeOfDay);
QString SecondsSinceMidnightText(QTime timeOfDay);

// The received-data box keeps the newest text within this many characters.
constexpr qsizetype RecDataLimit = 32768;
// Text with an arrival appended, its oldest characters dropped beyond the
// limit (up to the next line start when one is near).
QString AppendBounded(const QString &box, const QString &arrival, qsizetype limit = RecDataLimit);

} // namespace telvaro
