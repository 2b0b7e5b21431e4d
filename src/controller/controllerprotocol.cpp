#include "controller/controllerprotocol.h"

#include "codec/controlbytes.h"
#include "codec/escapes.h"
#include "codec/numbers.h"

namespace telvaro {

namespace {
const QByteArray endMark = QByteArrayLiteral("<0x04>");
constexpr qsizetype entryLength = 4;
constexpr qsizetype entryStride = 5;
} // namespace

QByteArray RegisterFrame(const RegisterTable &registers)
{
    QByteArray frame(1, ControlByte::SOH);
    for (size_t k = 1; k < registers.size(); ++k) {
        const RegisterEntry &r = registers[k];
        if (r.Width <= 0)
            continue;
        if (frame.size() > 1)
            frame.append(';');
        frame.append(QByteArray::number(qulonglong(k)).rightJustified(2, '0'));
        frame.append(QByteArray::number(r.Width)).append(r.Fill);
    }
    return frame.append(ControlByte::EOT);
}

QByteArray ConfigurationFrame(bool serialInput)
{
    return QByteArray() + ControlByte::SOH + ControlByte::STX + (serialInput ? '1' : '0') + ControlByte::ETX +
           ControlByte::EOT;
}

QByteArray ControllerSetupFrame(int step, const RegisterTable &registers)
{
    if (step == -3)
        return QByteArray() + ControlByte::SOH + ControlByte::EOT;
    if (step == -2)
        return QByteArray() + ControlByte::SOH + '2' + ControlByte::EOT;
    return RegisterFrame(registers);
}

QByteArray ControllerReply(int step)
{
    if (step == -3)
        return QByteArray(1, ControlByte::SOH) + "Ready" + ControlByte::EOT;
    if (step == -2)
        return QByteArray(1, ControlByte::SOH) + "Clearing" + ControlByte::EOT + ControlByte::ENQ;
    return QByteArray(1, ControlByte::ENQ);
}

QByteArray WakeUpFrame()
{
    return QByteArray() + ControlByte::SOH + ControlByte::EOT;
}

QByteArray WakeUpReply()
{
    return ControllerReply(-3);
}

QByteArray UploadRequestFrame()
{
    return QByteArray() + ControlByte::SOH + '1' + ControlByte::EOT;
}

QByteArray ConfigurationText(bool serialInput)
{
    return QByteArrayLiteral("<0x01><0x02>") + (serialInput ? '1' : '0') + QByteArrayLiteral("<0x03><0x04>");
}

UploadContents ParseUpload(const QByteArray &buffer)
{
    UploadContents contents;
    qsizetype position = 0;
    bool first = true;
    while (position < buffer.size()) {
        const qsizetype end = buffer.indexOf(endMark, position);
        if (end < 0)
            break;
        const qsizetype next = end + endMark.size();
        const QByteArray piece = buffer.mid(position, next - position);
        position = next;
        if (first) {
            first = false;
            // The register frame is read as the bytes the controller sent,
            // so that a control byte is one character, not its escape.
            const std::optional<QByteArray> frame = ParseEscapes(piece);
            if (!frame) {
                contents.error = QStringLiteral("The upload's register frame cannot be read.");
                return contents;
            }
            // Entries of four bytes, five apart, between the leading SOH and
            // the closing EOT.
            for (qsizetype at = 1; at + entryLength <= frame->size() - 1; at += entryStride) {
                const QByteArray entry = frame->mid(at, entryLength);
                const auto number = RoundToInt32(LenientValue(entry.left(2)));
                if (!number || *number < 0 || *number > 31) {
                    contents.error = QStringLiteral("The upload names register \"%1\"; registers are 0 to 31.")
                                         .arg(QString::fromLatin1(FormatReceived(entry.left(2))));
                    return contents;
                }
                // Registers the register dialog could not have set refuse the
                // whole upload: nothing is taken from it.
                const char width = entry.at(2);
                const RegisterEntry value{qint16(width >= '0' && width <= '9' ? width - '0' : -1), entry.mid(3, 1)};
                const auto broken = value.Width < 0
                                        ? std::optional(QStringLiteral("the width \"%1\" is not a number")
                                                            .arg(QString::fromLatin1(FormatReceived(entry.mid(2, 1)))))
                                        : RegisterRuleBroken(value);
                if (broken) {
                    contents.error = QStringLiteral("The upload's register %1: %2; nothing was taken from the upload.")
                                         .arg(*number, 2, 10, QLatin1Char('0'))
                                         .arg(*broken);
                    return contents;
                }
                contents.registers.append({*number, value});
            }
            continue;
        }
        if (piece == ConfigurationText(true) || piece == ConfigurationText(false)) {
            contents.configurationSeen = true;
            contents.pieces.append(
                {piece == ConfigurationText(true) ? UploadPiece::Kind::SerialInput : UploadPiece::Kind::BinaryInput,
                 piece});
        } else {
            contents.pieces.append({UploadPiece::Kind::Message, piece});
        }
    }
    return contents;
}

} // namespace telvaro
