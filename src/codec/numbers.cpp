#include "codec/numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
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

// A value as the digits of its shortest text that reads back as the same
// double, and where the decimal point stands among them (0: before the first;
// no digits for zero).
// Displays round these digits, the decimal number the operator means, never
// the binary value beside it: 0.285 is shown as 28.5 percent and so rounds to
// 29, while its double lies just below.
struct ShortestDecimal {
    std::string digits;
    qint64 point = 0;
};

ShortestDecimal ShortestDecimalOf(double magnitude)
{
    // Zero has no significant digit; its "0" would count as one.
    if (magnitude == 0)
        return {};
    std::array<char, 32> text;
    const auto result = std::to_chars(text.data(), text.data() + text.size(), magnitude, std::chars_format::scientific);
    const std::string_view written(text.data(), result.ptr - text.data());
    const size_t e = written.find('e');
    ShortestDecimal d;
    for (const char c : written.substr(0, e))
        if (IsDigit(c))
            d.digits.push_back(c);
    int exponent = 0;
    const std::string_view exponentText = written.substr(e + 1);
    std::from_chars(exponentText.data() + (exponentText.front() == '+' ? 1 : 0),
                    exponentText.data() + exponentText.size(), exponent);
    d.point = exponent + 1;
    return d;
}

// Keeps the first `kept` digits, rounding the rest away: a half or more goes
// up, away from zero, as a display format does.
void RoundHalfAwayFromZero(ShortestDecimal &d, qint64 kept)
{
    if (kept >= qint64(d.digits.size()))
        return;
    if (kept < 0) {
        // Below a half of the last shown place: every shown digit is 0.
        d.digits.clear();
        return;
    }
    const bool up = d.digits[kept] >= '5';
    d.digits.resize(kept);
    if (!up)
        return;
    qint64 k = kept - 1;
    for (; k >= 0 && d.digits[k] == '9'; --k)
        d.digits[k] = '0';
    if (k >= 0) {
        ++d.digits[k];
    } else {
        d.digits.insert(d.digits.begin(), '1');
        ++d.point;
    }
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
    // A picture of another shape, or a value no picture can show, is written
    // plainly rather than lost.
    if (!p || !std::isfinite(value))
        return QString::number(value, 'g', 17);

    ShortestDecimal d = ShortestDecimalOf(std::fabs(value));
    if (p->percent)
        d.point += 2;
    RoundHalfAwayFromZero(d, d.point + p->fractionDigits);

    const auto digitAt = [&d](qint64 k) { return k >= 0 && k < qint64(d.digits.size()) ? d.digits[k] : '0'; };
    QString out;
    out.reserve(qMax<qint64>(d.point, 0) + p->integerDigits + p->fractionDigits + 3);
    // A value that rounds to zero is written without a sign.
    if (std::signbit(value) && d.digits.find_first_not_of('0') != std::string::npos)
        out += u'-';
    for (qint64 k = qMax<qint64>(d.point, 0); k < p->integerDigits; ++k)
        out += u'0';
    for (qint64 k = 0; k < d.point; ++k)
        out += QLatin1Char(digitAt(k));
    if (p->fractionDigits > 0) {
        out += u'.';
        for (qint64 k = d.point; k < d.point + p->fractionDigits; ++k)
            out += QLatin1Char(digitAt(k));
    }
    if (p->percent)
        out += u'%';
    return out;
}

QString SignedNumberText(qint64 value)
{
    return value < 0 ? QString::number(value) : u' ' + QString::number(value);
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
