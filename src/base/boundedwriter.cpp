#include "base/boundedwriter.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <unistd.h>
#else
#include <io.h>
#endif

namespace telvaro {

bool WriteAll(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
#ifdef Q_OS_UNIX
        const auto n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
#else
        const auto n = ::_write(fd, bytes.data() + done, unsigned(bytes.size() - done));
#endif
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

struct BoundedWriter::State {
    State(int fd, qsizetype limit, bool closeAtEnd) : fd(fd), limit(limit), closeAtEnd(closeAtEnd) {}

    const int fd;
    const qsizetype limit;
    const bool closeAtEnd;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable drained;
    std::deque<QByteArray> queue;
    qsizetype queued = 0;
    qint64 dropped = 0;
    bool writing = false;
    bool ending = false;
    int error = 0;

    void serve()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return !queue.empty() || ending; });
            if (queue.empty())
                break;
            const QByteArray bytes = std::move(queue.front());
            queue.pop_front();
            writing = true;
            lock.unlock();
            const bool ok = WriteAll(fd, bytes);
            const int failure = errno;
            lock.lock();
            writing = false;
            queued -= bytes.size();
            if (!ok && error == 0)
                error = failure;
            if (queue.empty())
                drained.notify_all();
        }
        if (closeAtEnd)
#ifdef Q_OS_UNIX
            ::close(fd);
#else
            ::_close(fd);
#endif
    }
};

BoundedWriter::BoundedWriter(int fd, qsizetype limit, bool closeAtEnd)
    : m_state(std::make_shared<State>(fd, limit, closeAtEnd))
{
    std::thread([state = m_state] { state->serve(); }).detach();
}

BoundedWriter::~BoundedWriter()
{
    const std::lock_guard lock(m_state->mutex);
    m_state->ending = true;
    m_state->wake.notify_one();
}

bool BoundedWriter::put(QByteArrayView bytes, bool countDropped)
{
    const std::lock_guard lock(m_state->mutex);
    if (m_state->queued + bytes.size() > m_state->limit) {
        if (countDropped)
            m_state->dropped += qMax<qsizetype>(1, bytes.count('\n'));
        return false;
    }
    m_state->queued += bytes.size();
    m_state->queue.emplace_back(bytes.toByteArray());
    m_state->wake.notify_one();
    return true;
}

bool BoundedWriter::drain(int ms)
{
    std::unique_lock lock(m_state->mutex);
    return m_state->drained.wait_for(lock, std::chrono::milliseconds(ms),
                                     [this] { return m_state->queue.empty() && !m_state->writing; });
}

qint64 BoundedWriter::takeDropped()
{
    const std::lock_guard lock(m_state->mutex);
    return std::exchange(m_state->dropped, 0);
}

int BoundedWriter::failure() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->error;
}

} // namespace telvaro
