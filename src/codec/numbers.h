#pragma once
// Number rules shared by every command: how the operator's typed numbers are
// read, rounded and written back.

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace telvaro {

// Reads a number from the front of a text and never fails. Blanks, tabs and
// line feeds are skipped wherever they stand; "&H"/"&O" introduce hexadecimal
// and octal digits; otherwise sign, digits, fraction and an exponent (E or D).
// A text without a number in front reads as 0.
double LenientValue(QByteArrayView text);
double LenientValue(QStringView text);

// The strict reading: the whole text (blanks around it allowed) must be one
// decimal number, optionally signed, with optional fraction and exponent.
std::optional<double> StrictValue(QByteArrayView text);
std::optional<double> StrictValue(QStringView text);

// Round to the nearest whole number, halves to the even neighbour. Fails when
// the value is not finite or does not fit the target width.
std::optional<qint16> RoundToInt16(double value);
std::optional<qint32> RoundToInt32(double value);
std::optional<qint64> RoundToInt64(double value);

// Picture formats: "000" and "000000" (whole number, zero-padded to at least
// that many digits, sign in front), "00%" and "00.0%" (value times 100). As
// display formats do, they round the value's decimal digits half away from
// zero: 2.5 shows as "003" and 0.0625 as "06.3%".
QString FormatPicture(double value, QStringView picture);

// The value of a hexadecimal digit in either case, or -1.
constexpr int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The signed-number text form: a blank before a non-negative number.
QString SignedNumberText(qint64 value);

// "000"-style message number text.
QString MessageNumberText(qint64 number);
// A box's lenient value as a whole number, saturated to the 64-bit range.
qint64 LenientWhole(const QString &text);

} // namespace telvaro
