#pragma once
// The device's log on stdout, one line per happening, each led by the
// seconds since the device started (monotonic clock, three decimals):
//   0.152 connected 127.0.0.1:53412
//   0.153 received <0x02>HELLO<0x03>
//   0.153 sent OK<0x0D>
// Bytes are written in the escape notation.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

namespace telvaro::devsim {

class DeviceLog {
public:
    DeviceLog();
    void line(const QString &text);
    void bytes(const char *what, const QByteArray &bytes);

    // The line for a happening at the given time, without its newline.
    static QByteArray Format(qint64 elapsedMs, const QByteArray &text);

private:
    QElapsedTimer m_clock;
};

} // namespace telvaro::devsim
