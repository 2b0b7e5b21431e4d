#pragma once
// The serial port as the link needs it, and its realisation on QSerialPort.

#include "link/linkrules.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace telvaro {

class SerialPortService : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void setPortNumber(qint16 portNumber) = 0;
    // "baud,parity,data bits,stop bits"; false when the port cannot apply it.
    virtual bool setSettings(const QString &settings) = 0;
    // False when the port cannot be opened; errorString() says why.
    virtual bool open() = 0;
    // Closing a port that is not open does nothing.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // One byte per character, nothing added. False when nothing was written.
    virtual bool write(const QByteArray &bytes) = 0;
    // Bytes written and not yet handed to the device (lost with it when it
    // went away).
    virtual qint64 pendingBytes() const { return 0; }
    // Drops what is still queued for the device, so that the rest of a frame
    // given up on never reaches it.
    virtual void discardOutput() {}
    virtual void setReceiveThreshold(int bytes) = 0;
    virtual qint64 bytesWaiting() = 0;
    virtual QByteArray takeInput() = 0;
    // The reply the protocol waits for next. A device answers on its own;
    // the port of a dry run gives it at once.
    virtual void expectReply(const QByteArray &reply) { Q_UNUSED(reply); }
    virtual QString errorString() const = 0;
    // The device the port number stands for now; empty where unknown.
    virtual QString deviceName() const { return {}; }
    // The last open failed because the device is not there.
    virtual bool deviceMissing() const { return false; }
    // The last open failed because another program holds the device.
    virtual bool deviceHeld() const { return false; }

Q_SIGNALS:
    // The device went away while open; the port reads as closed from now on.
    void failed(const QString &description);
    // Bytes handed to the device, and bytes that came from it, as they go
    // and come (not when they are taken).
    void written(const QByteArray &bytes);
    void arrived(const QByteArray &bytes);
    // Some of the bytes pending were handed to the device.
    void progress();
};

class QtSerialPortService final : public SerialPortService {
    Q_OBJECT
public:
    explicit QtSerialPortService(QObject *parent = nullptr);
    ~QtSerialPortService() override;

    // A device path that replaces the configured one for every port number.
    void setDeviceOverride(const QString &path) { m_override = path; }
    QString deviceName() const override;
    bool deviceMissing() const override { return m_missing; }
    bool deviceHeld() const override { return m_held; }
    LineSettings settings() const { return m_settings; }

    void setPortNumber(qint16 portNumber) override { m_portNumber = portNumber; }
    bool setSettings(const QString &settings) override;
    bool open() override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray &bytes) override;
    qint64 pendingBytes() const override { return m_lost ? m_unsent : m_port.bytesToWrite(); }
    void discardOutput() override;
    void setReceiveThreshold(int bytes) override { m_threshold = bytes; }
    qint64 bytesWaiting() override;
    QByteArray takeInput() override;
    QString errorString() const override { return m_error; }

private:
    void onError(QSerialPort::SerialPortError error);
    bool hungUp();
    void onReadyRead();

    // A child of the service, so that what the port tells can be told in tests.
    QSerialPort m_port;
    qint16 m_portNumber = 1;
    LineSettings m_settings;
    QString m_override;
    QString m_deviceName; // as opened last
    QString m_error;
    int m_threshold = 0;
    // Of the bytes waiting, how many have been announced.
    qint64 m_announced = 0;
    bool m_lost = false;
    qint64 m_unsent = 0;
    bool m_missing = false;
    bool m_held = false;
};

// The device configured for a port number in the settings group
// "SerialPorts", or empty.
QString ConfiguredSerialDevice(qint16 portNumber);

} // namespace telvaro
