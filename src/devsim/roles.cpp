#include "devsim/roles.h"

#include "codec/escapes.h"
#include "devsim/transports.h"
#include "signload/adp.h"

#include <QStringList>

namespace telvaro::devsim {

namespace {

constexpr char soh = 0x01;
constexpr char stx = 0x02;
constexpr char eot = 0x04;

QString Escaped(QByteArrayView bytes)
{
    return QString::fromLatin1(FormatReceived(bytes));
}

QString SignTypeName(char code)
{
    switch (code) {
    case '4': return QStringLiteral("vyrena");
    case 'Z': return QStringLiteral("orbilux");
    default: return QStringLiteral("type ") + Escaped(QByteArray(1, code));
    }
}

// "message 005 (label !&)", or why the label names no message.
QString Labelled(const QString &what, QByteArrayView label)
{
    const auto number = FileLabelNumber(label);
    if (!number)
        return what + QStringLiteral(" with a label that names no message: ") + Escaped(label);
    return QStringLiteral("%1 %2 (label %3)").arg(what).arg(*number, 3, 10, QLatin1Char('0')).arg(Escaped(label));
}

// The command after STX: the set-up commands, a call, or a message to store.
QString Command(QByteArrayView body)
{
    const QByteArrayView callPrefix = "E.SL\x0f"
                                      "DT";
    const QByteArrayView messagePrefix = "A\x0f"
                                         "DT";
    if (body == QByteArrayView("E$\x04"))
        return QStringLiteral("E$: erase the memory");
    if (body == QByteArrayView("E.SL\x04"))
        return QStringLiteral("E.SL: clear the play list");
    if (body.startsWith(callPrefix) && body.size() == callPrefix.size() + 3 && body.back() == eot)
        return Labelled(QStringLiteral("E.SL: call message"), body.sliced(callPrefix.size(), 2));
    if (body.startsWith(messagePrefix) && body.size() >= messagePrefix.size() + 2)
        return Labelled(QStringLiteral("store message"), body.sliced(messagePrefix.size(), 2)) + QStringLiteral(": ") +
               Escaped(body.sliced(messagePrefix.size() + 2));
    return QStringLiteral("not understood: ") + Escaped(body);
}

} // namespace

void RecorderRole::onReceived(const QByteArray &, Transport &transport)
{
    if (!m_reply.isEmpty())
        transport.reply(m_reply);
}

SignRole::SignRole(Note note) : m_note(std::move(note)) {}

QString SignRole::Understood(const QByteArray &frame)
{
    if (frame == QByteArrayView("SETPLAYLISTTOE"))
        return QStringLiteral("SETPLAYLISTTOE: set the play list to E");
    const qsizetype start = frame.indexOf(stx);
    if (!frame.startsWith(soh) || start < 2)
        return QStringLiteral("not understood: ") + Escaped(frame);
    const QString address = Escaped(QByteArrayView(frame).sliced(2, start - 2));
    return QStringLiteral("%1 address %2, %3")
        .arg(SignTypeName(frame[1]), address.isEmpty() ? QStringLiteral("(none)") : address,
             Command(QByteArrayView(frame).sliced(start + 1)));
}

void SignRole::onReceived(const QByteArray &chunk, Transport &)
{
    qsizetype from = 0;
    while (from < chunk.size()) {
        qsizetype next = chunk.indexOf(soh, from + 1);
        if (next < 0)
            next = chunk.size();
        const double since = m_sincePrevious.isValid() ? double(m_sincePrevious.restart()) / 1000 : 0;
        if (!m_sincePrevious.isValid())
            m_sincePrevious.start();
        m_note(QStringLiteral("+%1 %2").arg(since, 0, 'f', 3).arg(Understood(chunk.mid(from, next - from))));
        from = next;
    }
}

ControllerRole::ControllerRole(Transport &transport, ControllerDevice::Fault fault, int paceMs, Note note)
    : m_device([&transport](const QByteArray &bytes) { transport.reply(bytes); }, std::move(note))
{
    m_device.setFault(fault);
    m_device.setPaceMs(paceMs);
}

void ControllerRole::onReceived(const QByteArray &chunk, Transport &)
{
    m_device.receive(chunk);
}

std::unique_ptr<DeviceRole> MakeRole(const QString &name, const RoleOptions &options, Transport &transport, Note note)
{
    if (name == QLatin1String("recorder"))
        return std::make_unique<RecorderRole>(options.reply);
    if (name == QLatin1String("sign"))
        return std::make_unique<SignRole>(std::move(note));
    if (name == QLatin1String("controller")) {
        // A slow upload is slower than the program's 60-second wait.
        const int pace = options.paceMs.value_or(options.fault == ControllerDevice::Fault::SlowUpload ? 61000 : 100);
        return std::make_unique<ControllerRole>(transport, options.fault, pace, std::move(note));
    }
    return nullptr;
}

QStringList RoleNames()
{
    return {QStringLiteral("recorder"), QStringLiteral("sign"), QStringLiteral("controller")};
}

} // namespace telvaro::devsim
