// The editors' texts without any window: the buttons' codes at the edges of
// their controls (the window suite presses each button once), the quick
// start's codes, preview and message, the register field, the register
// dialog's width answers and the EZ 95 panel's codes.
#include "datatable.h"
#include "editors/adpeditor.h"
#include "editors/quickstart.h"
#include "editors/registerfields.h"
#include "editors/scpeditor.h"
#include "panels/ez95.h"
#include "scriptedprompter.h"

#include <QtTest>

using namespace telvaro;
using test::ScriptedPrompter;

namespace {

// The quick start as the ADP editor leaves it once loaded: "Red" on
// "Black", "Seven SS", "Fill" with "Hold", flash off.
QuickStart loadedQuickStart()
{
    QuickStart q;
    q.LstQuickForeColor_Click(1);
    q.LstQuickBackColor_Click(0);
    q.LstQuickFont_Click(1);
    q.LstQuickModeP_Click(0, 1);
    q.ChkFlash_Click(false);
    return q;
}

// The fore colour, back colour and font lists clicked in that order (-1:
// nothing selected): the font, fore and back codes, then the preview.
QString quickLists(int fore, int back, int font)
{
    QuickStart q = loadedQuickStart();
    q.LstQuickForeColor_Click(fore);
    q.LstQuickBackColor_Click(back);
    q.LstQuickFont_Click(font);
    const auto colour = [](Rgb c) { return QStringLiteral("%1,%2,%3").arg(c.red).arg(c.green).arg(c.blue); };
    return QStringLiteral("%1 %2 %3 %4 on %5 %6")
        .arg(q.FontCode(), q.ForeColorCode(), q.BackColorCode(), colour(q.preview().text),
             colour(q.preview().background))
        .arg(q.preview().pointSize);
}

// The register dialog showing register 7 (width 2, zeroes) after the width
// prompt's answer, or its cancel: register, width, fill.
QString widthAfter(const std::optional<QString> &answer)
{
    RegisterTable table;
    table[7] = {2, "0"};
    RegisterSetup setup(table);
    setup.VScroll1_Change(7);
    ScriptedPrompter prompter;
    answer ? prompter.type(*answer) : prompter.cancelInput();
    setup.LblWidth_Click(prompter);
    return QStringList{setup.LblRegisterText(), setup.LblWidthText(), setup.zeroesShown() ? "0" : " "}.join(u' ');
}

} // namespace

class EditorsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void texts_data()
    {
        test::columns<QString, QString>({"written", "expected"});
        using test::row;
        using S = ScpButton;
        using A = AdpButton;
        row("SCP fore, none selected", ScpCode(S::CmdColor, {-1, 1, "00"}), "0P");
        row("SCP fore Autocolor", ScpCode(S::CmdColor, {11, 1, "00"}), "12P");
        row("SCP back, none selected", ScpCode(S::CmdBackColor, {-1, 1, "00"}), "0G");
        row("SCP back Autocolor", ScpCode(S::CmdBackColor, {11, 1, "00"}), "12G");
        row("SCP font lowest", ScpCode(S::CmdFont, {-1, 1, "00"}), "1F");
        row("SCP font highest", ScpCode(S::CmdFont, {-1, 16, "00"}), "16F");
        row("code as loaded", ScpCode(S::CmdCode, {-1, 1, "00"}), "<0x00>");
        row("code 1E is no exponent", ScpCode(S::CmdCode, {-1, 1, "1E"}), "<0x1E>");
        row("code 0D is no exponent", AdpCode(A::CmdCode, {-1, 0, "0D"}), "<0x0D>");
        row("ADP fore, none selected: red", AdpCode(A::CmdColor, {-1, 0, "00"}), "<0x1C>1");
        row("ADP fore Autocolor", AdpCode(A::CmdColor, {11, 0, "00"}), "<0x1C>C");
        row("ADP back, none selected: black", AdpCode(A::CmdBackColor, {-1, 0, "00"}), "<0x1D>B0");
        row("ADP back Autocolor", AdpCode(A::CmdBackColor, {11, 0, "00"}), "<0x1D>BC");
        row("ADP font 0", AdpCode(A::CmdFont, {-1, 0, "00"}), "<0x1A>0");
        row("ADP font 10", AdpCode(A::CmdFont, {-1, 10, "00"}), "<0x1A>:");
        row("ADP font 15", AdpCode(A::CmdFont, {-1, 15, "00"}), "<0x1A>?");
        // The quick start's colour and font lists.
        row("nothing selected keeps the loaded", quickLists(-1, -1, -1), "<0x1A>1 <0x1C>1 <0x1D>B0 255,0,0 on 0,0,0 9");
        row("Black on Orange, Five High", quickLists(0, 7, 0), "<0x1A>0 <0x1C>0 <0x1D>B7 0,0,0 on 175,175,0 8");
        row("Amber on Dim Green, User 10", quickLists(3, 5, 10), "<0x1A>: <0x1C>3 <0x1D>B5 255,255,0 on 0,128,0 18");
        row("Yellow, User 15", quickLists(8, -1, 15), "<0x1A>? <0x1C>8 <0x1D>B0 200,200,0 on 0,0,0 23");
        row("fore Rainbow 1: black on white", quickLists(9, -1, -1), "<0x1A>1 <0x1C>9 <0x1D>B0 0,0,0 on 255,255,255 9");
        row("fore Autocolor", quickLists(12, -1, -1), "<0x1A>1 <0x1C>C <0x1D>B0 0,0,0 on 255,255,255 9");
        row("back Color Mix: black on white", quickLists(-1, 11, -1),
            "<0x1A>1 <0x1C>1 <0x1D>BB 0,0,0 on 255,255,255 9");
        row("back Autocolor", quickLists(-1, 12, -1), "<0x1A>1 <0x1C>1 <0x1D>BC 0,0,0 on 255,255,255 9");
        // The quick start's mode lists: the position, then the type.
        const auto mode = [](int position, int type) {
            QuickStart q = loadedQuickStart();
            q.LstQuickModeP_Click(position, type);
            return q.ModeCode();
        };
        row("mode Top, Rotate", mode(1, 0), "<0x1B><0x22>a");
        row("mode Bottom, Unveil Up/Out", mode(2, 15), "<0x1B>&p");
        row("mode Middle, Move Left", mode(3, 4), "<0x1B><0x20>e");
        row("mode without a type: the first", mode(0, -1), "<0x1B>0a");
        row("mode without a position: unchanged", mode(-1, 4), "<0x1B>0b");
        // The quick start's message with the boxes ticked: Mode, Font, fore
        // Colour, Back colour.
        const auto quick = [](OperatingMode mode, const char *address, const QString &boxes, const char *text) {
            const QuickChoices choices{
                address, boxes.contains(u'M'), boxes.contains(u'F'), boxes.contains(u'C'), boxes.contains(u'B'), text};
            return BuildQuickMessage(mode, loadedQuickStart(), choices);
        };
        using M = OperatingMode;
        row("message, back only", quick(M::ControllerLoad, "00", "B", "T"), "<0x01>Z00<0x02>AA<0x1D>B0<0x07>0T<0x04>");
        row("message, Sign Load, every box", quick(M::SignLoad, "00", "MFCB", "T"),
            "<0x1B>0b<0x1A>1<0x1C>1<0x1D>B0<0x07>0T<0x04>");
        row("message, empty address and text", quick(M::Test, "", "", ""), "<0x01>Z<0x02>AA<0x07>0<0x04>");
        row("message, line breaks", quick(M::SignLoad, "00", "", "AB\r\nCD\r\n\r\nE"),
            "<0x07>0AB<0x0D>CD<0x0D><0x0D>E<0x04>");
        // A carriage return without its line feed keeps what follows it:
        // here the end byte.
        row("message, lone carriage return", quick(M::SignLoad, "00", "", "A\rB\r"), "<0x07>0A<0x0D>B<0x0D><0x04>");
        // The register list's item and the field "Register Insert" puts in.
        const auto reg = [](int index) {
            return RegisterNumberItems().value(index) + u' ' + RegisterInsertText(index);
        };
        row("register 01", reg(0), "01 <0x10><0x0F>ES<0x21>Q");
        row("register 11", reg(10), "11 <0x10><0x0F>ES<0x21>[");
        row("register 31", reg(30), "31 <0x10><0x0F>ES<0x21>o");
        row("register, none selected", reg(-1), " <0x10><0x0F>ES<0x21>P");
        // The register dialog's width prompt.
        row("width 0", widthAfter("0"), "07 00 0");
        row("width 5 with trailing letters", widthAfter("5x"), "07 05 0");
        row("width halves to even", widthAfter("4.5"), "07 04 0");
        row("width 6 is ignored", widthAfter("6"), "07 02 0");
        row("width -1 is ignored", widthAfter("-1"), "07 02 0");
        row("width too large for a small number", widthAfter("1e9"), "07 02 0");
        row("width abc reads as 0", widthAfter("abc"), "07 00 0");
        row("width cancelled is kept", widthAfter(std::nullopt), "07 02 0");
        row("width empty reads as 0", widthAfter(""), "07 00 0");
        // The EZ 95 panel's codes.
        const auto modeIndex = [](const char *name) { return int(ez95::ModeItems().indexOf(name)); };
        row("EZ 95 whole message",
            ez95::StartOfMessage("01") + ez95::StartOfText() +
                ez95::InsertMode(int(ez95::PositionItems().indexOf("Fill")), modeIndex("Hold")) + ez95::EndOfMessage(),
            "<&H01>Z01<&H02>AA<&H1B>0b<&H04>");
        row("EZ 95 bottom, scroll", ez95::InsertMode(2, modeIndex("Scroll")), "<&H1B>&m");
        row("EZ 95 rotate(c) is twinkle's code", ez95::InsertMode(-1, 2), "<&H1B>t");
        row("EZ 95 second sparkle", ez95::InsertMode(-1, int(ez95::ModeItems().lastIndexOf("Sparkle"))), "<&H1B>n0");
        row("EZ 95 no mode", ez95::InsertMode(-1, -1), "<&H1B>");
        row("EZ 95 autocolor", ez95::Color(int(ez95::ColorItems().indexOf("AutoColor"))), "<&H1C>C");
        row("EZ 95 no colour", ez95::Color(-1), "<&H1C>FFFF");
        row("EZ 95 time (c)", ez95::Special(11), "<T>");
        row("EZ 95 dbwd on", ez95::Special(2), "<&H1D>11");
    }
    void texts()
    {
        const auto [written, expected] = test::fetch<QString, QString>({"written", "expected"});
        QCOMPARE(written, expected);
    }
};

QTEST_APPLESS_MAIN(EditorsTest)
#include "tst_editors.moc"
