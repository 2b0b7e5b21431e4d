#pragma once
// The device's log, one line per happening, on stdout and, when asked, in a
// file. Each line is the seconds since the device started (monotonic clock,
// three decimals), a blank, the event, a blank and its details:
//   0.152 connected 127.0.0.1:53412
//   0.153 received <0x02>HELLO<0x03>
//   0.153 sent OK<0x0D>
//   0.153 understood +0.000 vyrena address 00, store message 000 (label !!): HELLO
//   2.161 disconnected 127.0.0.1:53412
// Events: "received" and "sent" with the bytes, "connected" and
// "disconnected" with the peer, "understood" with what the sign or
// controller role made of what it received. Bytes are in escape notation:
// 32 to 125 as they are, every other byte as <0xHH>, so a line holds no
// control byte.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

namespace telvaro::devsim {

class DeviceLog {
public:
    DeviceLog();
    // Also appends every line to the file. False with the reason in
    // errorString() when it cannot be opened.
    bool openFile(const QString &path);
    QString errorString() const { return m_file.errorString(); }

    void line(const QString &text);
    void bytes(const char *what, const QByteArray &bytes);

    // The line for a happening at the given time, without its newline.
    static QByteArray Format(qint64 elapsedMs, const QByteArray &text);

private:
    QElapsedTimer m_clock;
    QFile m_file;
};

} // namespace telvaro::devsim
