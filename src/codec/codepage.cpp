#include "codec/codepage.h"

#include <algorithm>
#include <array>

namespace telvaro {

namespace {

// windows-1252 between 0x80 and 0x9F; the five unassigned bytes keep the C1
// control of their own number.
// clang-format off
constexpr std::array<char16_t, 32> kHighBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178}; // 0x98
// clang-format on

constexpr std::array<char16_t, 256> MakeByteToChar()
{
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[b] = (b >= 0x80 && b < 0xA0) ? kHighBlock[b - 0x80] : char16_t(b);
    return table;
}

constexpr std::array<char16_t, 256> kByteToChar = MakeByteToChar();

struct CharByte {
    char16_t ch;
    unsigned char byte;
};

constexpr std::array<CharByte, 32> MakeCharToHighByte()
{
    std::array<CharByte, 32> table{};
    for (int k = 0; k < 32; ++k)
        table[k] = {kHighBlock[k], static_cast<unsigned char>(0x80 + k)};
    std::sort(table.begin(), table.end(), [](const CharByte &a, const CharByte &b) { return a.ch < b.ch; });
    return table;
}

constexpr std::array<CharByte, 32> kCharToHighByte = MakeCharToHighByte();

// The byte of one UTF-16 code unit, or -1 when the code page lacks it.
int ByteOf(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    const auto it = std::lower_bound(kCharToHighByte.begin(), kCharToHighByte.end(), c,
                                     [](const CharByte &e, char16_t v) { return e.ch < v; });
    if (it != kCharToHighByte.end() && it->ch == c)
        return it->byte;
    return -1;
}

bool IsHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

QString BytesToText(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (const char b : bytes)
        *out++ = kByteToChar[static_cast<unsigned char>(b)];
    return text;
}

QByteArray TextToBytes(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        const int b = ByteOf(c);
        if (b >= 0) {
            *out++ = static_cast<char>(b);
            continue;
        }
        // A character outside the basic plane is one character on screen and
        // gets one substitute, not one per half.
        if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(text[i + 1].unicode()))
            ++i;
        *out++ = '?';
    }
    bytes.truncate(out - bytes.data());
    return bytes;
}

bool IsRepresentable(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return ByteOf(c.unicode()) >= 0; });
}

QString UnrepresentableCharacters(QStringView text)
{
    QString found;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (ByteOf(text[i].unicode()) >= 0)
            continue;
        // A character outside the basic plane is both its halves.
        const bool pair = IsHighSurrogate(text[i].unicode()) && i + 1 < n && IsLowSurrogate(text[i + 1].unicode());
        const QStringView character = text.sliced(i, pair ? 2 : 1);
        if (!found.contains(character))
            found += character;
        i += pair ? 1 : 0;
    }
    return found;
}

QString CodePageWarning(QStringView text)
{
    const QString found = UnrepresentableCharacters(text);
    if (found.isEmpty())
        return {};
    const bool one = found.size() == 1 || (found.size() == 2 && found.front().isHighSurrogate());
    return one ? QStringLiteral("The character \"%1\" has no byte in windows-1252; it becomes \"?\".").arg(found)
               : QStringLiteral("The characters \"%1\" have no byte in windows-1252; each becomes \"?\".").arg(found);
}

} // namespace telvaro
