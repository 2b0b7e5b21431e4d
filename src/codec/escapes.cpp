#include "codec/escapes.h"

#include "codec/codepage.h"
#include "codec/numbers.h"

#include <QString>
#include <QTime>

#include <cmath>
#include <cstring>

namespace telvaro {

namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";

// The code of a four-character escape body, or -1 when it lies outside a byte.
int EscapeCode(const char *body)
{
    const bool zeroX = body[0] == '0' && (body[1] == 'x' || body[1] == 'X');
    const bool ampH = body[0] == '&' && (body[1] == 'H' || body[1] == 'h');
    if (zeroX || ampH) {
        // Nearly every escape is two clean hex digits; skip the general reader.
        const int high = HexDigitValue(body[2]);
        const int low = HexDigitValue(body[3]);
        if (high >= 0 && low >= 0)
            return high * 16 + low;
    }
    char number[4] = {body[0], body[1], body[2], body[3]};
    if (zeroX) {
        number[0] = '&';
        number[1] = 'H';
    }
    const double rounded = std::nearbyint(LenientValue(QByteArrayView(number, 4)));
    if (!(rounded >= 0.0 && rounded <= 255.0))
        return -1;
    return static_cast<int>(rounded);
}

void ChopBlanks(QString &text)
{
    while (text.endsWith(u' '))
        text.chop(1);
}

// The locale's long time form without its time zone, since the sign shows
// wall-clock time. Seconds are kept even where the user's own regional
// setting leaves them out.
QString TimeWithSecondsFormat(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    const qsizetype size = format.size();
    QString out;
    out.reserve(size + 3);
    bool inQuote = false;
    bool dropBlanks = false;
    bool hasSeconds = false;
    qsizetype minutesEnd = -1;
    for (qsizetype i = 0; i < size;) {
        const QChar c = format[i];
        if (c == u'\'') {
            inQuote = !inQuote;
        } else if (!inQuote && c == u't') {
            while (i < size && format[i] == u't')
                ++i;
            ChopBlanks(out);
            // A zone in parentheses takes them along.
            qsizetype close = i;
            while (close < size && format[close] == u' ')
                ++close;
            if (out.endsWith(u'(') && close < size && format[close] == u')') {
                out.chop(1);
                ChopBlanks(out);
                i = close + 1;
            }
            dropBlanks = true;
            continue;
        }
        if (dropBlanks) {
            if (!inQuote && c == u' ') {
                ++i;
                continue;
            }
            // A zone removed between two parts leaves one blank between them.
            if (!out.isEmpty())
                out += u' ';
            dropBlanks = false;
        }
        out += c;
        if (!inQuote && c == u's')
            hasSeconds = true;
        if (!inQuote && c == u'm')
            minutesEnd = out.size();
        ++i;
    }
    if (!hasSeconds) {
        if (minutesEnd >= 0)
            out.insert(minutesEnd, QStringLiteral(":ss"));
        else
            out += QStringLiteral(":ss");
    }
    return out;
}

} // namespace

std::optional<QByteArray> ParseEscapes(QByteArrayView text)
{
    // The output never outgrows the input: an escape turns six characters into one.
    QByteArray out(text.size(), Qt::Uninitialized);
    char *o = out.data();
    const char *p = text.data();
    const char *const end = p + text.size();
    while (p < end) {
        const char *open = static_cast<const char *>(std::memchr(p, '<', size_t(end - p)));
        if (!open) {
            std::memcpy(o, p, size_t(end - p));
            o += end - p;
            break;
        }
        std::memcpy(o, p, size_t(open - p));
        o += open - p;
        p = open;
        if (end - p >= 6 && p[5] == '>') {
            const int code = EscapeCode(p + 1);
            if (code < 0)
                return std::nullopt;
            *o++ = static_cast<char>(code);
            p += 6;
        } else {
            *o++ = '<';
            ++p;
        }
    }
    out.truncate(o - out.data());
    return out;
}

QByteArray TimeTokenText(const QDateTime &now)
{
    return TimeTokenText(now, QLocale::system());
}

QByteArray TimeTokenText(const QDateTime &now, const QLocale &locale)
{
    QString text = locale.toString(now.date(), QLocale::ShortFormat);
    const QTime time = now.time();
    // Whole seconds decide midnight: the text shows no fractions.
    if (!(time.hour() == 0 && time.minute() == 0 && time.second() == 0)) {
        text += u' ';
        text += locale.toString(time, TimeWithSecondsFormat(locale));
    }
    return TextToBytes(text);
}

QByteArray ExpandTimeTokens(QByteArrayView text, const QDateTime &now)
{
    constexpr QByteArrayView kToken("<T>");
    qsizetype at = text.indexOf(kToken);
    if (at < 0)
        return text.toByteArray();

    const QByteArray stamp = TimeTokenText(now);
    QByteArray out;
    out.reserve(text.size() + stamp.size());
    qsizetype from = 0;
    while (at >= 0) {
        out.append(text.sliced(from, at - from));
        out.append(stamp);
        from = at + kToken.size();
        at = text.indexOf(kToken, from);
    }
    out.append(text.sliced(from));
    return out;
}

QByteArray FormatReceived(QByteArrayView bytes)
{
    auto shownAsIs = [](unsigned char c) { return c >= 32 && c <= 125; };
    qsizetype escaped = 0;
    for (const char b : bytes)
        escaped += !shownAsIs(static_cast<unsigned char>(b));

    QByteArray out(bytes.size() + 5 * escaped, Qt::Uninitialized);
    char *o = out.data();
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        if (shownAsIs(c)) {
            *o++ = b;
        } else {
            o[0] = '<';
            o[1] = '0';
            o[2] = 'x';
            o[3] = kUpperHex[c >> 4];
            o[4] = kUpperHex[c & 0x0F];
            o[5] = '>';
            o += 6;
        }
    }
    return out;
}

QByteArray HexEscape(unsigned code)
{
    return "<0x" + QByteArray::number(code, 16).toUpper().rightJustified(2, '0') + '>';
}

QByteArray DisplayFileLabel(qint16 number)
{
    const int n = number;
    const int high = static_cast<int>(std::nearbyint(n / 90.0));
    // Message numbers are never negative; should one be, the remainder is
    // taken as 0 to 89 so the second character stays in the printable range.
    int low = n % 90;
    if (low < 0)
        low += 90;
    // The label is for display only: numbers above 20,114 give a first code
    // beyond a byte and it is written with three digits; a negative code is
    // written as its 16-bit pattern.
    return HexEscape(quint16(high + 32)) + HexEscape(quint16(low + 32));
}

} // namespace telvaro
