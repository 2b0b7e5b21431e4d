#include "cli/output.h"

#include "codec/codepage.h"
#include "codec/escapes.h"

#include <QStringList>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <unistd.h>
#else
#include <cstdio>
#include <io.h>
#endif

namespace telvaro::cli {

namespace {

bool outputFailed = false;

// False with errno set when the bytes did not all go out.
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

// The writer behind LiveOutput: one queue for each of stdout and stderr, and
// a thread that does the blocking writes. It lives until the program ends,
// since a reader that never reads can hold its thread in a write for good.
struct Pump {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable drained;
    std::deque<std::pair<int, QByteArray>> queue;
    qsizetype queued[3] = {0, 0, 0};
    qint64 droppedLines = 0;
    bool writing = false;
    std::atomic<bool> outFailed{false};
    int outErrno = 0;

    Pump()
    {
        std::thread([this] { serve(); }).detach();
    }

    void serve()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return !queue.empty(); });
            auto [fd, bytes] = std::move(queue.front());
            queue.pop_front();
            writing = true;
            lock.unlock();
            const bool ok = WriteAll(fd, bytes);
            const int error = errno;
            lock.lock();
            writing = false;
            queued[fd] -= bytes.size();
            if (!ok && fd == 1 && !outFailed) {
                outErrno = error;
                outFailed = true;
            }
            if (queue.empty())
                drained.notify_all();
        }
    }

    void put(int fd, QByteArrayView bytes)
    {
        std::lock_guard lock(mutex);
        if (queued[fd] + bytes.size() > LiveOutput::QueueLimit) {
            droppedLines += qMax<qsizetype>(1, bytes.count('\n'));
            return;
        }
        queued[fd] += bytes.size();
        queue.emplace_back(fd, bytes.toByteArray());
        wake.notify_one();
    }

    // True when everything went out in time.
    bool drain(int ms)
    {
        std::unique_lock lock(mutex);
        return drained.wait_for(lock, std::chrono::milliseconds(ms), [this] { return queue.empty() && !writing; });
    }
};

Pump *pump = nullptr;
bool live = false;
bool stalled = false;

bool IsControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void ReportOutputFailure(int error)
{
    outputFailed = true;
    PrintError(QStringLiteral("telvaro-cli: cannot write the output: ") + QString::fromLocal8Bit(std::strerror(error)));
}

// Writes to fd, through the pump while an operation runs.
bool Emit(int fd, QByteArrayView bytes)
{
    if (stalled)
        return true;
    if (!live)
        return WriteAll(fd, bytes);
    pump->put(fd, bytes);
    return true;
}

} // namespace

bool WriteOut(QByteArrayView bytes)
{
    if (outputFailed)
        return false;
    if (live && pump->outFailed) {
        ReportOutputFailure(pump->outErrno);
        return false;
    }
    if (Emit(1, bytes))
        return true;
    ReportOutputFailure(errno);
    return false;
}

bool OutputFailed()
{
    return outputFailed;
}

LiveOutput::LiveOutput()
{
    if (!pump)
        pump = new Pump;
    live = true;
}

LiveOutput::~LiveOutput()
{
    const bool drained = pump->drain(FinalWaitMs);
    live = false;
    qint64 dropped = 0;
    bool failed = false;
    int error = 0;
    {
        std::lock_guard lock(pump->mutex);
        dropped = std::exchange(pump->droppedLines, 0);
        failed = pump->outFailed;
        error = pump->outErrno;
    }
    // A reader that took nothing for so long gets nothing more that could
    // hold up the end of the program.
    if (!drained) {
        stalled = true;
        return;
    }
    if (failed && !outputFailed)
        ReportOutputFailure(error);
    if (dropped > 0)
        PrintError(
            QStringLiteral("telvaro-cli: %1 lines of output were dropped: nothing read them in time.").arg(dropped));
}

QByteArray TerminalText(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (IsControl(c.unicode()))
            out += QString::fromLatin1(HexEscape(c.unicode()));
        else
            out += c;
    }
    return out.toUtf8();
}

QByteArray TerminalBytes(QByteArrayView bytes)
{
    return TerminalText(BytesToText(bytes));
}

void PrintError(const QString &line)
{
    Emit(2, TerminalText(line) + '\n');
}

void PrintMessage(const QString &text)
{
    // Message texts break lines with CR LF; each becomes a line of its own.
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    for (const QString &line : lines)
        PrintError(line);
}

bool ErrorIsTerminal()
{
#ifdef Q_OS_UNIX
    return ::isatty(2) == 1;
#else
    return ::_isatty(2) != 0;
#endif
}

void WriteError(QByteArrayView bytes)
{
    Emit(2, bytes);
}

} // namespace telvaro::cli
