#include "link/transcript.h"

#include "codec/escapes.h"
#include "link/link.h"

#include <QFile>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>

#ifdef Q_OS_UNIX
#include <unistd.h>
#else
#include <io.h>
#endif

namespace telvaro {

Transcript::Transcript(QObject *parent) : QObject(parent) {}

Transcript::~Transcript()
{
    if (!m_writer)
        return;
    m_unreported += m_writer->takeDropped();
    if (m_unreported > 0)
        write("DROPPED", QByteArray::number(m_unreported) + " lines");
    m_writer->drain(FinalWaitMs);
}

bool Transcript::open(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
#ifdef Q_OS_UNIX
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
#else
    const int fd = ::_open(name.constData(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, 0666);
#endif
    if (fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_writer = std::make_unique<BoundedWriter>(fd, QueueLimit, true);
    return true;
}

void Transcript::observe(const Link &link)
{
    connect(&link, &Link::transmitted, this, [this](const QByteArray &bytes) { traffic(true, bytes); });
    connect(&link, &Link::arrived, this, [this](const QByteArray &bytes) { traffic(false, bytes); });
    connect(&link, &Link::linkEvent, this, [this](LinkEvent e, const QString &detail) {
        event("LINK", LinkEventText(e) + (detail.isEmpty() ? QString() : QStringLiteral(": ") + detail));
    });
}

void Transcript::traffic(bool sent, const QByteArray &bytes)
{
    write((sent ? "TX " : "RX ") + QByteArray::number(bytes.size()), FormatReceived(bytes));
}

void Transcript::event(const QByteArray &kind, const QString &text)
{
    // One line, whatever the text holds.
    write(kind, FormatReceived(text.toUtf8()));
}

QByteArray Transcript::Line(const QDateTime &utc, qint64 microsecond, const QByteArray &kind, const QByteArray &details)
{
    return utc.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.")).toLatin1() +
           QByteArray::number(microsecond).rightJustified(6, '0') + "Z " + kind + '\t' + details + '\n';
}

void Transcript::write(const QByteArray &kind, const QByteArray &details)
{
    if (!m_writer)
        return;
    const auto now = std::chrono::time_point_cast<std::chrono::microseconds>(std::chrono::system_clock::now());
    const qint64 micros = now.time_since_epoch().count();
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(micros / 1000, Qt::UTC);
    // The count of lines dropped goes in as soon as there is room again.
    m_unreported += m_writer->takeDropped();
    if (m_unreported > 0 &&
        m_writer->put(Line(utc, micros % 1000000, "DROPPED", QByteArray::number(m_unreported) + " lines"), false))
        m_unreported = 0;
    m_writer->put(Line(utc, micros % 1000000, kind, details));
}

} // namespace telvaro
