#include "cli/outcomejson.h"

#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/operationrun.h"
#include "cli/output.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <cmath>

namespace telvaro::cli {

namespace {

struct Record {
    bool wanted = false;
    QString op;
    QString sign;
    QString transcript;
    QDateTime started;
    QElapsedTimer clock;
    QStringList lines; // what the command said on stderr
    bool ranOperation = false;
    bool sentAnything = false;
    bool refusedOperation = false;
    int signalNumber = 0;
    int framesSent = 0;
    std::optional<int> framesPlanned = 0;
    std::optional<QJsonObject> verification;
};
Record record;

void Collect(const QString &line)
{
    record.lines << line;
}

QString TimeText(const QDateTime &t)
{
    return t.toString(Qt::ISODateWithMs);
}

QJsonValue TextOrNull(const QString &text)
{
    return text.isNull() ? QJsonValue() : QJsonValue(text);
}

// A shown value of the comparison: the text between its quotes, or none.
QJsonValue Shown(const QString &text)
{
    if (text.isEmpty() || text == QLatin1String("none"))
        return QJsonValue();
    return text.startsWith(u'"') && text.endsWith(u'"') && text.size() >= 2 ? text.mid(1, text.size() - 2) : text;
}

QString StatusText(int status)
{
    if (status == ExitDone)
        return QStringLiteral("done");
    if (record.signalNumber != 0)
        return QStringLiteral("stopped");
    // Nothing reached the device: the command's options, the registry, the
    // table or the link refused it before the first frame.
    const bool beforeAnything = !record.ranOperation || (record.refusedOperation && !record.sentAnything);
    return status == ExitUsage || beforeAnything ? QStringLiteral("refused") : QStringLiteral("failed");
}

} // namespace

void AddJsonOption(CommandLine &line)
{
    line.addOption({QStringLiteral("json")},
                   QStringLiteral("At the end, prints one line on stdout: a JSON object with the sign, the "
                                  "command, the status (done, failed, refused or stopped), the exit status, the "
                                  "reasons, the start and end (UTC), the duration, the frames sent and planned, the "
                                  "verification and the transcript. The messages still go to stderr."),
                   QStringLiteral("--json"));
}

void ExpectOutcome(const QString &op, const QStringList &args)
{
    const QStringList options = args.mid(0, args.indexOf(QStringLiteral("--")));
    record = {};
    record.op = op;
    record.wanted = options.contains(QStringLiteral("--json")) && !options.contains(QStringLiteral("--help")) &&
                    !options.contains(QStringLiteral("-h"));
    record.started = QDateTime::currentDateTimeUtc();
    record.clock.start();
    ObserveErrorLines(record.wanted ? Collect : nullptr);
}

bool OutcomeWanted()
{
    return record.wanted;
}

void NoteSign(const QString &name)
{
    record.sign = name;
}

void NoteTranscript(const QString &path)
{
    record.transcript = path;
}

void NoteOperation(const CommandEnding &ending, std::optional<int> framesPlanned)
{
    const OperationOutcome &outcome = ending.outcome;
    record.ranOperation = true;
    record.sentAnything = record.sentAnything || outcome.framesSent > 0 || outcome.framesNotSent > 0;
    record.refusedOperation = record.refusedOperation || outcome.ending == OperationOutcome::Ending::Refused;
    record.signalNumber = record.signalNumber != 0 ? record.signalNumber : ending.signalNumber;
    record.framesSent += outcome.framesSent;
    record.framesPlanned =
        record.framesPlanned && framesPlanned ? std::optional(*record.framesPlanned + *framesPlanned) : std::nullopt;
}

void NoteVerification(bool failed, const QStringList &differences)
{
    QJsonArray items;
    for (const QString &line : differences)
        items.append(DifferenceObject(line));
    const QString result = failed                  ? QStringLiteral("failed")
                           : differences.isEmpty() ? QStringLiteral("same")
                                                   : QStringLiteral("different");
    record.verification = QJsonObject{{QStringLiteral("result"), result}, {QStringLiteral("differences"), items}};
}

QJsonObject DifferenceObject(const QString &line)
{
    static const QRegularExpression changed(QStringLiteral("^(.*?): sent (none|\".*\"), read back (none|\".*\")$"));
    static const QRegularExpression missing(QStringLiteral("^(.*?): sent (\".*\"), missing from the controller$"));
    static const QRegularExpression extra(QStringLiteral("^(extra message.*?): read back (\".*\")$"));
    QJsonObject item{{QStringLiteral("item"), line},
                     {QStringLiteral("table"), QJsonValue()},
                     {QStringLiteral("read_back"), QJsonValue()}};
    if (const auto m = changed.match(line); m.hasMatch()) {
        item[QStringLiteral("item")] = m.captured(1);
        item[QStringLiteral("table")] = Shown(m.captured(2));
        item[QStringLiteral("read_back")] = Shown(m.captured(3));
    } else if (const auto m = missing.match(line); m.hasMatch()) {
        item[QStringLiteral("item")] = m.captured(1);
        item[QStringLiteral("table")] = Shown(m.captured(2));
    } else if (const auto m = extra.match(line); m.hasMatch()) {
        item[QStringLiteral("item")] = m.captured(1);
        item[QStringLiteral("read_back")] = Shown(m.captured(2));
    }
    return item;
}

QJsonObject OutcomeObject(int status)
{
    const QString statusText = StatusText(status);
    QJsonArray reasons;
    if (statusText != QLatin1String("done"))
        for (const QString &line : std::as_const(record.lines))
            reasons.append(line);
    return QJsonObject{
        {QStringLiteral("sign"), TextOrNull(record.sign)},
        {QStringLiteral("op"), record.op},
        {QStringLiteral("status"), statusText},
        {QStringLiteral("exit"), status},
        {QStringLiteral("reasons"), reasons},
        {QStringLiteral("started"), TimeText(record.started)},
        {QStringLiteral("ended"), TimeText(QDateTime::currentDateTimeUtc())},
        {QStringLiteral("duration"), std::round(double(record.clock.elapsed())) / 1000.0},
        {QStringLiteral("frames_sent"), record.framesSent},
        {QStringLiteral("frames_planned"), record.framesPlanned ? QJsonValue(*record.framesPlanned) : QJsonValue()},
        {QStringLiteral("verification"), record.verification ? QJsonValue(*record.verification) : QJsonValue()},
        {QStringLiteral("transcript"), TextOrNull(record.transcript)},
    };
}

int WriteOutcome(int status)
{
    if (!record.wanted)
        return status;
    ObserveErrorLines(nullptr);
    const QByteArray line = QJsonDocument(OutcomeObject(status)).toJson(QJsonDocument::Compact) + '\n';
    return WriteOut(line) || status != ExitDone ? status : ExitFailed;
}

} // namespace telvaro::cli
