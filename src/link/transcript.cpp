#include "link/transcript.h"

#include "base/boundedwriter.h"
#include "codec/escapes.h"
#include "link/link.h"

#include <QFile>
#include <QStringList>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif
#include <thread>

#ifdef Q_OS_UNIX
#include <unistd.h>
#else
#include <io.h>
#endif

namespace telvaro {

namespace {

qint64 NowMicros()
{
    using namespace std::chrono;
    return time_point_cast<microseconds>(system_clock::now()).time_since_epoch().count();
}

QByteArray DroppedText(qint64 lines)
{
    return QByteArray::number(lines) + " lines";
}

// The start of a line: its time (the second's text given) and its kind.
QByteArray Stamp(const QByteArray &secondText, qint64 microsecond, const QByteArray &kind)
{
    return secondText + QByteArray::number(microsecond).rightJustified(6, '0') + "Z " + kind + '\t';
}

QByteArray SecondText(const QDateTime &utc)
{
    return utc.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.")).toLatin1();
}

// The size of the file behind fd, and cutting it back to a size; a
// descriptor that is no file (a pipe, /dev/full) has no size to go back to,
// and nothing of a line is on it but what went through.
qint64 FileEnd(int fd)
{
#ifdef Q_OS_UNIX
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) ? qint64(status.st_size) : -1;
#else
    struct _stat64 status {};
    return ::_fstat64(fd, &status) == 0 && (status.st_mode & _S_IFREG) ? qint64(status.st_size) : -1;
#endif
}

void CutBack(int fd, qint64 size)
{
#ifdef Q_OS_UNIX
    (void)::ftruncate(fd, off_t(size));
#else
    (void)::_chsize_s(fd, size);
#endif
}

} // namespace

struct Transcript::Writer {
    // What happened, as it came: formatted and written on the writer's thread.
    struct Entry {
        enum class Kind { Sent, Received, Event, Dropped };
        qint64 micros = 0;
        Kind kind = Kind::Event;
        QByteArray word;
        QByteArray details;
        qint64 dropped = 0;

        // Each entry counts a little beyond its bytes, so that a flood of
        // small chunks is bounded too.
        qsizetype cost() const { return details.size() + word.size() + 64; }
    };
    // Bytes formatted at a time, and written at a time: a long line goes
    // out in pieces, never held whole in its escaped form.
    static constexpr qsizetype Piece = 64 * 1024;
    static constexpr qsizetype Batch = 256 * 1024;

    explicit Writer(int fd) : fd(fd) {}

    const int fd;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable drained;
    std::deque<Entry> queue;
    qsizetype queued = 0;
    bool busy = false;
    bool ending = false;
    // Once over its bound the queue takes nothing until half of it went
    // out, so that one DROPPED line counts a whole run of dropped lines.
    bool dropping = false;
    qint64 droppedNow = 0;
    qint64 droppedAll = 0;
    qint64 lostAll = 0;
    int error = 0;
    bool timedOut = false;

    // The writer's thread alone.
    QByteArray out;
    QByteArray secondText;
    qint64 second = -1;
    bool atBoundary = true; // out starts a line
    qint64 boundary = -1;   // the file's size at the end of its last whole line
    qint64 unfinished = 0;  // lines begun since then
    qint64 told = 0;        // of them, lines lost before and told in a DROPPED line
    qint64 lost = 0;        // lines not written and not yet told in a DROPPED line
    qint64 lostNow = 0;     // lines not written in this batch
    int failure = 0;

    void accept(Entry entry) // the mutex held
    {
        if (dropping && queued > QueueLimit / 2) {
            ++droppedNow;
            ++droppedAll;
            return;
        }
        tellDropped();
        if (queued >= QueueLimit) {
            dropping = true;
            ++droppedNow;
            ++droppedAll;
            return;
        }
        queued += entry.cost();
        queue.push_back(std::move(entry));
        wake.notify_one();
    }

    void tellDropped() // the mutex held
    {
        dropping = false;
        if (droppedNow == 0)
            return;
        Entry marker{NowMicros(), Entry::Kind::Dropped, {}, {}, std::exchange(droppedNow, 0)};
        queued += marker.cost();
        queue.push_back(std::move(marker));
        wake.notify_one();
    }

    void serve()
    {
#ifdef Q_OS_LINUX
        // The protocol comes first: when the processors are busy the
        // transcript takes what time is left, and drops lines rather than
        // delay a frame.
        (void)::setpriority(PRIO_PROCESS, id_t(::gettid()), 19);
#endif
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return !queue.empty() || ending; });
            if (queue.empty())
                break;
            std::deque<Entry> batch;
            batch.swap(queue);
            busy = true;
            lock.unlock();
            qsizetype cost = 0;
            for (const Entry &entry : batch) {
                cost += entry.cost();
                format(entry);
            }
            writeOut(true);
            lock.lock();
            busy = false;
            queued -= cost;
            lostAll += std::exchange(lostNow, 0);
            if (error == 0)
                error = failure;
            if (queue.empty())
                drained.notify_all();
        }
#ifdef Q_OS_UNIX
        ::close(fd);
#else
        ::_close(fd);
#endif
    }

    QByteArray stamp(qint64 micros, const QByteArray &kind)
    {
        // The date and second are written once for all the lines of a second.
        if (micros / 1000000 != second) {
            second = micros / 1000000;
            secondText = SecondText(QDateTime::fromSecsSinceEpoch(second, Qt::UTC));
        }
        return Stamp(secondText, micros % 1000000, kind);
    }

    void format(const Entry &entry)
    {
        using Kind = Entry::Kind;
        switch (entry.kind) {
        case Kind::Dropped:
            // The line stands for the lines it counts.
            unfinished += entry.dropped;
            out += stamp(entry.micros, "DROPPED") + DroppedText(entry.dropped) + '\n';
            break;
        case Kind::Event:
            ++unfinished;
            out += stamp(entry.micros, entry.word) + FormatReceived(entry.details) + '\n';
            break;
        case Kind::Sent:
        case Kind::Received: {
            ++unfinished;
            out += stamp(entry.micros,
                         (entry.kind == Kind::Sent ? "TX " : "RX ") + QByteArray::number(entry.details.size()));
            const QByteArrayView bytes(entry.details);
            for (qsizetype at = 0; at < bytes.size(); at += Piece) {
                out += FormatReceived(bytes.sliced(at, qMin(Piece, bytes.size() - at)));
                if (out.size() >= Batch && at + Piece < bytes.size() && !writeOut(false))
                    return; // the rest of a line that cannot be whole
            }
            out += '\n';
            break;
        }
        }
        if (out.size() >= Batch)
            writeOut(true);
    }

    // Writes out; on a failure the file is cut back to its last whole line
    // and the lines begun since then are counted as lost.
    bool writeOut(bool lineEnds)
    {
        if (out.isEmpty())
            return true;
        if (atBoundary && lost > 0) {
            out.prepend(stamp(NowMicros(), "DROPPED") + DroppedText(lost) + '\n');
            told += lost;
            unfinished += std::exchange(lost, 0);
        }
        if (atBoundary)
            boundary = FileEnd(fd);
        const bool ok = WriteAll(fd, out);
        const int why = errno;
        out.resize(0);
        if (ok) {
            atBoundary = lineEnds;
            if (lineEnds)
                unfinished = told = 0;
            return true;
        }
        if (failure == 0)
            failure = why;
        if (boundary >= 0)
            CutBack(fd, boundary);
        lost += unfinished;
        lostNow += unfinished - told;
        unfinished = told = 0;
        atBoundary = true;
        return false;
    }
};

Transcript::Transcript(QObject *parent) : QObject(parent) {}

Transcript::~Transcript()
{
    if (!m_writer)
        return;
    flush(FinalWaitMs);
    const std::lock_guard lock(m_writer->mutex);
    m_writer->ending = true;
    m_writer->wake.notify_one();
}

bool Transcript::open(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
#ifdef Q_OS_UNIX
    // Not blocking at the open: a pipe that nothing reads would hold the
    // command before its first frame, for ever.
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0 && errno == ENXIO) {
        m_error = QStringLiteral("nothing reads the pipe");
        return false;
    }
    if (fd >= 0)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#else
    const int fd = ::_open(name.constData(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, 0666);
#endif
    if (fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_writer = std::make_shared<Writer>(fd);
    std::thread([writer = m_writer] { writer->serve(); }).detach();
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
    if (!m_writer)
        return;
    using Kind = Writer::Entry::Kind;
    const std::lock_guard lock(m_writer->mutex);
    m_writer->accept({NowMicros(), sent ? Kind::Sent : Kind::Received, {}, bytes});
}

void Transcript::event(const QByteArray &kind, const QString &text)
{
    if (!m_writer)
        return;
    // One line, whatever the text holds: it is escaped as it is written.
    const std::lock_guard lock(m_writer->mutex);
    m_writer->accept({NowMicros(), Writer::Entry::Kind::Event, kind, text.toUtf8()});
}

bool Transcript::flush(int ms)
{
    if (!m_writer)
        return true;
    std::unique_lock lock(m_writer->mutex);
    m_writer->tellDropped();
    // A file that took nothing for so long is waited for no more.
    const int wait = m_writer->timedOut ? 0 : qMax(0, ms);
    const bool drained = m_writer->drained.wait_for(lock, std::chrono::milliseconds(wait),
                                                    [this] { return m_writer->queue.empty() && !m_writer->busy; });
    m_writer->timedOut = !drained;
    return drained && m_writer->error == 0 && m_writer->droppedAll == 0;
}

QString Transcript::problem() const
{
    if (!m_writer)
        return {};
    const std::lock_guard lock(m_writer->mutex);
    QStringList problems;
    if (m_writer->error != 0)
        problems << QStringLiteral("%1 lines could not be written: %2.")
                        .arg(m_writer->lostAll)
                        .arg(QString::fromLocal8Bit(std::strerror(m_writer->error)));
    if (m_writer->droppedAll > 0)
        problems << QStringLiteral("%1 lines were dropped: the file took them too slowly.").arg(m_writer->droppedAll);
    if (m_writer->timedOut)
        problems << QStringLiteral("its last lines did not reach the file within %1 s.").arg(FinalWaitMs / 1000);
    return problems.join(u' ');
}

QByteArray Transcript::Line(const QDateTime &utc, qint64 microsecond, const QByteArray &kind, const QByteArray &details)
{
    return Stamp(SecondText(utc), microsecond, kind) + details + '\n';
}

} // namespace telvaro
