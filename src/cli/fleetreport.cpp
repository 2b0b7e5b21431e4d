#include "cli/fleetreport.h"

#include "cli/output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace telvaro::cli {

namespace {
QString LastReportNote()
{
    return QDir(StateFolder()).filePath(QStringLiteral("last-fleet-report"));
}

QString Field(const QJsonObject &sign, const QString &key)
{
    const QJsonValue v = sign.value(key);
    const QString text = v.isDouble() ? QString::number(v.toInteger()) : v.toString();
    return text.isEmpty() ? QStringLiteral("-") : text;
}
} // namespace

QString StateFolder()
{
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    const QString base = xdg.isEmpty() ? QDir::home().filePath(QStringLiteral(".local/state")) : xdg;
    return QDir(base).filePath(QStringLiteral("telvaro"));
}

QString DefaultReportPath()
{
    return QDir(StateFolder()).filePath(QStringLiteral("fleet-report.json"));
}

QString DefaultTranscriptFolder()
{
    return QDir(StateFolder()).filePath(QStringLiteral("transcripts"));
}

QString LastReportPath()
{
    QFile note(LastReportNote());
    if (note.open(QIODevice::ReadOnly)) {
        const QString path = QString::fromUtf8(note.readAll()).trimmed();
        if (!path.isEmpty())
            return path;
    }
    return DefaultReportPath();
}

std::optional<QString> SaveReport(const QString &path, const QJsonObject &report)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QDir().mkpath(QFileInfo(absolute).path());
    QSaveFile file(absolute);
    if (!file.open(QIODevice::WriteOnly) || !file.write(QJsonDocument(report).toJson(QJsonDocument::Indented)) ||
        !file.commit())
        return file.errorString();
    // Where fleet status finds it; a note that cannot be written loses only
    // the default of fleet status.
    if (LastReportPath() != absolute) {
        QDir().mkpath(StateFolder());
        QSaveFile note(LastReportNote());
        if (note.open(QIODevice::WriteOnly) && note.write(absolute.toUtf8() + '\n'))
            note.commit();
    }
    return std::nullopt;
}

std::variant<QJsonObject, QString> ReadReport(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the report %1: %2").arg(path, file.errorString());
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (!doc.isObject() || !doc.object().value(QStringLiteral("signs")).isArray())
        return QStringLiteral("%1 is not a fleet report%2")
            .arg(path,
                 error.error == QJsonParseError::NoError ? QString() : QStringLiteral(": ") + error.errorString());
    return doc.object();
}

QByteArray SignStatusLine(const QJsonObject &sign)
{
    const QString frames =
        Field(sign, QStringLiteral("frames_sent")) + u'/' + Field(sign, QStringLiteral("frames_planned"));
    const QJsonArray reasons = sign.value(QStringLiteral("reasons")).toArray();
    QByteArrayList fields;
    for (const QString &field :
         {Field(sign, QStringLiteral("sign")), Field(sign, QStringLiteral("status")),
          Field(sign, QStringLiteral("ended")), frames, reasons.isEmpty() ? QString() : reasons.first().toString()})
        fields << TerminalText(field);
    return fields.join('\t');
}

} // namespace telvaro::cli
