#pragma once
// Where the operator's manual is.

#include <QString>

namespace telvaro {

// The manual beside the program.
QString HelpFilePath(const QString &programFolder);

} // namespace telvaro
