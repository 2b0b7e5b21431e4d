#include "editors/scpeditor.h"

#include "codec/numbers.h"

namespace telvaro {

QString ScpCode(ScpButton button, const ScpControls &controls)
{
    // The colour number counts from 1; no selection writes 0.
    const QString colour = QString::number(controls.colorIndex + 1);
    switch (button) {
    case ScpButton::CmdSOT: return QStringLiteral("<0x02>");
    case ScpButton::CmdMode: return QStringLiteral("<0x1B>");
    case ScpButton::CmdFlash: return QStringLiteral("2A");
    case ScpButton::CmdColor: return colour + u'P';
    case ScpButton::CmdBackColor: return colour + u'G';
    case ScpButton::CmdFont: return QString::number(controls.fontValue) + u'F';
    case ScpButton::CmdLJustification: return QStringLiteral("1J");
    case ScpButton::CmdMJustification: return QStringLiteral("2J");
    case ScpButton::CmdRJustification: return QStringLiteral("3J");
    case ScpButton::CmdComputerTime: return QStringLiteral("<T>");
    case ScpButton::CmdCode: return CharacterCodeText(controls.code);
    case ScpButton::CmdEOT: return QStringLiteral("<0x04>");
    }
    return {};
}

const QStringList &EditorColorNames()
{
    static const QStringList names = {
        QStringLiteral("Red"),       QStringLiteral("Green"),     QStringLiteral("Amber"),
        QStringLiteral("Dim Red"),   QStringLiteral("Dim Green"), QStringLiteral("Brown"),
        QStringLiteral("Orange"),    QStringLiteral("Yellow"),    QStringLiteral("Rainbow 1"),
        QStringLiteral("Rainbow 2"), QStringLiteral("Color Mix"), QStringLiteral("Autocolor"),
    };
    return names;
}

QString CharacterCodeText(const QString &typed)
{
    // The digits are not checked: the operator types two hexadecimal digits,
    // and a decimal-looking "7" only gains its leading zero.
    const std::optional<double> number = StrictValue(typed);
    return QStringLiteral("<0x") + (number ? FormatPicture(*number, u"00") : typed) + u'>';
}

} // namespace telvaro
