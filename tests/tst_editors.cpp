// The editors' and the EZ 95 panel's code texts without any window: the
// buttons' codes at the edges of their controls (the window suite presses
// each button once), the quick start's codes, preview and message, the
// register field and the register dialog's working copy.
#include "editors/adpeditor.h"
#include "editors/quickstart.h"
#include "editors/registerfields.h"
#include "editors/scpeditor.h"
#include "panels/ez95.h"
#include "scriptedprompter.h"

#include <QtTest>

using namespace telvaro;
using test::ScriptedPrompter;

Q_DECLARE_METATYPE(telvaro::QuickPreview)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

constexpr Rgb Red{255, 0, 0};
constexpr Rgb Black{0, 0, 0};
constexpr Rgb White{255, 255, 255};

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

} // namespace

class EditorsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void codes_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QString &written, const char *expected) {
            QTest::newRow(name) << written << QString(expected);
        };
        using S = ScpButton;
        using A = AdpButton;
        row("SCP fore, none selected", ScpCode(S::CmdColor, {-1, 1, "00"}), "0P");
        row("SCP fore Red", ScpCode(S::CmdColor, {0, 1, "00"}), "1P");
        row("SCP fore Autocolor", ScpCode(S::CmdColor, {11, 1, "00"}), "12P");
        row("SCP back, none selected", ScpCode(S::CmdBackColor, {-1, 1, "00"}), "0G");
        row("SCP back Autocolor", ScpCode(S::CmdBackColor, {11, 1, "00"}), "12G");
        row("SCP font lowest", ScpCode(S::CmdFont, {-1, 1, "00"}), "1F");
        row("SCP font highest", ScpCode(S::CmdFont, {-1, 16, "00"}), "16F");
        row("code as loaded", ScpCode(S::CmdCode, {-1, 1, "00"}), "<0x00>");
        row("code 12", ScpCode(S::CmdCode, {-1, 1, "12"}), "<0x12>");
        row("code 1E is no exponent", ScpCode(S::CmdCode, {-1, 1, "1E"}), "<0x1E>");
        row("code 0D is no exponent", AdpCode(A::CmdCode, {-1, 0, "0D"}), "<0x0D>");
        row("ADP fore, none selected: red", AdpCode(A::CmdColor, {-1, 0, "00"}), "<0x1C>1");
        row("ADP fore Red", AdpCode(A::CmdColor, {0, 0, "00"}), "<0x1C>1");
        row("ADP fore Autocolor", AdpCode(A::CmdColor, {11, 0, "00"}), "<0x1C>C");
        row("ADP back, none selected: black", AdpCode(A::CmdBackColor, {-1, 0, "00"}), "<0x1D>B0");
        row("ADP back Red", AdpCode(A::CmdBackColor, {0, 0, "00"}), "<0x1D>B1");
        row("ADP back Autocolor", AdpCode(A::CmdBackColor, {11, 0, "00"}), "<0x1D>BC");
        row("ADP font 0", AdpCode(A::CmdFont, {-1, 0, "00"}), "<0x1A>0");
        row("ADP font 9", AdpCode(A::CmdFont, {-1, 9, "00"}), "<0x1A>9");
        row("ADP font 10", AdpCode(A::CmdFont, {-1, 10, "00"}), "<0x1A>:");
        row("ADP font 15", AdpCode(A::CmdFont, {-1, 15, "00"}), "<0x1A>?");
        // The quick start's mode lists: the position, then the type.
        const auto mode = [](int position, int type) {
            QuickStart q = loadedQuickStart();
            q.LstQuickModeP_Click(position, type);
            return q.ModeCode();
        };
        row("mode Top, Rotate", mode(1, 0), "<0x1B><0x22>a");
        row("mode Bottom, Unveil Up/Out", mode(2, 15), "<0x1B>&p");
        row("mode Middle, Move Left", mode(3, 4), "<0x1B><0x20>e");
        row("mode In/Out, Move Left", mode(4, 4), "<0x1B>Ie<0x1B>Oe");
        row("mode without a type: the first", mode(0, -1), "<0x1B>0a");
        row("mode without a position: unchanged", mode(-1, 4), "<0x1B>0b");
        // The register list's item and the field "Register Insert" puts in.
        const auto reg = [](int index) {
            return RegisterNumberItems().value(index) + u' ' + RegisterInsertText(index);
        };
        row("register 01", reg(0), "01 <0x10><0x0F>ES<0x21>Q");
        row("register 05", reg(4), "05 <0x10><0x0F>ES<0x21>U");
        row("register 10", reg(9), "10 <0x10><0x0F>ES<0x21>Z");
        row("register 11", reg(10), "11 <0x10><0x0F>ES<0x21>[");
        row("register 17", reg(16), "17 <0x10><0x0F>ES<0x21>a");
        row("register 31", reg(30), "31 <0x10><0x0F>ES<0x21>o");
        row("register, none selected", reg(-1), " <0x10><0x0F>ES<0x21>P");
        // The quick start's message with the boxes ticked: Mode, Font, fore
        // Colour, Back colour.
        const auto quick = [](OperatingMode mode, const char *address, const QString &boxes, const char *text) {
            const QuickChoices choices{
                address, boxes.contains(u'M'), boxes.contains(u'F'), boxes.contains(u'C'), boxes.contains(u'B'), text};
            return BuildQuickMessage(mode, loadedQuickStart(), choices);
        };
        using M = OperatingMode;
        row("message, mode only", quick(M::Test, "00", "M", "T"), "<0x01>Z00<0x02>AA<0x1B>0b<0x07>0T<0x04>");
        row("message, font only", quick(M::Test, "00", "F", "T"), "<0x01>Z00<0x02>AA<0x1A>1<0x07>0T<0x04>");
        row("message, fore only", quick(M::Test, "00", "C", "T"), "<0x01>Z00<0x02>AA<0x1C>1<0x07>0T<0x04>");
        row("message, back only", quick(M::ControllerLoad, "00", "B", "T"), "<0x01>Z00<0x02>AA<0x1D>B0<0x07>0T<0x04>");
        row("message, Sign Load, every box", quick(M::SignLoad, "00", "MFCB", "T"),
            "<0x1B>0b<0x1A>1<0x1C>1<0x1D>B0<0x07>0T<0x04>");
        row("message, Sign Load, no box", quick(M::SignLoad, "00", "", "T"), "<0x07>0T<0x04>");
        row("message, address and text as typed", quick(M::Test, "A1", "", "Hi there"),
            "<0x01>ZA1<0x02>AA<0x07>0Hi there<0x04>");
        row("message, empty address and text", quick(M::Test, "", "", ""), "<0x01>Z<0x02>AA<0x07>0<0x04>");
        row("message, line breaks", quick(M::SignLoad, "00", "", "AB\r\nCD\r\n\r\nE"),
            "<0x07>0AB<0x0D>CD<0x0D><0x0D>E<0x04>");
        // A carriage return without its line feed keeps what follows it:
        // here the end byte.
        row("message, lone carriage return", quick(M::SignLoad, "00", "", "A\rB\r"), "<0x07>0A<0x0D>B<0x0D><0x04>");
        // The EZ 95 panel's codes, by their items' names.
        using namespace ez95;
        const auto modeNamed = [](const char *name) { return int(ModeItems().indexOf(name)); };
        row("EZ 95 message",
            StartOfMessage("01") + StartOfText() + InsertMode(int(PositionItems().indexOf("Fill")), modeNamed("Hold")) +
                EndOfMessage(),
            "<&H01>Z01<&H02>AA<&H1B>0b<&H04>");
        row("EZ 95 bottom, scroll", InsertMode(2, modeNamed("Scroll")), "<&H1B>&m");
        row("EZ 95 twinkle", InsertMode(-1, modeNamed("Twinkle")), "<&H1B>t");
        row("EZ 95 rotate(c), the same code", InsertMode(-1, 2), "<&H1B>t");
        row("EZ 95 second sparkle", InsertMode(-1, int(ModeItems().lastIndexOf("Sparkle"))), "<&H1B>n0");
        row("EZ 95 nothing chosen", InsertMode(-1, -1), "<&H1B>");
        row("EZ 95 autocolor", Color(int(ColorItems().indexOf("AutoColor"))), "<&H1C>C");
        row("EZ 95 no colour", Color(-1), "<&H1C>FFFF");
        row("EZ 95 time (c)", Special(11), "<T>");
        row("EZ 95 dbwd on", Special(2), "<&H1D>11");
        row("EZ 95 no special", Special(-1), "");
    }
    void codes()
    {
        QFETCH(QString, written);
        QFETCH(QString, expected);
        QCOMPARE(written, expected);
    }

    // The fore colour, back colour and font lists clicked in that order
    // (-1: nothing selected) after loading.
    void quickStartListCodes_data()
    {
        QTest::addColumn<int>("fore");
        QTest::addColumn<int>("back");
        QTest::addColumn<int>("font");
        QTest::addColumn<QString>("codes"); // font, fore, back
        QTest::addColumn<QuickPreview>("preview");
        const auto row = [](const char *name, int fore, int back, int font, const char *codes, QuickPreview p) {
            QTest::newRow(name) << fore << back << font << QString(codes) << p;
        };
        row("nothing selected keeps the loaded", -1, -1, -1, "<0x1A>1 <0x1C>1 <0x1D>B0", {Red, Black, 9});
        row("Black on Orange, Five High", 0, 7, 0, "<0x1A>0 <0x1C>0 <0x1D>B7", {Black, {175, 175, 0}, 8});
        row("Amber on Dim Green, User 10", 3, 5, 10, "<0x1A>: <0x1C>3 <0x1D>B5", {{255, 255, 0}, {0, 128, 0}, 18});
        row("Yellow, User 15", 8, -1, 15, "<0x1A>? <0x1C>8 <0x1D>B0", {{200, 200, 0}, Black, 23});
        row("fore Rainbow 1: black on white", 9, -1, -1, "<0x1A>1 <0x1C>9 <0x1D>B0", {Black, White, 9});
        row("fore Autocolor", 12, -1, -1, "<0x1A>1 <0x1C>C <0x1D>B0", {Black, White, 9});
        row("back Color Mix: black on white", -1, 11, -1, "<0x1A>1 <0x1C>1 <0x1D>BB", {Black, White, 9});
        row("back Autocolor", -1, 12, -1, "<0x1A>1 <0x1C>1 <0x1D>BC", {Black, White, 9});
    }
    void quickStartListCodes()
    {
        QFETCH(int, fore);
        QFETCH(int, back);
        QFETCH(int, font);
        QFETCH(QString, codes);
        QFETCH(QuickPreview, preview);
        QuickStart q = loadedQuickStart();
        q.LstQuickForeColor_Click(fore);
        q.LstQuickBackColor_Click(back);
        q.LstQuickFont_Click(font);
        QCOMPARE((QStringList{q.FontCode(), q.ForeColorCode(), q.BackColorCode()}).join(u' '), codes);
        QCOMPARE(q.preview(), preview);
    }

    void registerWidthAnswers_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QString>("width");
        const auto row = [](const char *name, std::optional<QString> answer, const char *width) {
            QTest::newRow(name) << answer << QString(width);
        };
        row("3", "3", "03");
        row("0", "0", "00");
        row("5 with trailing letters", "5x", "05");
        row("half to even", "4.5", "04");
        row("6 is ignored", "6", "02");
        row("-1 is ignored", "-1", "02");
        row("too large for a small number", "1e9", "02");
        row("abc reads as 0", "abc", "00");
        row("empty reads as 0", "", "00");
        row("cancel reads as 0", std::nullopt, "00");
    }
    void registerWidthAnswers()
    {
        QFETCH(std::optional<QString>, answer);
        QFETCH(QString, width);
        RegisterTable table;
        table[7] = {2, "0"};
        RegisterSetup setup(table);
        setup.VScroll1_Change(7);
        ScriptedPrompter prompter;
        if (answer)
            prompter.type(*answer);
        else
            prompter.cancelInput();
        setup.LblWidth_Click(prompter);
        QCOMPARE(prompter.shown.size(), 1);
        QCOMPARE(prompter.shown[0].text,
                 QStringLiteral("Enter the width the Register will occupy\r\nValue must be in a range from 0 to 5"));
        QCOMPARE(prompter.shown[0].title, QStringLiteral("Register Size"));
        QCOMPARE(prompter.shown[0].defaultAnswer, QStringLiteral("0"));
        QCOMPARE((QStringList{setup.LblRegisterText(), setup.LblWidthText()}), (QStringList{"07", width}));
        QVERIFY(setup.zeroesShown());
    }

    void registerSetupWorkingCopy()
    {
        RegisterTable table;
        table[0] = {4, " "};
        table[1] = {5, "x"};
        table[20] = {1, "x"};
        table[31] = {3, " "};
        Registers registers;
        registers.setTable(table);
        RegisterSetup setup(registers.table());
        const auto shown = [&setup] {
            return QStringList{setup.LblRegisterText(), setup.LblWidthText(), setup.zeroesShown() ? "0" : " "};
        };
        // A fill other than a blank shows as zeroes, and is one once shown.
        QCOMPARE(shown(), (QStringList{"01", "05", "0"}));
        setup.OptSpace_Click();
        setup.VScroll1_Change(31);
        QCOMPARE(shown(), (QStringList{"31", "03", " "}));
        setup.Opt0_Click();
        setup.VScroll1_Change(32); // no such registers
        setup.VScroll1_Change(0);
        QCOMPARE(shown(), (QStringList{"31", "03", "0"}));
        setup.VScroll1_Change(20);
        setup.VScroll1_Change(1);
        QCOMPARE(shown(), (QStringList{"01", "05", " "}));

        QCOMPARE(registers.table(), table);
        setup.CmdOK_Click(registers);
        RegisterTable written = table;
        written[1].Fill = " ";
        written[20].Fill = "0";
        written[31].Fill = "0";
        QCOMPARE(registers.table(), written);
    }
};

QTEST_APPLESS_MAIN(EditorsTest)
#include "tst_editors.moc"
