#pragma once
// The link services of a dry run: nothing is opened or sent. Every write is
// handed to the recorder as it would go out, a serial reply that the
// protocol waits for comes at once, and a TCP device takes the connection
// at once. With the planned clock the operation runs its own frames and
// waits unchanged.

#include "link/serialport.h"
#include "link/socket.h"

#include <QSignalBlocker>
#include <chrono>
#include <functional>
#include <utility>

namespace telvaro {

class Link;

using FrameRecorder = std::function<void(const QByteArray &frame)>;

class PlannedSerialPort final : public SerialPortService {
    Q_OBJECT
public:
    explicit PlannedSerialPort(FrameRecorder record, QObject *parent = nullptr);

    void setPortNumber(qint16) override {}
    bool setSettings(const QString &settings) override;
    bool open() override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray &bytes) override;
    void setReceiveThreshold(int) override {}
    qint64 bytesWaiting() override { return m_input.size(); }
    QByteArray takeInput() override { return std::exchange(m_input, {}); }
    void expectReply(const QByteArray &reply) override { m_input = reply; }
    QString errorString() const override { return {}; }

private:
    FrameRecorder m_record;
    QByteArray m_input;
    bool m_open = false;
};

class PlannedSocket final : public SocketService {
    Q_OBJECT
public:
    explicit PlannedSocket(FrameRecorder record, QObject *parent = nullptr);

    bool setProtocol(Protocol protocol) override;
    void setRemoteHost(const QString &) override {}
    void setRemotePort(quint16) override {}
    void connectToRemote() override;
    int state() const override;
    bool send(const QByteArray &bytes) override;
    qint64 pendingBytes() const override { return 0; }
    QByteArray takeReceived() override { return {}; }
    void close() override;
    QString errorString() const override { return {}; }

private:
    FrameRecorder m_record;
    Protocol m_protocol = Protocol::Tcp;
    int m_state;
    std::chrono::steady_clock::time_point m_connectStarted;
};

// Puts the planned services in place of the link's own for as long as it
// lives. Meanwhile the link tells its observers nothing: no byte goes
// anywhere, so a transcript has nothing to record.
class PlannedLink {
public:
    PlannedLink(Link &link, const FrameRecorder &record);
    ~PlannedLink();
    PlannedLink(const PlannedLink &) = delete;
    PlannedLink &operator=(const PlannedLink &) = delete;

private:
    Link &m_link;
    const QSignalBlocker m_quiet;
    PlannedSerialPort m_serial;
    PlannedSocket m_socket;
};

} // namespace telvaro
