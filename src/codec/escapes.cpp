#include "codec/escapes.h"

#include "codec/codepage.h"
#include "codec/numbers.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTime>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace telvaro {

namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";

constexpr std::array<signed char, 256> MakeHexValues()
{
    std::array<signed char, 256> values{};
    for (int c = 0; c < 256; ++c)
        values[size_t(c)] = static_cast<signed char>(HexDigitValue(static_cast<char>(c)));
    return values;
}

constexpr std::array<signed char, 256> kHexValue = MakeHexValues();

// The code of a four-character escape body, or -1 when it lies outside a byte.
int EscapeCode(const char *body)
{
    const bool zeroX = body[0] == '0' && (body[1] == 'x' || body[1] == 'X');
    const bool ampH = body[0] == '&' && (body[1] == 'H' || body[1] == 'h');
    if (zeroX || ampH) {
        // Nearly every escape is two clean hex digits; skip the general reader.
        const int high = kHexValue[static_cast<unsigned char>(body[2])];
        const int low = kHexValue[static_cast<unsigned char>(body[3])];
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

// Received bytes shown as they are; the others are written "<0xHH>".
constexpr bool ShownAsIs(unsigned char c)
{
    return c >= 32 && c <= 125;
}

// Eight bytes read as one word, to pass over runs that need no work.
class Word {
public:
    static constexpr int size = 8;
    explicit Word(const char *p) { std::memcpy(&m_bits, p, size); }
    void store(char *o) const { std::memcpy(o, &m_bits, size); }
    // Where the first byte c stands, or size when none is there.
    int find(char c) const
    {
        const quint64 x = m_bits ^ (kOnes * static_cast<unsigned char>(c));
        const quint64 found = (x - kOnes) & ~x & kHigh;
        if (found == 0)
            return size;
        // Only bytes after the first match can be flagged falsely.
        if constexpr (std::endian::native == std::endian::little)
            return std::countr_zero(found) / 8;
        else
            return std::countl_zero(found) / 8;
    }
    // No byte below 32 or above 125.
    bool allShownAsIs() const
    {
        const quint64 below = (m_bits - kOnes * 32) & ~m_bits;
        const quint64 above = (m_bits + kOnes * (127 - 125)) | m_bits;
        return ((below | above) & kHigh) == 0;
    }

private:
    static constexpr quint64 kOnes = 0x0101010101010101ULL;
    static constexpr quint64 kHigh = 0x8080808080808080ULL;
    quint64 m_bits = 0;
};

// Copies the text from p up to the next "<" or its end and returns where it
// stopped; the output never runs ahead of the input.
const char *CopyToOpen(const char *p, const char *end, char *&o)
{
    while (end - p >= Word::size) {
        const Word word(p);
        // Bytes stored past the "<" are written over by what follows.
        word.store(o);
        const int open = word.find('<');
        p += open;
        o += open;
        if (open < Word::size)
            return p;
    }
    while (p < end && *p != '<')
        *o++ = *p++;
    return p;
}

// Counted in blocks that a byte-wide count cannot overflow, which the
// compiler turns into wide compares.
qsizetype CountEscaped(QByteArrayView bytes)
{
    constexpr qsizetype kBlock = 255;
    qsizetype total = 0;
    for (qsizetype from = 0; from < bytes.size(); from += kBlock) {
        const QByteArrayView block = bytes.sliced(from, qMin(kBlock, bytes.size() - from));
        unsigned char count = 0;
        for (const char b : block)
            count += !ShownAsIs(static_cast<unsigned char>(b));
        total += count;
    }
    return total;
}

// A received byte's notation padded to eight characters, and its length.
struct Notation {
    char text[8];
    int length;
};

constexpr std::array<Notation, 256> MakeNotations()
{
    std::array<Notation, 256> table{};
    for (int c = 0; c < 256; ++c) {
        Notation &n = table[size_t(c)];
        if (ShownAsIs(static_cast<unsigned char>(c))) {
            n = {{static_cast<char>(c)}, 1};
        } else {
            n = {{'<', '0', 'x', kUpperHex[c >> 4], kUpperHex[c & 0x0F], '>'}, 6};
        }
    }
    return table;
}

constexpr std::array<Notation, 256> kNotations = MakeNotations();

char *PutNotation(char *o, char b)
{
    const Notation &n = kNotations[static_cast<unsigned char>(b)];
    std::memcpy(o, n.text, sizeof n.text);
    return o + n.length;
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

// A text in the code page, one character per byte, as a pattern that
// matches it literally.
QString LiteralPattern(QStringView text)
{
    return QRegularExpression::escape(QString::fromLatin1(TextToBytes(text)));
}

// Any of the texts, each as the code page writes it.
QString OneOf(const QStringList &texts)
{
    QStringList patterns;
    for (const QString &t : texts)
        if (!t.isEmpty())
            patterns << LiteralPattern(t);
    // The longest first, so that a name that begins another does not cut it short.
    std::sort(patterns.begin(), patterns.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    patterns.removeDuplicates();
    return patterns.isEmpty() ? QString() : QStringLiteral("(?:%1)").arg(patterns.join(u'|'));
}

// What QLocale::toString writes for a date or time format, by the shape of
// each field: digits where a number goes, the locale's names where a name
// goes, and the rest as it stands.
QString FormatPattern(QStringView format, const QLocale &locale)
{
    QString digits;
    for (int d = 0; d <= 9; ++d)
        digits += QRegularExpression::escape(QString::fromLatin1(TextToBytes(locale.toString(d))));
    const QString digit = QStringLiteral("[%1]").arg(digits);
    const auto numbers = [&digit](int fewest, int most) {
        return fewest == most ? QStringLiteral("%1{%2}").arg(digit).arg(most)
                              : QStringLiteral("%1{%2,%3}").arg(digit).arg(fewest).arg(most);
    };
    const auto names = [&locale](bool months, QLocale::FormatType type) {
        QStringList all;
        for (int k = 1; k <= (months ? 12 : 7); ++k)
            all << (months ? QStringList{locale.monthName(k, type), locale.standaloneMonthName(k, type)}
                           : QStringList{locale.dayName(k, type), locale.standaloneDayName(k, type)});
        return OneOf(all);
    };
    QStringList dayHalves;
    for (const QString &half : {locale.amText(), locale.pmText()})
        dayHalves << half << half.toUpper() << half.toLower();
    QString out;
    const qsizetype size = format.size();
    for (qsizetype i = 0; i < size;) {
        const QChar c = format[i];
        if (c == u'\'') {
            // Quoted text; two quotes stand for one.
            if (i + 1 < size && format[i + 1] == u'\'') {
                out += LiteralPattern(u"'");
                i += 2;
                continue;
            }
            const qsizetype close = format.indexOf(u'\'', i + 1);
            const qsizetype end = close < 0 ? size : close;
            out += LiteralPattern(format.sliced(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < size && format[i + run] == c)
            ++run;
        qsizetype used = 1;
        switch (c.unicode()) {
        case 'd':
        case 'M':
            used = qMin<qsizetype>(run, 4);
            out +=
                used <= 2 ? numbers(used, 2) : names(c == u'M', used == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
            break;
        case 'y':
            used = run >= 4 ? 4 : run >= 2 ? 2 : 1;
            out += used == 1 ? LiteralPattern(u"y") : used == 2 ? numbers(2, 2) : QStringLiteral("-?") + numbers(4, 9);
            break;
        case 'h':
        case 'H':
        case 'm':
        case 's':
            used = qMin<qsizetype>(run, 2);
            out += numbers(used, 2);
            break;
        case 'z':
            used = run >= 3 ? 3 : 1;
            out += numbers(used, 3);
            break;
        case 'a':
        case 'A':
            used = i + 1 < size && format[i + 1].toLower() == u'p' ? 2 : 1;
            out += OneOf(dayHalves);
            break;
        case 't':
            used = run;
            out += QStringLiteral("\\S+");
            break;
        default: out += LiteralPattern(format.sliced(i, 1));
        }
        i += used;
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
        p = CopyToOpen(p, end, o);
        if (p == end)
            break;
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

QString TimeTokenPattern(const QLocale &locale)
{
    return QStringLiteral("(?:%1)(?: %2)?")
        .arg(FormatPattern(locale.dateFormat(QLocale::ShortFormat), locale),
             FormatPattern(TimeWithSecondsFormat(locale), locale));
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
    const qsizetype size = bytes.size() + 5 * CountEscaped(bytes);
    // Every byte's notation is written as eight characters and the end moved
    // on by its own length, so the buffer has room for one more.
    QByteArray out(size + qsizetype(sizeof(Notation::text)), Qt::Uninitialized);
    char *o = out.data();
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    for (; end - p >= Word::size; p += Word::size) {
        const Word word(p);
        if (word.allShownAsIs()) {
            word.store(o);
            o += Word::size;
            continue;
        }
        for (int k = 0; k < Word::size; ++k)
            o = PutNotation(o, p[k]);
    }
    for (; p < end; ++p)
        o = PutNotation(o, *p);
    out.truncate(size);
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
