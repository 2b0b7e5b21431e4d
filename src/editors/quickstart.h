#pragma once
// The ADP quick-start builder: the codes its lists store, the preview they
// give the message box, and the whole message it assembles.

#include "base/mode.h"

#include <QString>
#include <QStringList>

namespace telvaro {

// A screen colour of the preview.
struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Rgb &) const = default;
};

// How the message box shows the chosen colours and font.
struct QuickPreview {
    Rgb text;
    Rgb background{255, 255, 255};
    int pointSize = 9;
    bool operator==(const QuickPreview &) const = default;
};

// The lists' items, in order; an item's index is what the codes use.
const QStringList &QuickColorNames();
const QStringList &QuickFontNames();
const QStringList &QuickModePositions();
const QStringList &QuickModeTypes();

// The items the lists start with: "Red" on "Black", "Seven SS", "Fill" and
// "Hold".
struct QuickStartChoice {
    static constexpr int ForeColor = 1;
    static constexpr int BackColor = 0;
    static constexpr int Font = 1;
    static constexpr int ModePosition = 0;
    static constexpr int ModeType = 1;
};

// The codes the lists and the flash box store while the window is open. A
// list without a selection (-1) leaves its code and the preview as they
// were.
class QuickStart {
public:
    void LstQuickForeColor_Click(int index);
    void LstQuickBackColor_Click(int index);
    void LstQuickFont_Click(int index);
    // Either mode list's click; with no mode type chosen the type is the
    // first.
    void LstQuickModeP_Click(int position, int type);
    void ChkFlash_Click(bool checked);

    const QString &ModeCode() const { return m_modeCode; }
    const QString &FontCode() const { return m_fontCode; }
    const QString &ForeColorCode() const { return m_foreColorCode; }
    const QString &BackColorCode() const { return m_backColorCode; }
    const QString &FlashCode() const { return m_flashCode; }
    const QuickPreview &preview() const { return m_preview; }

private:
    QString m_modeCode;
    QString m_fontCode;
    QString m_foreColorCode;
    QString m_backColorCode;
    QString m_flashCode;
    QuickPreview m_preview;
};

// The window's other inputs to a message. Line breaks in the text are
// carriage return and line feed.
struct QuickChoices {
    QString signAddress = QStringLiteral("00");
    bool mode = true;
    bool font = true;
    bool fore = true;
    bool back = false;
    QString text;
};

// The message "Load" puts into the entry box. Outside Sign Load mode it
// starts with a frame start for the typed address; in Sign Load mode the
// sign load adds its own header.
QString BuildQuickMessage(OperatingMode mode, const QuickStart &codes, const QuickChoices &choices);

// Each line break becomes "<0x0D>".
QString LineBreaksToEscapes(const QString &text);

// What "Call Date" and "Call Time" insert into the message box.
QString QuickDateCall();
QString QuickTimeCall();

} // namespace telvaro
