#pragma once
// The EZ 95 protocol's codes, appended to the end of the entry text. The
// panel that offers them is laid out hidden and never shown, so it is not
// built; the codes are kept here as the protocol has them.

#include <QString>
#include <QStringList>

namespace telvaro::ez95 {

// The lists in their order; an index of -1 means nothing chosen.
const QStringList &PositionItems();
const QStringList &ModeItems();
const QStringList &ColorItems();
const QStringList &SpecialItems();

QString StartOfMessage(const QString &signAddress);
QString StartOfText();
QString InsertMode(int position, int mode);
// With nothing chosen the index -1 is written as 16-bit hex: "FFFF".
QString Color(int color);
QString Special(int special);
QString EndOfMessage();

} // namespace telvaro::ez95
