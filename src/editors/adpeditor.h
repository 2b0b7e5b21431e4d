#pragma once
// The ADP editor's code texts: what each of its code buttons puts into the
// entry box, from the colour list, the font slider and the character-code
// box.

#include <QChar>
#include <QString>

namespace telvaro {

enum class AdpButton {
    CmdSOT,
    CmdStartText,
    CmdETX,
    CmdEOT,
    CmdMode,
    CmdFlash,
    CmdColor,
    CmdBackColor,
    CmdFont,
    CmdLJustification,
    CmdMJustification,
    CmdRJustification,
    CmdSignDate,
    CmdSignTime,
    CmdComputerTime,
    CmdString,
    CmdCode,
};

inline constexpr int AdpFontLowest = 0;
inline constexpr int AdpFontHighest = 15;

// What the buttons read from the window's other controls.
struct AdpControls {
    int colorIndex = -1; // the colour list's selected item, -1 for none
    int fontPosition = AdpFontLowest;
    QString code = QStringLiteral("00");
};

QString AdpCode(AdpButton button, const AdpControls &controls);

// A colour list index as the sign's one hexadecimal digit, upper case.
QString AdpColorDigit(int index);
// The font character of a font number: "0" to "9", then ":" to "?".
QChar AdpFontCharacter(int font);

} // namespace telvaro
