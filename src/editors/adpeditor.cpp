#include "editors/adpeditor.h"

#include "editors/scpeditor.h"

namespace telvaro {

QString AdpColorDigit(int index)
{
    return QString::number(index, 16).toUpper();
}

QChar AdpFontCharacter(int font)
{
    return QChar(u'0' + font);
}

QString AdpCode(AdpButton button, const AdpControls &controls)
{
    // The list counts its colours from 1; without a choice the foreground
    // is red and the background black.
    const bool chosen = controls.colorIndex >= 0;
    const QString colour = AdpColorDigit(controls.colorIndex + 1);
    switch (button) {
    case AdpButton::CmdSOT: return QStringLiteral("<0x01>");
    case AdpButton::CmdStartText: return QStringLiteral("<0x02>");
    case AdpButton::CmdETX: return QStringLiteral("<0x03>");
    case AdpButton::CmdEOT: return QStringLiteral("<0x04>");
    case AdpButton::CmdMode: return QStringLiteral("<0x1B>");
    case AdpButton::CmdFlash: return QStringLiteral("<0x07>");
    case AdpButton::CmdColor: return QStringLiteral("<0x1C>") + (chosen ? colour : QStringLiteral("1"));
    case AdpButton::CmdBackColor: return QStringLiteral("<0x1D>B") + (chosen ? colour : QStringLiteral("0"));
    case AdpButton::CmdFont: return QStringLiteral("<0x1A>") + AdpFontCharacter(controls.fontPosition);
    case AdpButton::CmdLJustification: return QStringLiteral("<0x0A>0");
    case AdpButton::CmdMJustification: return QStringLiteral("<0x0A>1");
    case AdpButton::CmdRJustification: return QStringLiteral("<0x0A>2");
    case AdpButton::CmdSignDate: return QStringLiteral("<0x0B>");
    case AdpButton::CmdSignTime: return QStringLiteral("<0x13>");
    case AdpButton::CmdComputerTime: return QStringLiteral("<T>");
    case AdpButton::CmdString: return QStringLiteral("<0x10>");
    case AdpButton::CmdCode: return CharacterCodeText(controls.code);
    }
    return {};
}

} // namespace telvaro
