#pragma once
// Where "&Open Help File" finds the operator manual.

#include <QString>

namespace telvaro {

// The manual beside the program when it is there (a build tree, or the
// program copied into a folder of its own), otherwise where an installation
// puts it, found from the program's folder so that any installation prefix
// works.
QString HelpFilePath(const QString &programFolder);

} // namespace telvaro
