#pragma once
// File dialog filters are given as pairs of a description and its patterns,
// separated by "|" ("Telvaro Files (*.TVD)|*.TVD|..."); Qt's dialogs take
// "Description (patterns)" entries separated by ";;".

#include <QString>

namespace telvaro {

QString QtDialogFilter(const QString &filter);

} // namespace telvaro
