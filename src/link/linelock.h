#pragma once
// One operation per serial line: an exclusive lock, held for an
// operation's whole length (reconnection gaps included), against every
// other Telvaro process on the machine. The lock is a file in the shared
// lock folder named for the device's canonical path, so that two names of
// one device (a symlink and its target) meet on the same lock.

#include <QString>

namespace telvaro {

// The folder every user can write and every process sees: /run/lock, or
// /tmp where the system has none.
QString LineLockFolder();
// The lock file of the device at path.
QString LineLockPath(const QString &device);
// "The serial device DEVICE is in use by another program." with the other
// process ("(PID 1234, telvaro-cli)") when known.
QString LineBusyText(const QString &device, const QString &holder = {});
// "(PID 1234, NAME)" for a process, "(PID 1234)" when its name cannot be
// read, empty for pid 0.
QString ProcessText(qint64 pid);
// The process holding an flock on the file open as fd, from /proc/locks;
// 0 where the system does not tell.
qint64 FlockHolder(int fd);

class LineLock {
public:
    enum class Take { Taken, Busy, Failed };

    LineLock() = default;
    ~LineLock() { release(); }
    LineLock(const LineLock &) = delete;
    LineLock &operator=(const LineLock &) = delete;

    // One try, never blocking. Busy: holder() names the other process where
    // the system tells it; Failed: error() says why.
    Take tryTake(const QString &device);
    void release();
    bool held() const { return m_fd >= 0 && m_held; }
    QString holder() const { return m_holder; }
    QString error() const { return m_error; }

private:
    bool openFile(const QString &path);

    int m_fd = -1;
    bool m_held = false;
    QString m_device;
    QString m_holder;
    QString m_error;
};

} // namespace telvaro
