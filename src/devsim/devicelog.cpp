#include "devsim/devicelog.h"

#include "codec/escapes.h"

#include <cstdio>

namespace telvaro::devsim {

DeviceLog::DeviceLog()
{
    m_clock.start();
}

bool DeviceLog::openFile(const QString &path)
{
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

QByteArray DeviceLog::Format(qint64 elapsedMs, const QByteArray &text)
{
    return QByteArray::number(elapsedMs / 1000) + '.' + QByteArray::number(elapsedMs % 1000).rightJustified(3, '0') +
           ' ' + text;
}

void DeviceLog::line(const QString &text)
{
    const QByteArray out = Format(m_clock.elapsed(), text.toUtf8()) + '\n';
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    if (m_file.isOpen())
        m_file.write(out);
}

void DeviceLog::bytes(const char *what, const QByteArray &bytes)
{
    line(QString::fromLatin1(what) + u' ' + QString::fromLatin1(FormatReceived(bytes)));
}

} // namespace telvaro::devsim
