// The read-back comparison of a full table of 32,766 messages: alike with
// time tokens, one message missing, differences up to the most that are
// aligned, and beyond them (compared by position). Target: each within 2 s,
// whatever the differences.

#include "benchutil.h"

#include "codec/escapes.h"
#include "controller/controllerprotocol.h"
#include "controller/controllerverify.h"
#include "table/messagetable.h"

#include <QDateTime>

#include <cstdio>

using namespace telvaro;

namespace {

constexpr int kRuns = 5;
constexpr int kFull = MessageTable::MaxEntries;

ControllerImage Sent(const QList<QByteArray> &messages)
{
    QList<SentMessage> numbered;
    for (qsizetype i = 0; i < messages.size(); ++i)
        numbered.append({int(i), messages[i]});
    return SentControllerImage(RegisterFrame({}), numbered, ConfigurationFrame(true));
}

ControllerImage Held(const QList<QByteArray> &messages)
{
    return ReadControllerImage(RegisterFrame({}) + messages.join() + ConfigurationFrame(true));
}

bool Case(const char *name, const QList<QByteArray> &sent, const QList<QByteArray> &held)
{
    const ControllerImage a = Sent(sent), b = Held(held);
    ControllerComparison result;
    const bench::Figures f = bench::Measure(kRuns, [&] { result = CompareWithController(a, b); });
    bench::Report(name, f, 0);
    std::printf("%-34s %lld differences%s\n", "", static_cast<long long>(result.differences.size()),
                result.positional ? ", by position" : "");
    return bench::Target(name, f.maxMs, bench::Bound::AtMost, 2000, "ms");
}

} // namespace

int main()
{
    const QByteArray now = TimeTokenText(QDateTime::currentDateTime());
    QList<QByteArray> sent, held, plain;
    for (int i = 0; i < kFull; ++i) {
        sent << "\x02" + QByteArray::number(i) + " <T>\x04";
        held << "\x02" + QByteArray::number(i) + " " + now + "\x04";
        plain << "\x02" + QByteArray::number(i) + "\x04";
    }
    bool met = Case("alike, time tokens", sent, held);
    QList<QByteArray> missing = held;
    missing.removeAt(5);
    met &= Case("one missing", sent, missing);
    // Every 33rd message changed: 993 changes, 1,986 edits, near the most aligned.
    QList<QByteArray> changed = plain;
    for (int i = 0; i < kFull; i += 33)
        changed[i] = "changed\x04";
    met &= Case("changed near the bound", plain, changed);
    // Every 16th missing after the first: past the bound.
    QList<QByteArray> thinned;
    for (int i = 0; i < kFull; ++i)
        if (i % 16)
            thinned << plain[i];
    met &= Case("past the bound", plain, thinned);
    return met ? 0 : 1;
}
