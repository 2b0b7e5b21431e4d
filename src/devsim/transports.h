#pragma once
// How the simulated device is reached: a listening TCP port, a UDP port, or
// a pseudo-terminal that stands in for a serial device.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;
class QUdpSocket;

namespace telvaro::devsim {

class Transport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // False with a reason when the transport cannot be set up.
    virtual bool start(QString &error) = 0;
    // Where the device can be reached, printed once it is.
    virtual QString description() const = 0;
    // Sends bytes back to where the last chunk came from.
    void send(const QByteArray &bytes)
    {
        if (transmit(bytes))
            Q_EMIT sent(bytes);
    }

Q_SIGNALS:
    void received(const QByteArray &chunk);
    void sent(const QByteArray &bytes);
    // Connections coming and going, for the log.
    void event(const QString &what);

protected:
    // False when there was nobody to send to or the bytes did not go out.
    virtual bool transmit(const QByteArray &bytes) = 0;
};

class TcpTransport final : public Transport {
    Q_OBJECT
public:
    TcpTransport(const QHostAddress &host, quint16 port, QObject *parent = nullptr);
    bool start(QString &error) override;
    QString description() const override;

protected:
    bool transmit(const QByteArray &bytes) override;

private:
    void accept();

    QHostAddress m_host;
    quint16 m_port;
    QTcpServer *m_server;
    QPointer<QTcpSocket> m_last;
};

class UdpTransport final : public Transport {
    Q_OBJECT
public:
    UdpTransport(const QHostAddress &host, quint16 port, QObject *parent = nullptr);
    bool start(QString &error) override;
    QString description() const override;

protected:
    bool transmit(const QByteArray &bytes) override;

private:
    void takeDatagrams();

    QHostAddress m_host;
    quint16 m_port;
    QUdpSocket *m_socket;
    QHostAddress m_peer;
    quint16 m_peerPort = 0;
};

// A pseudo-terminal: the program opens its device path as a serial port.
class PtyTransport final : public Transport {
    Q_OBJECT
public:
    // linkPath: an optional symbolic link to the device, removed at the end.
    explicit PtyTransport(const QString &linkPath, QObject *parent = nullptr);
    ~PtyTransport() override;
    bool start(QString &error) override;
    QString description() const override;

protected:
    bool transmit(const QByteArray &bytes) override;

private:
    void readMaster();

    QString m_linkPath;
    QString m_devicePath;
    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace telvaro::devsim
