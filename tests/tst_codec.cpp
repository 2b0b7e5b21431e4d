// The escape notation, the code page, the time token and the number rules.
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "codec/numbers.h"

#include <QRegularExpression>
#include <QTest>

#include <limits>
#include <string_view>

using namespace telvaro;
using namespace std::literals;

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const QDateTime kAfternoon(QDate(2024, 3, 9), QTime(13, 45, 7));

QByteArray B(std::string_view s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

// Each table's rows as one column; a refused text has no value.
using Escape = std::tuple<std::string_view, bool, std::string_view>; // text, accepted, bytes
using Token = std::tuple<const char *, QTime, const char *>;         // locale, time, text
using Reading = std::tuple<QString, double, std::optional<double>>;  // text, lenient, strict
using Rounding = std::tuple<double, int, bool, qint64>;              // value, bits, fits, whole
using Picture = std::tuple<double, const char *, const char *>;
using CodePoint = std::tuple<QString, QByteArray, bool>; // text, bytes, all in the code page

} // namespace

class TestCodec : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parseEscapes_data()
    {
        QTest::addColumn<Escape>("row");
        // clang-format off
        const Escape rows[] = {
            {"Hello<0x0D>", true, "Hello\r"}, {"<&H1B>A", true, "\x1B" "A"}, {"<0X41><0x42>", true, "AB"},
            {"<&h4a>", true, "J"}, {"<0065>", true, "A"}, {"<ABCD>", true, "\0"sv}, {"<0x1G>", true, "\x01"},
            {"<0x 1>", true, "\x01"}, {"<&O17>", true, "\x0F"}, {"<2.5 >", true, "\x02"}, {"<3.5 >", true, "\x04"},
            {"<-0.5>", true, "\0"sv}, {"<1E2 >", true, "d"}, {"<0255>", true, "\xFF"}, {"a<b", true, "a<b"},
            {"<", true, "<"}, {"<>", true, "<>"}, {"<0x4>", true, "<0x4>"}, {"<0x41", true, "<0x41"},
            {"<<0x41>", true, "<A"}, {"<0x41>>", true, "A>"}, {"<T>", true, "<T>"}, {"<T>AB>", true, "\0"sv},
            {"\xE9<0x41>\xFF", true, "\xE9" "A\xFF"}, {"a\0<0x41>"sv, true, "a\0A"sv}, {"", true, ""},
            {"<1234>", false, ""}, {"<-001>", false, ""}, {"<0256>", false, ""}, {"<-0.6>", false, ""},
            {"<9e99>", false, ""}, {"ok<0x41>then<9999>", false, ""},
            {"0123456789<0x41>01234567<<0x42>x<", true, "0123456789A01234567<Bx<"}};
        // clang-format on
        for (const Escape &row : rows)
            QTest::newRow(B(std::get<0>(row)).toPercentEncoding().constData()) << row;
    }
    void parseEscapes()
    {
        QFETCH(Escape, row);
        const auto &[text, ok, bytes] = row;
        const std::optional<QByteArray> parsed = ParseEscapes(B(text));
        QCOMPARE(parsed.has_value(), ok);
        QCOMPARE(parsed.value_or(QByteArray()), B(bytes));
    }

    // Received bytes in notation, 32 to 125 as they are: words of eight bytes with one byte below, one
    // above, several outside, none outside, then a shorter end.
    void formatReceived()
    {
        QCOMPARE(FormatReceived(B(" !}ab\037cd }0123}~\177\200\377\000456701234567<0x41>\000"sv)),
                 B(" !}ab<0x1F>cd }0123}<0x7E><0x7F><0x80><0xFF><0x00>456701234567<0x41><0x00>"));
    }

    // The date and time as the locale writes them short, in the code page;
    // at midnight the date alone. The shape of each, and only it, is what a
    // read-back takes for a time token.
    void timeTokenText_data()
    {
        QTest::addColumn<Token>("row");
        const QTime t = kAfternoon.time();
        QTest::newRow("en_US") << Token{"en_US", t, "3/9/24 1:45:07 PM"};
        QTest::newRow("de_DE") << Token{"de_DE", t, "09.03.24 13:45:07"};
        QTest::newRow("zone first") << Token{"zh_CN", t, "2024/3/9 13:45:07"};
        QTest::newRow("quoted t kept") << Token{"fr_CA", t, "2024-03-09 13 h 45 min 07 s"};
        QTest::newRow("zone in parentheses") << Token{"nds_DE", t, "9.03.24 Klock 13.45:07"};
        QTest::newRow("not in code page") << Token{"ja_JP", t, "2024/03/09 13?45?07?"};
        QTest::newRow("midnight") << Token{"de_DE", QTime(0, 0), "09.03.24"};
        QTest::newRow("midnight and 500 ms") << Token{"de_DE", QTime(0, 0, 0, 500), "09.03.24"};
        QTest::newRow("one second on") << Token{"de_DE", QTime(0, 0, 1), "09.03.24 00:00:01"};
    }
    void timeTokenText()
    {
        QFETCH(Token, row);
        const auto &[locale, time, text] = row;
        QCOMPARE(TimeTokenText(QDateTime(kAfternoon.date(), time), QLocale(locale)), QByteArray(text));
        const QRegularExpression shape(QRegularExpression::anchoredPattern(TimeTokenPattern(QLocale(locale))));
        QVERIFY(shape.match(QString::fromLatin1(text)).hasMatch());
        QVERIFY(!shape.match(QString::fromLatin1(text).replace(u'3', u'x')).hasMatch());
    }

    // Every "<T>" in a message becomes the time text; anything else stays.
    void expandTimeTokens()
    {
        const QByteArray s = TimeTokenText(kAfternoon);
        for (const auto &[text, expected] : {std::pair{B("a<T>b<T>"), "a" + s + "b" + s}, // twice
                                             {B("<<T>>"), "<" + s + ">"},                 // nested
                                             {B("<t>"), B("<t>")},                        // lower case
                                             {B("x<T"), B("x<T")}})                       // unclosed
            QCOMPARE(ExpandTimeTokens(text, kAfternoon), expected);
    }

    // The header label's codes: the quotient by 90 rounded, halves to even.
    void displayFileLabel()
    {
        const std::pair<qint16, const char *> labels[] = {
            {0, "<0x20><0x20>"},   {45, "<0x20><0x4D>"},  {46, "<0x21><0x4E>"}, {90, "<0x21><0x20>"},
            {135, "<0x22><0x4D>"}, {200, "<0x22><0x34>"}, {225, "<0x22><0x4D>"}};
        for (const auto &[number, label] : labels)
            QCOMPARE(DisplayFileLabel(number), QByteArray(label));
    }

    // A text read leniently, as a typed number is, and strictly (null:
    // refused).
    void values_data()
    {
        QTest::addColumn<Reading>("row");
        const std::optional<double> no;
        // clang-format off
        const std::tuple<const char *, double, std::optional<double>> rows[] = {
            {"", 0, no}, {"  ", 0, no}, {"abc", 0, no}, {"12", 12, 12}, {" 12 ", 12, 12}, {"000012", 12, 12},
            {"12abc", 12, no}, {"5%", 5, no}, {" 1 2 ", 12, no}, {"1\t2\n3", 123, no}, {"1\r2", 1, no},
            {"\t-3.5\r\n", -3.5, -3.5}, {"-5", -5, -5}, {"+5", 5, 5}, {"- 5", -5, no}, {"--5", 0, no}, {"-", 0, no},
            {".", 0, no}, {".5", 0.5, 0.5}, {"5.", 5, 5}, {"12.34.5", 12.34, no}, {"1,5", 1, no}, {"1e3", 1000, 1000},
            {"1D3", 1000, 1000}, {"1D-2", 0.01, 0.01}, {"1d 3", 1000, no}, {"1e", 1, no}, {"1e+", 1, no},
            {"1e-", 1, no}, {"1ex", 1, no}, {"e5", 0, no}, {"0x41", 0, no}, {"&H1F", 31, no}, {"&h1f", 31, no},
            {"& H 1 F", 31, no}, {"&HFFFF", 65535, no}, {"&H", 0, no}, {"&H1G", 1, no}, {"&O17", 15, no},
            {"&o778", 63, no}, {"&X1", 0, no}, {"&12", 0, no}, {"1e400", kInf, kInf}, {"-1e400", -kInf, -kInf},
            {"1e-400", 0, 0}, {"0e99999", 0, 0}, {"5\u20AC3", 5, no}, {"\uFF11\uFF12", 0, no}, {"&H1\u4E2D", 1, no}};
        // clang-format on
        for (const auto &[text, lenient, strict] : rows)
            QTest::newRow(B(text).toPercentEncoding().constData()) << Reading{QString::fromUtf8(text), lenient, strict};
        const QString zeros400(400, u'0');
        QTest::newRow("long digits") << Reading{QString(500, u'0') + u'7', 7.0, 7.0};
        QTest::newRow("long overflow") << Reading{QString(400, u'9'), kInf, kInf};
        QTest::newRow("long underflow") << Reading{"0." + zeros400 + u'1', 0.0, 0.0};
        QTest::newRow("long exact") << Reading{u'1' + zeros400 + "e-400", 1.0, 1.0};
        QTest::newRow("zeros outweigh exponent") << Reading{"0." + zeros400 + zeros400 + "1e400", 0.0, 0.0};
    }
    void values()
    {
        QFETCH(Reading, row);
        const auto &[text, lenient, strict] = row;
        QCOMPARE(LenientValue(QStringView(text)), lenient);
        const std::optional<double> v = StrictValue(QStringView(text));
        QCOMPARE(v.has_value(), strict.has_value());
        QCOMPARE(v.value_or(0), strict.value_or(0));
    }

    void rounding_data()
    {
        QTest::addColumn<Rounding>("row");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const qint64 min32 = std::numeric_limits<qint32>::min(), min64 = std::numeric_limits<qint64>::min();
        // clang-format off
        const Rounding rows[] = {
            {32767.4, 16, true, 32767}, {32767.5, 16, false, 0}, {32767.5, 32, true, 32768},
            {-32768.5, 16, true, -32768}, {-32768.6, 16, false, 0}, {nan, 16, false, 0}, {kInf, 32, false, 0},
            {-kInf, 64, false, 0}, {2147483646.5, 32, true, 2147483646}, {2147483647.5, 32, false, 0},
            {-2147483648.5, 32, true, min32}, {9223372036854775808.0, 64, false, 0},
            {-9223372036854775808.0, 64, true, min64},
            // A half read as a whole number goes to the even neighbour.
            {2.5, 64, true, 2}, {3.5, 64, true, 4}, {-2.5, 64, true, -2}, {-0.5, 64, true, 0}, {0.5, 64, true, 0},
            {9.5, 64, true, 10}};
        // clang-format on
        for (const Rounding &row : rows)
            QTest::addRow("%.17g to %d bits", std::get<0>(row), std::get<1>(row)) << row;
    }
    void rounding()
    {
        QFETCH(Rounding, row);
        const auto &[value, bits, ok, whole] = row;
        auto widen = [](auto r) { return r ? std::optional<qint64>(*r) : std::nullopt; };
        const std::optional<qint64> r = bits == 16   ? widen(RoundToInt16(value))
                                        : bits == 32 ? widen(RoundToInt32(value))
                                                     : RoundToInt64(value);
        QCOMPARE(r.has_value(), ok);
        QCOMPARE(r.value_or(0), whole);
    }

    void formatPicture_data()
    {
        QTest::addColumn<Picture>("row");
        // clang-format off
        const Picture rows[] = {
            {5, "000", "005"}, {1234, "000", "1234"}, {-5, "000", "-005"}, {-0.4, "000", "000"},
            {0.6, "000", "001"}, {0.0004, "000", "000"}, {200, "000000", "000200"}, {1234567, "000000", "1234567"},
            {57.0 / 128, "00.0%", "44.5%"}, {0, "00.0%", "00.0%"}, {-0.0, "00%", "00%"}, {1.5, "00.0%", "150.0%"},
            {0.0024, "00.0%", "00.2%"}, {-0.25, "00%", "-25%"}, {3.14159, "0.00", "3.14"},
            {1e20, "000", "100000000000000000000"}, {5e-324, "00%", "00%"},
            // A half shown through a picture goes away from zero, as a display
            // format does, also decimal halves whose doubles lie just below them.
            {2.5, "000", "003"}, {-2.5, "000", "-003"}, {0.5, "000", "001"}, {-0.5, "000", "-001"},
            {999.5, "000", "1000"}, {0.125, "00%", "13%"}, {0.0625, "00.0%", "06.3%"}, {0.9995, "00.0%", "100.0%"},
            {0.285, "00%", "29%"}, {0.0015, "00.0%", "00.2%"}, {1.005, "0.00", "1.01"}, {2.675, "0.00", "2.68"}};
        // clang-format on
        for (const Picture &row : rows)
            QTest::addRow("%g %s", std::get<0>(row), std::get<1>(row)) << row;
    }
    void formatPicture()
    {
        QFETCH(Picture, row);
        const auto &[value, picture, shown] = row;
        QCOMPARE(FormatPicture(value, QString::fromLatin1(picture)), QString::fromLatin1(shown));
    }

    void codePage_data()
    {
        QTest::addColumn<CodePoint>("row");
        // clang-format off
        const std::pair<int, int> rows[] = {
            {0x00, 0x0000}, {0x7F, 0x007F}, {0x80, 0x20AC}, {0x81, 0x0081}, {0x8A, 0x0160}, {0x8D, 0x008D},
            {0x8F, 0x008F}, {0x90, 0x0090}, {0x99, 0x2122}, {0x9D, 0x009D}, {0x9F, 0x0178}, {0xA0, 0x00A0},
            {0xE9, 0x00E9}, {0xFF, 0x00FF}};
        // clang-format on
        for (const auto &[byte, unicode] : rows)
            QTest::addRow("%02X", byte) << CodePoint{QString(QChar(unicode)), QByteArray(1, char(byte)), true};
        QTest::newRow("CJK") << CodePoint{"A\u4E2DB", "A?B", false};
        QTest::newRow("C1 taken by euro") << CodePoint{"\u0080", "?", false};
        QTest::newRow("outside basic plane") << CodePoint{"x\U0001F600y", "x?y", false};
        QTest::newRow("lone surrogate") << CodePoint{QString(QChar(0xD800)), "?", false};
    }
    void codePage()
    {
        QFETCH(CodePoint, row);
        const auto &[text, bytes, mapped] = row;
        QCOMPARE(TextToBytes(text), bytes);
        QCOMPARE(IsRepresentable(text), mapped);
        if (mapped)
            QCOMPARE(BytesToText(bytes), text);
    }
};

QTEST_APPLESS_MAIN(TestCodec)
#include "tst_codec.moc"
