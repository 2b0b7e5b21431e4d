#pragma once
// Resident memory of this process, for the tests that check it stays
// bounded. AddressSanitizer keeps freed memory in quarantine, so those
// checks only mean something in the plain build.

#include <QFile>
#include <QList>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define TELVARO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TELVARO_ASAN 1
#endif
#endif

namespace telvaro::test {

#ifdef TELVARO_ASAN
constexpr bool MemoryIsMeasurable = false;
#else
constexpr bool MemoryIsMeasurable = true;
#endif

// Resident memory in KiB (0 when it cannot be read).
inline qint64 ResidentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

} // namespace telvaro::test
