#include "devsim/controllerdevice.h"

#include "codec/escapes.h"
#include "controller/controllerprotocol.h"

#include <QTimer>

namespace telvaro::devsim {

namespace {
constexpr char soh = 0x01;
constexpr char eot = 0x04;
} // namespace

std::optional<ControllerDevice::Fault> ControllerDevice::FaultFromName(const QString &name)
{
    const struct {
        const char *name;
        Fault fault;
    } faults[] = {{"none", Fault::None},
                  {"no-reply", Fault::NoReply},
                  {"double-enq", Fault::DoubleEnq},
                  {"split-reply", Fault::SplitReply},
                  {"slow-upload", Fault::SlowUpload},
                  {"garbage-upload", Fault::GarbageUpload},
                  {"changed-message", Fault::ChangedMessage},
                  {"changed-register", Fault::ChangedRegister}};
    for (const auto &f : faults)
        if (name == QLatin1String(f.name))
            return f.fault;
    return std::nullopt;
}

ControllerDevice::ControllerDevice(std::function<void(const QByteArray &)> send,
                                   std::function<void(const QString &)> note, QObject *parent)
    : QObject(parent), m_send(std::move(send)), m_note(std::move(note))
{
}

void ControllerDevice::note(const QString &text)
{
    if (m_note)
        m_note(text);
}

void ControllerDevice::receive(const QByteArray &chunk)
{
    // Frames end with EOT; a frame may come in pieces.
    m_pending += chunk;
    // Bytes that never reach an EOT are no frame; keep the memory bounded.
    if (m_pending.size() > MaxPendingBytes && m_pending.indexOf(eot) < 0) {
        note(QStringLiteral("dropped %1 bytes without an end byte").arg(m_pending.size()));
        m_pending.clear();
        return;
    }
    qsizetype end;
    while ((end = m_pending.indexOf(eot)) >= 0) {
        QByteArray bytes = m_pending.left(end + 1);
        m_pending.remove(0, end + 1);
        // What was held of a frame without its end byte is given up when a
        // wake-up follows: one bad load must not spoil the next.
        if (bytes.size() > WakeUpFrame().size() && bytes.endsWith(WakeUpFrame())) {
            note(QStringLiteral("dropped %1 bytes without an end byte").arg(bytes.size() - WakeUpFrame().size()));
            bytes = WakeUpFrame();
        }
        frame(bytes);
    }
}

void ControllerDevice::frame(const QByteArray &bytes)
{
    if (bytes == WakeUpFrame() && m_state != State::Registers) {
        m_state = State::Awake;
        note(QStringLiteral("wake-up"));
        reply(ControllerReply(-3));
    } else if (bytes == ControllerSetupFrame(-2, {}) && m_state == State::Awake) {
        m_state = State::Registers;
        m_messages.clear();
        note(QStringLiteral("clear"));
        reply(ControllerReply(-2));
    } else if (m_state == State::Registers) {
        m_registers = RegisterTable{};
        // SOH, then "kkWt" entries separated by ";", then EOT.
        const QByteArray body = bytes.mid(1, bytes.size() - 2);
        for (const QByteArray &entry : body.split(';')) {
            if (entry.size() < 4)
                continue;
            const int number = entry.left(2).toInt();
            if (number >= 1 && number <= 31)
                m_registers[size_t(number)] = {qint16(entry.mid(2, entry.size() - 3).toInt()), entry.right(1)};
        }
        m_state = State::Messages;
        note(QStringLiteral("registers ") + QString::fromLatin1(FormatReceived(bytes)));
        reply(m_fault == Fault::DoubleEnq ? ControllerReply(-1) + ControllerReply(-1) : ControllerReply(-1));
    } else if (m_state == State::Messages &&
               (bytes == ConfigurationFrame(true) || bytes == ConfigurationFrame(false))) {
        m_serialInput = bytes == ConfigurationFrame(true);
        m_state = State::Idle;
        note(*m_serialInput ? QStringLiteral("configured for serial input")
                            : QStringLiteral("configured for binary input"));
        reply(ControllerReply(0));
    } else if (m_state == State::Messages) {
        m_messages.append(bytes);
        note(
            QStringLiteral("message %1 %2").arg(m_messages.size() - 1).arg(QString::fromLatin1(FormatReceived(bytes))));
        reply(ControllerReply(0));
    } else if (bytes == UploadRequestFrame() && m_state == State::Awake) {
        m_state = State::Idle;
        note(QStringLiteral("upload request"));
        const QList<QByteArray> frames = uploadFrames();
        if (m_fault != Fault::SlowUpload) {
            for (const QByteArray &f : frames)
                m_send(f);
            return;
        }
        for (qsizetype i = 0; i < frames.size(); ++i)
            QTimer::singleShot(int(m_paceMs * (i + 1)), this, [this, f = frames[i]] { m_send(f); });
    } else {
        note(QStringLiteral("not understood ") + QString::fromLatin1(FormatReceived(bytes)));
    }
}

QList<QByteArray> ControllerDevice::uploadFrames() const
{
    QList<QByteArray> frames;
    RegisterTable registers = m_registers;
    const auto first = std::find_if(registers.begin() + 1, registers.end(), [](auto &r) { return r.Width > 0; });
    if (m_fault == Fault::ChangedRegister && first != registers.end())
        first->Width = first->Width < MaxRegisterWidth ? first->Width + 1 : first->Width - 1;
    frames << (m_fault == Fault::GarbageUpload ? QByteArray(1, soh) + "9930" + eot : RegisterFrame(registers));
    frames << m_messages;
    // The byte before the message's end byte.
    if (m_fault == Fault::ChangedMessage && !m_messages.isEmpty() && frames.last().size() > 1)
        ++frames.last()[frames.last().size() - 2];
    frames << ConfigurationFrame(m_serialInput.value_or(true));
    return frames;
}

void ControllerDevice::reply(const QByteArray &bytes)
{
    if (m_fault == Fault::NoReply)
        return;
    if (m_fault != Fault::SplitReply || bytes.size() < 2) {
        m_send(bytes);
        return;
    }
    const qsizetype half = bytes.size() / 2;
    m_send(bytes.left(half));
    QTimer::singleShot(m_paceMs, this, [this, rest = bytes.mid(half)] { m_send(rest); });
}

} // namespace telvaro::devsim
