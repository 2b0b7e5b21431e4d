#pragma once
// A simulated sign controller: answers the load handshake exactly, keeps
// the registers, messages and input configuration it was given, and serves
// them back on an upload request. It can be told to misbehave, for tests
// and demonstrations.

#include "table/registers.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <functional>
#include <optional>

namespace telvaro::devsim {

class ControllerDevice : public QObject {
    Q_OBJECT
public:
    enum class Fault {
        None,
        NoReply,         // never answers
        DoubleEnq,       // answers the register frame with ENQ twice
        SplitReply,      // every reply in two halves, a moment apart
        SlowUpload,      // the upload takes longer than the program waits
        GarbageUpload,   // the upload names register 99
        ChangedMessage,  // the upload's last message has one byte changed
        ChangedRegister, // the upload's first register has another width
    };
    static std::optional<Fault> FaultFromName(const QString &name);

    // send: how the device answers; note: what it understood, for the log.
    explicit ControllerDevice(std::function<void(const QByteArray &)> send,
                              std::function<void(const QString &)> note = {}, QObject *parent = nullptr);

    void setFault(Fault fault) { m_fault = fault; }
    // Delay of each piece of a slow upload and of a split reply's second
    // half, in milliseconds.
    void setPaceMs(int ms) { m_paceMs = ms; }

    void receive(const QByteArray &chunk);
    static constexpr qsizetype MaxPendingBytes = 1024 * 1024;

    const RegisterTable &registers() const { return m_registers; }
    const QList<QByteArray> &messages() const { return m_messages; }
    std::optional<bool> serialInput() const { return m_serialInput; }
    // What an upload sends, in order.
    QList<QByteArray> uploadFrames() const;

private:
    enum class State { Idle, Awake, Registers, Messages };
    void frame(const QByteArray &bytes);
    void reply(const QByteArray &bytes);
    void note(const QString &text);

    std::function<void(const QByteArray &)> m_send;
    std::function<void(const QString &)> m_note;
    Fault m_fault = Fault::None;
    int m_paceMs = 100;
    State m_state = State::Idle;
    QByteArray m_pending;
    RegisterTable m_registers{};
    QList<QByteArray> m_messages;
    std::optional<bool> m_serialInput;
};

} // namespace telvaro::devsim
