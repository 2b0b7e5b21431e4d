#include "signload/adp.h"

#include "codec/codepage.h"
#include "codec/controlbytes.h"
#include "codec/numbers.h"

namespace telvaro {

namespace {

constexpr int labelBase = 33;
constexpr int labelRadix = 90;

QString typePrefix(SignType type)
{
    return QStringLiteral("<0x01>") + QLatin1Char(SignTypeCode(type));
}

} // namespace

char SignTypeCode(SignType type)
{
    return type == SignType::Orbilux ? 'Z' : '4';
}

std::optional<SignType> SignTypeFromName(const QString &name)
{
    if (name.compare(QLatin1String("vyrena"), Qt::CaseInsensitive) == 0)
        return SignType::Vyrena;
    if (name.compare(QLatin1String("orbilux"), Qt::CaseInsensitive) == 0)
        return SignType::Orbilux;
    return std::nullopt;
}

QByteArray AdpFileLabel(int number)
{
    QByteArray label(2, '\0');
    label[0] = char(number / labelRadix + labelBase);
    label[1] = char(number % labelRadix + labelBase);
    return label;
}

std::optional<int> FileLabelNumber(QByteArrayView label)
{
    if (label.size() != 2)
        return std::nullopt;
    const int high = static_cast<unsigned char>(label[0]) - labelBase;
    const int low = static_cast<unsigned char>(label[1]) - labelBase;
    const int number = high * labelRadix + low;
    if (high < 0 || low < 0 || low >= labelRadix || number > HighestFileLabel)
        return std::nullopt;
    return number;
}

bool IsSignLoadAddress(QByteArrayView address)
{
    const auto allowed = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
    return address.size() == 2 && allowed(address[0]) && allowed(address[1]);
}

QByteArray AdpHeader(SignType type, const QByteArray &address, int number)
{
    QByteArray header;
    header.reserve(9 + address.size());
    header.append(ControlByte::SOH)
        .append(SignTypeCode(type))
        .append(address)
        .append(ControlByte::STX)
        .append('A')
        .append(ControlByte::SI);
    header.append("DT").append(AdpFileLabel(number));
    return header;
}

QByteArray SignLoadSetupFrame(int step, const QByteArray &address)
{
    if (step == -1)
        return QByteArrayLiteral("SETPLAYLISTTOE");
    const QByteArray command = step == -3 ? QByteArrayLiteral("E$") : QByteArrayLiteral("E.SL");
    QByteArray frame;
    frame.append(ControlByte::SOH)
        .append('Z')
        .append(address)
        .append(ControlByte::STX)
        .append(command)
        .append(ControlByte::EOT);
    return frame;
}

int SignLoadWaitMs(int step)
{
    return step == FirstSetupStep ? 10000 : 2000;
}

QString CallMessageText(SignType type, const QString &address, int number)
{
    return typePrefix(type) + address + QStringLiteral("<0x02>E.SL<0x0F>DT") + BytesToText(AdpFileLabel(number)) +
           QStringLiteral("<0x04>");
}

QString ClearListText(SignType type, const QString &address)
{
    return typePrefix(type) + address + QStringLiteral("<0x02>E.SL<0x04>");
}

namespace {
std::optional<QString> addressRefusal(const QString &address)
{
    if (address.size() > 2)
        return QStringLiteral("Invalid Sign Address.\r\nAddress must be 2 Hexadecimal characters.");
    return std::nullopt;
}
} // namespace

LoadedCommand CallMessageCommand(SignType type, const QString &address, const QString &numberText)
{
    const double n = LenientValue(numberText);
    if (!(n >= 0 && n <= HighestFileLabel))
        return {{}, QStringLiteral("Invalid Message Number!")};
    if (const auto refusal = addressRefusal(address))
        return {{}, *refusal};
    return {CallMessageText(type, address, int(*RoundToInt32(n))), {}};
}

LoadedCommand ClearListCommand(SignType type, const QString &address)
{
    if (const auto refusal = addressRefusal(address))
        return {{}, *refusal};
    return {ClearListText(type, address), {}};
}

} // namespace telvaro
