#pragma once
// What the simulated device does with the bytes it receives. Every role
// sees each chunk as it arrives, may answer through the transport, and
// notes what it understood for the log.

#include "devsim/controllerdevice.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace telvaro::devsim {

class Transport;

using Note = std::function<void(const QString &)>;

class DeviceRole {
public:
    virtual ~DeviceRole() = default;
    virtual void onReceived(const QByteArray &chunk, Transport &transport) = 0;
};

// Records only; answers every chunk with a fixed reply when one is given.
class RecorderRole final : public DeviceRole {
public:
    explicit RecorderRole(QByteArray reply) : m_reply(std::move(reply)) {}
    void onReceived(const QByteArray &chunk, Transport &transport) override;

private:
    QByteArray m_reply;
};

// An ADP sign: takes the frames of a sign load and the loaded-message
// commands, and notes what a sign makes of each. Frames start with SOH
// (a message frame has no end byte), so each chunk is split before every
// SOH; the set-up text "SETPLAYLISTTOE" comes on its own.
class SignRole final : public DeviceRole {
public:
    explicit SignRole(Note note);
    void onReceived(const QByteArray &chunk, Transport &transport) override;

    // What a sign understands of one frame.
    static QString Understood(const QByteArray &frame);

private:
    Note m_note;
    QElapsedTimer m_sincePrevious;
};

// A sign controller (ControllerDevice) answering through the transport.
class ControllerRole final : public DeviceRole {
public:
    ControllerRole(Transport &transport, ControllerDevice::Fault fault, int paceMs, Note note);
    void onReceived(const QByteArray &chunk, Transport &transport) override;

private:
    ControllerDevice m_device;
};

struct RoleOptions {
    QByteArray reply;
    ControllerDevice::Fault fault = ControllerDevice::Fault::None;
    // Delay of a slow upload's pieces and of a split reply's second half.
    std::optional<int> paceMs;
};

// The role named on the command line, or null for an unknown name.
std::unique_ptr<DeviceRole> MakeRole(const QString &name, const RoleOptions &options, Transport &transport, Note note);
// The names MakeRole knows.
QStringList RoleNames();

} // namespace telvaro::devsim
