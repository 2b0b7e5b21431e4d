#include "app/dialogfilter.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace telvaro {

QString QtDialogFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        // Qt finds the patterns in the parentheses at the description's end.
        const QString suffix = QStringLiteral("(") + patterns + QStringLiteral(")");
        entries.append(description.trimmed().endsWith(suffix) ? description
                                                              : description + QStringLiteral(" ") + suffix);
    }
    // A description without its pattern field is shown as it is.
    if (parts.size() % 2 == 1 && !parts.back().isEmpty())
        entries.append(parts.back());
    return entries.join(QStringLiteral(";;"));
}

QString WithFilterExtension(const QString &path, const QString &chosenFilter)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    static const QRegularExpression firstPattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    const QRegularExpressionMatch match = firstPattern.match(chosenFilter);
    return match.hasMatch() ? path + u'.' + match.captured(1) : path;
}

} // namespace telvaro
