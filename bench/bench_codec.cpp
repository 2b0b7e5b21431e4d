// Throughput of the escape notation over about 10 MB of sign messages.
// Targets: ParseEscapes of messages and FormatReceived of the bytes they send
// at least 1 GB/s each. First the fast paths are checked against plain
// byte-at-a-time readings of the same texts.

#include "benchutil.h"

#include "codec/escapes.h"

#include <QByteArray>

#include <cstdio>
#include <optional>
#include <random>
#include <vector>

using namespace telvaro;

namespace {

constexpr qsizetype kTarget = 10 * 1000 * 1000;
constexpr int kRuns = 21;

QByteArray Mix(std::initializer_list<const char *> pieces)
{
    const std::vector<const char *> choices(pieces);
    std::mt19937 random(20240309);
    std::uniform_int_distribution<size_t> pick(0, choices.size() - 1);
    QByteArray text;
    text.reserve(kTarget + 64);
    while (text.size() < kTarget)
        text.append(choices[pick(random)]);
    return text;
}

// Messages as the editors build them: control escapes between runs of text,
// an occasional time token and a stray "<" that opens no escape.
// clang-format off
const QByteArray kMessages = Mix({
    "<0x01>Z00<0x02>AA", "<&H1B> b", "Welcome to the station", "<0x1C>1", "Next train 10:45 ", "<0x0D>",
    "Platform 3 a<b", "<&H1E>2", "Temperature 21 C ", "<T>", "<0x07>1", " Mind the gap ", "<0x04>", "<0x0a>",
    "Delayed by 5 min"});
// Hand-typed bodies that go through the general number reader.
const QByteArray kDecimalBodies = Mix({"<0013><0010>", "Line one ", "<0x1G>", "<&O17>", "<2.5 >", "text "});
// clang-format on
const QByteArray kPlain(kTarget, 'x');

// Every byte value, in no order.
QByteArray AllBytes()
{
    QByteArray bytes(1 << 20, Qt::Uninitialized);
    std::mt19937 random(20240309);
    for (char &c : bytes)
        c = char(random() % 256);
    return bytes;
}
const QByteArray kAllBytes = AllBytes();

// The notation read a byte at a time, each escape on its own.
std::optional<QByteArray> PlainParse(QByteArrayView text)
{
    QByteArray out;
    for (qsizetype p = 0; p < text.size();) {
        if (text[p] == '<' && p + 5 < text.size() && text[p + 5] == '>') {
            const std::optional<QByteArray> code = ParseEscapes(text.sliced(p, 6));
            if (!code)
                return std::nullopt;
            out += *code;
            p += 6;
        } else {
            out += text[p++];
        }
    }
    return out;
}

QByteArray PlainFormat(QByteArrayView bytes)
{
    QByteArray out;
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        out += c >= 32 && c <= 125 ? QByteArray(1, b) : HexEscape(c);
    }
    return out;
}

// The whole text and its first bytes, so that every way a text can end is met.
template <typename Fast, typename Plain> bool Agree(const QByteArray &text, Fast fast, Plain plain)
{
    for (qsizetype n = 0; n <= 64 && n < text.size(); ++n) {
        if (fast(text.first(n)) != plain(text.first(n)))
            return false;
    }
    return fast(text) == plain(text);
}

double ReportParse(const char *name, const QByteArray &text)
{
    const bench::Figures f = bench::Measure(kRuns, [&] { bench::Keep(ParseEscapes(text)); });
    bench::Report(name, f, double(text.size()));
    return bench::MegabytesPerSecond(f, double(text.size()));
}

double ReportFormat(const char *name, const QByteArray &bytes)
{
    const bench::Figures f = bench::Measure(kRuns, [&] { bench::Keep(FormatReceived(bytes)); });
    bench::Report(name, f, double(bytes.size()));
    return bench::MegabytesPerSecond(f, double(bytes.size()));
}

} // namespace

int main()
{
    const std::optional<QByteArray> sent = ParseEscapes(kMessages);
    if (!sent || !ParseEscapes(kDecimalBodies)) {
        std::fprintf(stderr, "a benchmark text did not parse\n");
        return 1;
    }
    const auto parse = [](QByteArrayView text) { return ParseEscapes(text); };
    const auto format = [](QByteArrayView bytes) { return FormatReceived(bytes); };
    const bool agree = Agree(kMessages, parse, PlainParse) && Agree(kDecimalBodies, parse, PlainParse) &&
                       Agree(kPlain, parse, PlainParse) && Agree(*sent, format, PlainFormat) &&
                       Agree(kAllBytes, format, PlainFormat) && Agree(kPlain, format, PlainFormat);
    std::printf("fast and plain readings %s\n", agree ? "agree" : "DIFFER");
    std::printf("about %lld MB per text, %d runs each\n", static_cast<long long>(kTarget / 1000000), kRuns);
    const double parsed = ReportParse("ParseEscapes (messages)", kMessages);
    ReportParse("ParseEscapes (decimal bodies)", kDecimalBodies);
    ReportParse("ParseEscapes (no escapes)", kPlain);
    const double formatted = ReportFormat("FormatReceived (sent messages)", *sent);
    ReportFormat("FormatReceived (every byte)", kAllBytes);
    ReportFormat("FormatReceived (no controls)", kPlain);
    const bool parseMet = bench::Target("ParseEscapes (messages)", parsed, bench::Bound::AtLeast, 1000, "MB/s");
    const bool formatMet =
        bench::Target("FormatReceived (sent messages)", formatted, bench::Bound::AtLeast, 1000, "MB/s");
    return agree && parseMet && formatMet ? 0 : 1;
}
