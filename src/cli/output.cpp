#include "cli/output.h"

#include "codec/codepage.h"
#include "codec/escapes.h"

#include <QStringList>
#include <cerrno>
#include <cstring>

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

bool IsControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

} // namespace

bool WriteOut(QByteArrayView bytes)
{
    if (outputFailed)
        return false;
    if (WriteAll(1, bytes))
        return true;
    outputFailed = true;
    const int error = errno;
    PrintError(QStringLiteral("telvaro-cli: cannot write the output: ") + QString::fromLocal8Bit(std::strerror(error)));
    return false;
}

bool OutputFailed()
{
    return outputFailed;
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
    WriteAll(2, TerminalText(line) + '\n');
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
    WriteAll(2, bytes);
}

} // namespace telvaro::cli
