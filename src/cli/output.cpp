#include "cli/output.h"

#include "base/boundedwriter.h"
#include "codec/codepage.h"
#include "codec/escapes.h"

#include <QElapsedTimer>
#include <QStringList>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#else
#include <io.h>
#endif

namespace telvaro::cli {

namespace {

bool outputFailed = false;
bool outputClosed = false;
bool inputClosed = false;

// The writers behind LiveOutput, one for each of stdout and stderr, so that
// a reader that never reads one stream holds up neither the other nor the
// protocol. They live until the program ends, since a reader that never
// reads can hold a writer's thread for good.
BoundedWriter *writers[3] = {nullptr, nullptr, nullptr};
bool live = false;
bool stalled = false;

bool IsControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void ReportOutputFailure(const QString &why)
{
    outputFailed = true;
    PrintError(QStringLiteral("telvaro-cli: cannot write the output: ") + why);
}

void ReportOutputFailure(int error)
{
    ReportOutputFailure(QString::fromLocal8Bit(std::strerror(error)));
}

// Writes to fd, through its writer while an operation runs.
bool Emit(int fd, QByteArrayView bytes)
{
    if (stalled)
        return true;
    if (!live)
        return WriteAll(fd, bytes);
    writers[fd]->put(bytes);
    return true;
}

} // namespace

void HoldClosedStandardStreams()
{
#ifdef Q_OS_UNIX
    for (const int fd : {0, 1, 2}) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        outputClosed = outputClosed || fd == 1;
        inputClosed = inputClosed || fd == 0;
        // Opening takes the lowest free number: the one that was closed.
        [[maybe_unused]] const int held = ::open("/dev/null", O_RDWR);
    }
#endif
}

bool InputClosed()
{
    return inputClosed;
}

bool WriteOut(QByteArrayView bytes)
{
    if (outputFailed)
        return false;
    if (outputClosed) {
        ReportOutputFailure(QStringLiteral("standard output is closed"));
        return false;
    }
    if (live && writers[1]->failure() != 0) {
        ReportOutputFailure(writers[1]->failure());
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
    for (const int fd : {1, 2})
        if (!writers[fd])
            writers[fd] = new BoundedWriter(fd, QueueLimit);
    live = true;
}

LiveOutput::~LiveOutput()
{
    // Both streams share the one final wait.
    QElapsedTimer waited;
    waited.start();
    const bool outDrained = writers[1]->drain(FinalWaitMs);
    const bool drained = writers[2]->drain(int(qMax<qint64>(0, FinalWaitMs - waited.elapsed()))) && outDrained;
    live = false;
    const qint64 dropped = writers[1]->takeDropped() + writers[2]->takeDropped();
    const int error = writers[1]->failure();
    // A reader that took nothing for so long gets nothing more that could
    // hold up the end of the program.
    if (!drained) {
        stalled = true;
        return;
    }
    if (error != 0 && !outputFailed)
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

namespace {
void (*errorObserver)(const QString &) = nullptr;
}

void ObserveErrorLines(void (*observer)(const QString &line))
{
    errorObserver = observer;
}

void PrintError(const QString &line)
{
    if (errorObserver)
        errorObserver(line);
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
