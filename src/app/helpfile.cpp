#include "app/helpfile.h"

#include <QDir>
#include <QFileInfo>

namespace telvaro {

QString HelpFilePath(const QString &programFolder)
{
    const QString name = QStringLiteral("Telvaro_Manual.pdf");
    const QDir folder(programFolder);
    const QString beside = folder.filePath(name);
    if (QFileInfo(beside).isFile())
        return beside;
    // The build passes the documentation folder relative to the programs'.
    return QDir::cleanPath(folder.filePath(QStringLiteral(TELVARO_DOCDIR_FROM_BINDIR "/") + name));
}

} // namespace telvaro
