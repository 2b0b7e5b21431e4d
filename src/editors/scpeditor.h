#pragma once
// The SCP editor's code texts: what each of its buttons puts into the entry
// box, from the colour list, the font slider and the character-code box.

#include <QString>
#include <QStringList>

namespace telvaro {

enum class ScpButton {
    CmdSOT,
    CmdMode,
    CmdFlash,
    CmdColor,
    CmdBackColor,
    CmdFont,
    CmdLJustification,
    CmdMJustification,
    CmdRJustification,
    CmdComputerTime,
    CmdCode,
    CmdEOT,
};

inline constexpr int ScpFontLowest = 1;
inline constexpr int ScpFontHighest = 16;

// What the buttons read from the window's other controls.
struct ScpControls {
    int colorIndex = -1; // the colour list's selected item, -1 for none
    int fontValue = ScpFontLowest;
    QString code = QStringLiteral("00");
};

QString ScpCode(ScpButton button, const ScpControls &controls);

// The twelve colours of both editors' colour lists, "Red" first.
const QStringList &EditorColorNames();

// "<0x", the typed code with at least two digits when it reads as a number
// (otherwise as typed), ">".
QString CharacterCodeText(const QString &typed);

} // namespace telvaro
