#pragma once
// The fleet's report: one JSON file holding every sign of a fleet load
// exactly once, with the fields of its --json outcome and its attempts.
// It is saved whole (written aside, then renamed) at the start, after every
// sign ends and shortly after loads start, so a fleet that is killed leaves
// a true report: a sign under way then reads "running", one not yet
// started "pending".

#include <QJsonObject>
#include <QString>
#include <variant>

namespace telvaro::cli {

// $XDG_STATE_HOME/telvaro (~/.local/state/telvaro when it is not set).
QString StateFolder();
QString DefaultReportPath();
QString DefaultTranscriptFolder();
// The report the last fleet load wrote (a note in the state folder names
// it), or the default one.
QString LastReportPath();

// Saves report as path and notes it as the last one; the reason when it
// cannot.
std::optional<QString> SaveReport(const QString &path, const QJsonObject &report);
// The report, or why it cannot be read.
std::variant<QJsonObject, QString> ReadReport(const QString &path);

// A sign's line for fleet status: name, status, end, frames sent/planned
// and the first reason, separated by tabs.
// Each field is made safe for a terminal.
QByteArray SignStatusLine(const QJsonObject &sign);

} // namespace telvaro::cli
