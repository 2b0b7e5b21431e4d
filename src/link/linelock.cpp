#include "link/linelock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace telvaro {

QString LineLockFolder()
{
    const QString shared = QStringLiteral("/run/lock");
    return QFileInfo(shared).isDir() ? shared : QStringLiteral("/tmp");
}

QString LineLockPath(const QString &device)
{
    const QFileInfo info(device);
    QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty())
        canonical = QDir::cleanPath(info.absoluteFilePath());
    const QString devices = QStringLiteral("/dev/");
    if (canonical.startsWith(devices))
        canonical = canonical.mid(devices.size());
    canonical.replace(QLatin1Char('/'), QLatin1Char('!'));
    return LineLockFolder() + QStringLiteral("/telvaro-line-") + canonical + QStringLiteral(".lock");
}

QString LineBusyText(const QString &device, const QString &holder)
{
    const QString text = QStringLiteral("The serial device %1 is in use by another program.").arg(device);
    return holder.isEmpty() ? text : text + QLatin1Char(' ') + holder;
}

QString ProcessText(qint64 pid)
{
    if (pid <= 0)
        return {};
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QString name = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
    return name.isEmpty() ? QStringLiteral("(PID %1)").arg(pid) : QStringLiteral("(PID %1, %2)").arg(pid).arg(name);
}

qint64 FlockHolder(int fd)
{
    struct stat file = {};
    if (::fstat(fd, &file) != 0)
        return 0;
    // The kernel names a locked file by its device, in hexadecimal, and inode.
    const QString key = QStringLiteral("%1:%2:%3")
                            .arg(major(file.st_dev), 2, 16, QLatin1Char('0'))
                            .arg(minor(file.st_dev), 2, 16, QLatin1Char('0'))
                            .arg(quint64(file.st_ino));
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // "1: FLOCK ADVISORY WRITE PID MAJ:MIN:INODE 0 EOF"; waiters carry "->".
        if (fields.size() >= 6 && fields.at(1) == "FLOCK" && QString::fromLatin1(fields.at(5)) == key)
            return fields.at(4).toLongLong();
    }
    return 0;
}

bool LineLock::openFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    // Others must be able to open a lock file that this user created, and a
    // sticky shared folder refuses O_CREAT on another user's file.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (m_fd >= 0 || errno != ENOENT)
            break;
        m_fd = ::open(name.constData(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (m_fd >= 0) {
            ::fchmod(m_fd, 0644);
            break;
        }
        if (errno != EEXIST)
            break;
    }
    if (m_fd < 0)
        m_error = QStringLiteral("The serial device %1 cannot be reserved: %2: %3")
                      .arg(m_device, path, QString::fromLocal8Bit(::strerror(errno)));
    return m_fd >= 0;
}

LineLock::Take LineLock::tryTake(const QString &device)
{
    if (held() && device == m_device)
        return Take::Taken;
    if (device != m_device)
        release();
    m_device = device;
    m_holder.clear();
    m_error.clear();
    if (m_fd < 0 && !openFile(LineLockPath(device)))
        return Take::Failed;
    int result = 0;
    do
        result = ::flock(m_fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0) {
        m_held = true;
        return Take::Taken;
    }
    if (errno != EWOULDBLOCK) {
        m_error = QStringLiteral("The serial device %1 cannot be reserved: %2")
                      .arg(device, QString::fromLocal8Bit(::strerror(errno)));
        return Take::Failed;
    }
    m_holder = ProcessText(FlockHolder(m_fd));
    return Take::Busy;
}

void LineLock::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_held = false;
}

} // namespace telvaro
