#pragma once
// What the simulated device does with the bytes it receives. Every role
// sees each chunk as it arrives and may answer through the transport.

#include <QByteArray>
#include <QString>
#include <memory>

namespace telvaro::devsim {

class Transport;

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

// The role named on the command line, or null for an unknown name.
std::unique_ptr<DeviceRole> MakeRole(const QString &name, const QByteArray &reply);

} // namespace telvaro::devsim
