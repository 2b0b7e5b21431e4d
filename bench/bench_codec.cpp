// Throughput of the escape notation over about 10 MB of sign messages.

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

void ReportParse(const char *name, const QByteArray &text)
{
    bench::Report(name, bench::Measure(kRuns, [&] { bench::Keep(ParseEscapes(text)); }), double(text.size()));
}

void ReportFormat(const char *name, const QByteArray &bytes)
{
    bench::Report(name, bench::Measure(kRuns, [&] { bench::Keep(FormatReceived(bytes)); }), double(bytes.size()));
}

} // namespace

int main()
{
    const std::optional<QByteArray> sent = ParseEscapes(kMessages);
    if (!sent || !ParseEscapes(kDecimalBodies)) {
        std::fprintf(stderr, "a benchmark text did not parse\n");
        return 1;
    }
    std::printf("about %lld MB per text, %d runs each\n", static_cast<long long>(kTarget / 1000000), kRuns);
    ReportParse("ParseEscapes (messages)", kMessages);
    ReportParse("ParseEscapes (decimal bodies)", kDecimalBodies);
    ReportParse("ParseEscapes (no escapes)", kPlain);
    ReportFormat("FormatReceived (sent messages)", *sent);
    ReportFormat("FormatReceived (no controls)", kPlain);
    return 0;
}
