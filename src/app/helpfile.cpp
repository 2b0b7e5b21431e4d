#include "app/helpfile.h"

#include <QDir>

namespace telvaro {

QString HelpFilePath(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("Telvaro_Manual.pdf"));
}

} // namespace telvaro
