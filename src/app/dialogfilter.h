#pragma once
// File dialog filters are given as pairs of a description and its patterns,
// separated by "|" ("Telvaro Files (*.TVD)|*.TVD|..."); Qt's dialogs take
// "Description (patterns)" entries separated by ";;".

#include <QString>

namespace telvaro {

QString QtDialogFilter(const QString &filter);

// A name typed without an extension gets the first one of the chosen Qt
// filter entry ("Telvaro Files (*.TVD)" gives ".TVD"); "*.*" adds none.
QString WithFilterExtension(const QString &path, const QString &chosenFilter);

} // namespace telvaro
