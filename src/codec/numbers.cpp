#include "codec/numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace telvaro {

namespace {

// Characters beyond ASCII never belong to a number; folding them to a code
// that stops every reader lets both text kinds share one parser.
constexpr char kStop = '\x7f';

char AsciiAt(QByteArrayView text, qsizetype i)
{
    return text[i];
}

char AsciiAt(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    return c < 0x80 ? static_cast<char>(c) : kStop;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Where the leading significant digit stands, as a decimal exponent; tells
// which way a number that from_chars cannot hold left the range of a double.
struct Magnitude {
    bool anySignificant = false;
    qint64 integerDigits = 0; // significant digits before the point
    qint64 fractionZeros = 0; // zeros after the point before the first significant one
    bool exponentNegative = false;
    qint64 exponent = 0;

    void AddMantissaDigit(char d, bool fraction)
    {
        anySignificant = anySignificant || d != '0';
        if (!fraction && anySignificant)
            ++integerDigits;
        else if (fraction && !anySignificant)
            ++fractionZeros;
    }
    void AddExponentDigit(char d)
    {
        constexpr qint64 kCap = qint64(1) << 40;
        if (exponent < kCap)
            exponent = exponent * 10 + (d - '0');
    }
    bool Overflows() const
    {
        const qint64 lead = integerDigits > 0 ? integerDigits - 1 : -(fractionZeros + 1);
        return lead + (exponentNegative ? -exponent : exponent) >= 0;
    }
};

bool IsLenientBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

// A cursor over a text that the lenient reading sees without its blanks.
template <typename View> class Reader {
public:
    Reader(View text, qsizetype begin, qsizetype end, bool skipBlanks)
        : text_(text), pos_(begin), end_(end), skipBlanks_(skipBlanks)
    {
    }
    char Peek()
    {
        while (skipBlanks_ && pos_ < end_ && IsLenientBlank(AsciiAt(text_, pos_)))
            ++pos_;
        return pos_ < end_ ? AsciiAt(text_, pos_) : kStop;
    }
    void Next() { ++pos_; }
    bool AtEnd()
    {
        Peek();
        return pos_ >= end_;
    }
    qsizetype Pos() const { return pos_; }
    void Seek(qsizetype pos) { pos_ = pos; }

private:
    View text_;
    qsizetype pos_;
    qsizetype end_;
    bool skipBlanks_;
};

// Sign, digits, fraction and exponent; empty when no digit is found. An
// exponent letter without digits is left unread.
template <typename View> std::optional<double> ReadDecimal(Reader<View> &in)
{
    bool negative = false;
    if (const char c = in.Peek(); c == '+' || c == '-') {
        negative = c == '-';
        in.Next();
    }
    // The digits without blanks or '+', for std::from_chars (locale-independent
    // and correctly rounded). An escape's four characters fit the string's own
    // small buffer, so reading escapes does not allocate.
    std::string buffer;
    Magnitude magnitude;
    bool anyDigit = false;
    auto readDigits = [&](bool fraction) {
        for (char d = in.Peek(); IsDigit(d); in.Next(), d = in.Peek()) {
            buffer.push_back(d);
            magnitude.AddMantissaDigit(d, fraction);
            anyDigit = true;
        }
    };
    readDigits(false);
    if (in.Peek() == '.') {
        buffer.push_back('.');
        in.Next();
        readDigits(true);
    }
    if (!anyDigit)
        return std::nullopt;

    const qsizetype exponentStart = in.Pos();
    if (const char e = in.Peek(); e == 'E' || e == 'e' || e == 'D' || e == 'd') {
        in.Next();
        if (const char c = in.Peek(); c == '+' || c == '-') {
            magnitude.exponentNegative = c == '-';
            in.Next();
        }
        if (IsDigit(in.Peek())) {
            buffer.push_back('e');
            if (magnitude.exponentNegative)
                buffer.push_back('-');
            for (char d = in.Peek(); IsDigit(d); in.Next(), d = in.Peek()) {
                buffer.push_back(d);
                magnitude.AddExponentDigit(d);
            }
        } else {
            in.Seek(exponentStart);
            magnitude.exponentNegative = false;
        }
    }

    double value = 0.0;
    const auto result =
        std::from_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
        value = magnitude.Overflows() ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -value : value;
}

template <typename View> double LenientValueOf(View text)
{
    Reader<View> in(text, 0, text.size(), true);
    if (in.Peek() != '&')
        return ReadDecimal(in).value_or(0.0);

    in.Next();
    const char kind = in.Peek();
    const int base = (kind == 'H' || kind == 'h') ? 16 : (kind == 'O' || kind == 'o') ? 8 : 0;
    if (base == 0)
        return 0.0;
    in.Next();
    // Taken as an unsigned quantity: "&HFFFF" is 65535, never -1.
    double value = 0.0;
    for (int d = HexDigitValue(in.Peek()); d >= 0 && d < base; in.Next(), d = HexDigitValue(in.Peek()))
        value = value * base + d;
    return value;
}

bool IsStrictBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

template <typename View> std::optional<double> StrictValueOf(View text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsStrictBlank(AsciiAt(text, begin)))
        ++begin;
    while (end > begin && IsStrictBlank(AsciiAt(text, end - 1)))
        --end;
    Reader<View> in(text, begin, end, false);
    const std::optional<double> value = ReadDecimal(in);
    if (!value || !in.AtEnd())
        return std::nullopt;
    return value;
}

template <typename Int> std::optional<Int> RoundTo(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // nearbyint follows the default rounding mode: to nearest, ties to even.
    const double r = std::nearbyint(value);
    // Both bounds are powers of two, so exact as doubles.
    constexpr double kLow = double(std::numeric_limits<Int>::min());
    constexpr double kHighExclusive = -kLow;
    if (r < kLow || r >= kHighExclusive)
        return std::nullopt;
    return static_cast<Int>(r);
}

struct Picture {
    int integerDigits = 0;
    int fractionDigits = 0;
    bool percent = false;
};

// Pictures are zeros, optionally a point and more zeros, optionally '%'.
std::optional<Picture> ParsePicture(QStringView picture)
{
    Picture p;
    qsizetype i = 0;
    const qsizetype n = picture.size();
    while (i < n && picture[i] == u'0') {
        ++p.integerDigits;
        ++i;
    }
    if (i < n && picture[i] == u'.') {
        ++i;
        while (i < n && picture[i] == u'0') {
            ++p.fractionDigits;
            ++i;
        }
        if (p.fractionDigits == 0)
            return std::nullopt;
    }
    if (i < n && picture[i] == u'%') {
        p.percent = true;
        ++i;
    }
    if (i != n || p.integerDigits == 0)
        return std::nullopt;
    return p;
}

} // namespace

double LenientValue(QByteArrayView text)
{
    return LenientValueOf(text);
}
double LenientValue(QStringView text)
{
    return LenientValueOf(text);
}

std::optional<double> StrictValue(QByteArrayView text)
{
    return StrictValueOf(text);
}
std::optional<double> StrictValue(QStringView text)
{
    return StrictValueOf(text);
}

std::optional<qint16> RoundToInt16(double value)
{
    return RoundTo<qint16>(value);
}
std::optional<qint32> RoundToInt32(double value)
{
    return RoundTo<qint32>(value);
}
std::optional<qint64> RoundToInt64(double value)
{
    return RoundTo<qint64>(value);
}

QString FormatPicture(double value, QStringView picture)
{
    const std::optional<Picture> p = ParsePicture(picture);
    const double scaled = p && p->percent ? value * 100.0 : value;
    // A picture of another shape, or a value no picture can show, is written
    // plainly rather than lost.
    if (!p || !std::isfinite(scaled))
        return QString::number(value, 'g', 17);

    // to_chars rounds the exact binary value, ties to even, at the last shown
    // digit; rounding first and printing after would round twice.
    std::array<char, 400> digits;
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), std::fabs(scaled),
                                      std::chars_format::fixed, p->fractionDigits);
    if (result.ec != std::errc())
        return QString::number(value, 'g', 17);
    const QLatin1StringView body(digits.data(), result.ptr - digits.data());

    const qsizetype point = body.indexOf(u'.');
    const qsizetype shownIntegerDigits = point < 0 ? body.size() : point;
    // A value that rounds to zero is written without a sign.
    const bool allZero = body.count(u'0') + (point < 0 ? 0 : 1) == body.size();

    QString out;
    out.reserve(body.size() + p->integerDigits + 2);
    if (std::signbit(scaled) && !allZero)
        out += u'-';
    for (qsizetype k = shownIntegerDigits; k < p->integerDigits; ++k)
        out += u'0';
    out += body;
    if (p->percent)
        out += u'%';
    return out;
}

QString SignedNumberText(qint64 value)
{
    return value < 0 ? QString::number(value) : u' ' + QString::number(value);
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QString MessageNumberText(qint64 number)
{
    return FormatPicture(double(number), u"000");
}

qint64 LenientWhole(const QString &text)
{
    const double value = LenientValue(text);
    if (const auto whole = RoundToInt64(value))
        return *whole;
    if (std::isnan(value))
        return 0;
    return value < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
}

} // namespace telvaro
