#include "editors/quickstart.h"

#include "editors/adpeditor.h"
#include "editors/scpeditor.h"

#include <iterator>

namespace telvaro {

namespace {

constexpr Rgb Black{0, 0, 0};
constexpr Rgb White{255, 255, 255};

// The preview colours of "Black" to "Yellow"; the rainbow and mixed colours
// have none and show black on white.
constexpr Rgb PreviewColors[] = {
    Black,         // Black
    {255, 0, 0},   // Red
    {0, 255, 0},   // Green
    {255, 255, 0}, // Amber
    {128, 0, 0},   // Dim Red
    {0, 128, 0},   // Dim Green
    {128, 128, 0}, // Brown
    {175, 175, 0}, // Orange
    {200, 200, 0}, // Yellow
};
constexpr int PreviewColorCount = int(std::size(PreviewColors));

bool listed(const QStringList &items, int index)
{
    return index >= 0 && index < items.size();
}

} // namespace

const QStringList &QuickColorNames()
{
    // Black first, then the code buttons' colours.
    static const QStringList names = QStringList{QStringLiteral("Black")} + EditorColorNames();
    return names;
}

const QStringList &QuickFontNames()
{
    static const QStringList names = [] {
        QStringList n = {QStringLiteral("Five High"), QStringLiteral("Seven SS"), QStringLiteral("Seven S"),
                         QStringLiteral("Fifteen High SS"), QStringLiteral("Fifteen High S")};
        for (int user = 5; user <= AdpFontHighest; ++user)
            n << QStringLiteral("User %1").arg(user);
        return n;
    }();
    return names;
}

const QStringList &QuickModePositions()
{
    static const QStringList names = {QStringLiteral("Fill"), QStringLiteral("Top"), QStringLiteral("Bottom"),
                                      QStringLiteral("Middle"), QStringLiteral("In/Out Mode")};
    return names;
}

const QStringList &QuickModeTypes()
{
    static const QStringList names = {
        QStringLiteral("Rotate (No Wrap)"), QStringLiteral("Hold"),       QStringLiteral("Flash"),
        QStringLiteral("Random"),           QStringLiteral("Move Left"),  QStringLiteral("Move Right"),
        QStringLiteral("Scroll O/L"),       QStringLiteral("Scroll O/R"), QStringLiteral("Move Up"),
        QStringLiteral("Move Down"),        QStringLiteral("Scroll O/C"), QStringLiteral("Unveil Up"),
        QStringLiteral("Unveil Down"),      QStringLiteral("Unveil In"),  QStringLiteral("Unveil Up/In"),
        QStringLiteral("Unveil Up/Out"),
    };
    return names;
}

void QuickStart::LstQuickForeColor_Click(int index)
{
    if (!listed(QuickColorNames(), index))
        return;
    m_foreColorCode = QStringLiteral("<0x1C>") + AdpColorDigit(index);
    if (index < PreviewColorCount) {
        m_preview.text = PreviewColors[index];
    } else {
        m_preview.text = Black;
        m_preview.background = White;
    }
}

void QuickStart::LstQuickBackColor_Click(int index)
{
    if (!listed(QuickColorNames(), index))
        return;
    m_backColorCode = QStringLiteral("<0x1D>B") + AdpColorDigit(index);
    if (index < PreviewColorCount) {
        m_preview.background = PreviewColors[index];
    } else {
        m_preview.text = Black;
        m_preview.background = White;
    }
}

void QuickStart::LstQuickFont_Click(int index)
{
    if (!listed(QuickFontNames(), index))
        return;
    m_fontCode = QStringLiteral("<0x1A>") + AdpFontCharacter(index);
    m_preview.pointSize = index + 8;
}

void QuickStart::LstQuickModeP_Click(int position, int type)
{
    if (!listed(QuickModePositions(), position))
        return;
    const QChar letter(u'a' + (listed(QuickModeTypes(), type) ? type : 0));
    const QString mode = QStringLiteral("<0x1B>");
    switch (position) {
    case 0: m_modeCode = mode + u'0' + letter; break;
    case 1: m_modeCode = mode + QStringLiteral("<0x22>") + letter; break;
    case 2: m_modeCode = mode + u'&' + letter; break;
    case 3: m_modeCode = mode + QStringLiteral("<0x20>") + letter; break;
    default: m_modeCode = mode + u'I' + letter + mode + u'O' + letter; break;
    }
}

void QuickStart::ChkFlash_Click(bool checked)
{
    m_flashCode = checked ? QStringLiteral("<0x07>1") : QStringLiteral("<0x07>0");
}

QString BuildQuickMessage(OperatingMode mode, const QuickStart &codes, const QuickChoices &choices)
{
    QString message;
    if (mode != OperatingMode::SignLoad)
        message += QStringLiteral("<0x01>Z") + choices.signAddress + QStringLiteral("<0x02>AA");
    if (choices.mode)
        message += codes.ModeCode();
    if (choices.font)
        message += codes.FontCode();
    if (choices.fore)
        message += codes.ForeColorCode();
    if (choices.back)
        message += codes.BackColorCode();
    // Flash off is written out too.
    message += codes.FlashCode() + choices.text + QStringLiteral("<0x04>");
    return LineBreaksToEscapes(message);
}

QString LineBreaksToEscapes(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r') {
            out += text[i];
            continue;
        }
        out += QStringLiteral("<0x0D>");
        // The line feed of the break goes; a lone carriage return keeps
        // what follows it.
        if (i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
    }
    return out;
}

QString QuickDateCall()
{
    return QStringLiteral("<0x0B>8");
}

QString QuickTimeCall()
{
    return QStringLiteral("<0x13>");
}

} // namespace telvaro
