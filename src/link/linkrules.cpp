#include "link/linkrules.h"

#include "codec/numbers.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>

namespace telvaro {

LinkKind LinkKindFor(qint16 portNumber)
{
    if (portNumber > 0)
        return LinkKind::Serial;
    return portNumber == 0 ? LinkKind::Tcp : LinkKind::Udp;
}

int SocketStateCode(QAbstractSocket::SocketState state, bool failed, bool peerClosed)
{
    if (failed)
        return SocketState::Error;
    if (peerClosed)
        return SocketState::PeerClosing;
    switch (state) {
    case QAbstractSocket::UnconnectedState: return SocketState::Closed;
    case QAbstractSocket::HostLookupState: return SocketState::ResolvingHost;
    case QAbstractSocket::ConnectingState: return SocketState::Connecting;
    case QAbstractSocket::ConnectedState: return SocketState::Connected;
    case QAbstractSocket::BoundState: return SocketState::Open;
    case QAbstractSocket::ListeningState: return SocketState::Listening;
    case QAbstractSocket::ClosingState: return SocketState::PeerClosing;
    }
    return SocketState::Error;
}

QString ConnectionErrorText(QAbstractSocket::SocketError error, const QString &systemText, const QString &host,
                            quint16 port)
{
    const QString where = QStringLiteral("%1:%2").arg(host).arg(port);
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("The device at %1 refused the connection.").arg(where);
    case QAbstractSocket::HostNotFoundError: return QStringLiteral("Host %1 not found.").arg(host);
    case QAbstractSocket::SocketTimeoutError: return QStringLiteral("No answer from %1.").arg(where);
    case QAbstractSocket::RemoteHostClosedError: return QStringLiteral("The device closed the connection.");
    default: return systemText.isEmpty() ? QStringLiteral("The connection to %1 failed.").arg(where) : systemText;
    }
}

QString LinkStatusText(qint16 portNumber, int transmitting, bool serialOpen, int socketState, const QString &ipAddress)
{
    if (portNumber > 0)
        return QStringLiteral("Port %1 %2").arg(portNumber).arg(serialOpen ? u"Open" : u"Closed");
    if (portNumber == -1 && transmitting == 1)
        return QStringLiteral("UDP Send to ") + ipAddress;
    switch (socketState) {
    case SocketState::Closed: return QStringLiteral("No open connection");
    case SocketState::Open: return QStringLiteral("Open Connection");
    case SocketState::Listening: return QStringLiteral("Listening");
    case SocketState::ConnectionPending: return QStringLiteral("Connection pending");
    case SocketState::ResolvingHost: return QStringLiteral("Resolving Host");
    case SocketState::HostResolved: return QStringLiteral("Host resolved");
    case SocketState::Connecting: return QStringLiteral("Connecting to ") + ipAddress;
    case SocketState::Connected: return QStringLiteral("Connected to ") + ipAddress;
    case SocketState::PeerClosing: return QStringLiteral("Peer is closing the connection");
    default: return QStringLiteral("Error! Restart of program is required for IP communications.");
    }
}

QString UnableToConnectText(int socketState)
{
    return QStringLiteral("Unable to connect!  State = ") + QString::number(socketState);
}

QString SerialDeviceName(qint16 portNumber, const QString &configured)
{
    if (!configured.isEmpty())
        return configured;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

bool IsSupportedBaudRate(qint64 rate)
{
    // The rates serial hardware and drivers commonly offer; anything else is
    // refused up front rather than failing later at the device.
    static constexpr qint64 rates[] = {110,    300,    600,    1200,   2400,   4800,    9600,    14400,
                                       19200,  28800,  38400,  56000,  57600,  115200,  128000,  230400,
                                       256000, 460800, 500000, 576000, 921600, 1000000, 1500000, 2000000};
    return std::find(std::begin(rates), std::end(rates), rate) != std::end(rates);
}

std::optional<LineSettings> ParseLineSettings(const QString &text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return std::nullopt;
    const auto baud = StrictValue(parts[0]);
    const auto dataBits = StrictValue(parts[2]);
    const auto stopBits = StrictValue(parts[3]);
    if (!baud || !dataBits || !stopBits)
        return std::nullopt;
    const auto wholeBaud = RoundToInt32(*baud);
    if (*baud != std::floor(*baud) || !wholeBaud || !IsSupportedBaudRate(*wholeBaud))
        return std::nullopt;
    const QString parity = parts[1].trimmed().toLower();
    if (parity.size() != 1 || !QStringLiteral("neoms").contains(parity))
        return std::nullopt;
    if (*dataBits != std::floor(*dataBits) || *dataBits < 5 || *dataBits > 8)
        return std::nullopt;
    if (*stopBits != 1 && *stopBits != 1.5 && *stopBits != 2)
        return std::nullopt;
    return LineSettings{*wholeBaud, char(parity.front().unicode()), int(*dataBits), *stopBits};
}

QString LineSettingsText(const QString &baudText)
{
    return baudText + QStringLiteral(",n,8,1");
}

std::optional<quint16> RemotePortValue(const QString &ipPort)
{
    const auto value = StrictValue(ipPort);
    if (!value)
        return std::nullopt;
    const auto whole = RoundToInt32(*value);
    if (!whole || *whole < 1 || *whole > 65535)
        return std::nullopt;
    return quint16(*whole);
}

PortAnswer ReadPortAnswer(const std::optional<QString> &answer)
{
    if (!answer || answer->isEmpty())
        return {};
    const auto value = RoundToInt16(LenientValue(*answer));
    if (!value)
        return {PortAnswer::Refused, 0};
    return {PortAnswer::Set, *value};
}

QString BaudAnswerText(const std::optional<QString> &answer)
{
    const double value = answer ? LenientValue(*answer) : 0.0;
    if (const auto whole = RoundToInt64(value); whole && double(*whole) == value)
        return SignedNumberText(*whole);
    const QString digits = QString::number(value, 'g', 15).toUpper();
    return value < 0 ? digits : u' ' + digits;
}

namespace {

// A received byte as the box shows it, padded to eight characters, and its
// length: printable bytes as they are, the rest as "<0d" decimal ">".
struct ReceivedForm {
    char16_t text[8];
    int length;
};

constexpr std::array<ReceivedForm, 256> MakeReceivedForms()
{
    std::array<ReceivedForm, 256> table{};
    for (int c = 0; c < 256; ++c) {
        ReceivedForm &form = table[size_t(c)];
        if (c >= 32 && c <= 125) {
            form = {{char16_t(c)}, 1};
            continue;
        }
        form = {{u'<', u'0', u'd'}, 3};
        const int digits = c < 10 ? 1 : c < 100 ? 2 : 3;
        for (int k = digits - 1, rest = c; k >= 0; --k, rest /= 10)
            form.text[form.length + k] = char16_t(u'0' + rest % 10);
        form.length += digits;
        form.text[form.length++] = u'>';
    }
    return table;
}

constexpr std::array<ReceivedForm, 256> kReceivedForms = MakeReceivedForms();

} // namespace

QString SecondsSinceMidnightText(QTime timeOfDay)
{
    const qint64 hundredths = (qint64(timeOfDay.msecsSinceStartOfDay()) + 5) / 10;
    return QStringLiteral("%1.%2").arg(hundredths / 100).arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}

ReceivedDisplay ReceivedText(QByteArrayView data, qint64 bytesTotal, QTime timeOfDay)
{
    ReceivedDisplay out;
    const qint64 available = qMin<qint64>(qMax<qint64>(bytesTotal, 0), data.size());
    out.complete = available == qMax<qint64>(bytesTotal, 0);
    const QByteArrayView shown = data.first(available);
    const QString ending = out.complete && available > 0
                               ? QStringLiteral("\r\n") + SecondsSinceMidnightText(timeOfDay) + QStringLiteral("\r\n")
                               : QString();
    qsizetype size = ending.size();
    for (const char b : shown)
        size += kReceivedForms[static_cast<unsigned char>(b)].length;
    // Each byte's form is written whole and the end moved on by its length,
    // so the buffer has room for one more.
    QString text(size + qsizetype(std::size(ReceivedForm{}.text)), Qt::Uninitialized);
    auto *o = reinterpret_cast<char16_t *>(text.data());
    for (const char b : shown) {
        const ReceivedForm &form = kReceivedForms[static_cast<unsigned char>(b)];
        std::memcpy(o, form.text, sizeof form.text);
        o += form.length;
    }
    std::memcpy(o, ending.constData(), size_t(ending.size()) * sizeof(char16_t));
    text.truncate(size);
    out.text = std::move(text);
    return out;
}

QString AppendBounded(const QString &box, const QString &arrival, qsizetype limit)
{
    if (box.size() + arrival.size() <= limit)
        return box + arrival;
    QString kept = arrival.size() >= limit ? arrival.right(limit) : box.right(limit - arrival.size()) + arrival;
    // Start at a whole line when that costs at most a quarter of the bound;
    // one arrival can be a single very long line.
    const qsizetype lineEnd = kept.indexOf(QStringLiteral("\r\n"));
    if (lineEnd >= 0 && lineEnd + 2 <= limit / 4 && lineEnd + 2 < kept.size())
        kept.remove(0, lineEnd + 2);
    return kept;
}

} // namespace telvaro
