// The editors' code texts without any window: every button's code, the
// quick-start codes, preview and message, the register field and the
// register dialog's working copy.
#include "editors/adpeditor.h"
#include "editors/quickstart.h"
#include "editors/registerfields.h"
#include "editors/scpeditor.h"
#include "scriptedprompter.h"

#include <QtTest>

using namespace telvaro;
using test::ScriptedPrompter;

Q_DECLARE_METATYPE(telvaro::ScpButton)
Q_DECLARE_METATYPE(telvaro::AdpButton)
Q_DECLARE_METATYPE(telvaro::OperatingMode)
Q_DECLARE_METATYPE(telvaro::ModeSwitchPlace)
Q_DECLARE_METATYPE(telvaro::QuickPreview)
Q_DECLARE_METATYPE(telvaro::QuickChoices)
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

QStringList storedCodes(const QuickStart &q)
{
    return {q.ModeCode(), q.FontCode(), q.ForeColorCode(), q.BackColorCode(), q.FlashCode()};
}

} // namespace

class EditorsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void scpButtonCodes_data()
    {
        QTest::addColumn<ScpButton>("button");
        QTest::addColumn<int>("colour");
        QTest::addColumn<int>("font");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("inserted");
        using B = ScpButton;
        const struct {
            const char *row;
            ScpButton button;
            int colour, font;
            const char *code, *inserted;
        } rows[] = {
            {"start", B::CmdSOT, -1, 1, "00", "<0x02>"},
            {"exception", B::CmdMode, -1, 1, "00", "<0x1B>"},
            {"flash whatever the controls", B::CmdFlash, 1, 3, "7", "2A"},
            {"fore, none selected", B::CmdColor, -1, 1, "00", "0P"},
            {"fore Red", B::CmdColor, 0, 1, "00", "1P"},
            {"fore Green", B::CmdColor, 1, 1, "00", "2P"},
            {"fore Autocolor", B::CmdColor, 11, 1, "00", "12P"},
            {"back, none selected", B::CmdBackColor, -1, 1, "00", "0G"},
            {"back Green", B::CmdBackColor, 1, 1, "00", "2G"},
            {"font lowest", B::CmdFont, -1, 1, "00", "1F"},
            {"font 3", B::CmdFont, -1, 3, "00", "3F"},
            {"font highest", B::CmdFont, -1, 16, "00", "16F"},
            {"left", B::CmdLJustification, -1, 1, "00", "1J"},
            {"middle", B::CmdMJustification, -1, 1, "00", "2J"},
            {"right", B::CmdRJustification, -1, 1, "00", "3J"},
            {"computer time", B::CmdComputerTime, -1, 1, "00", "<T>"},
            {"code as loaded", B::CmdCode, -1, 1, "00", "<0x00>"},
            {"code 7 gains its zero", B::CmdCode, -1, 1, "7", "<0x07>"},
            {"code 12", B::CmdCode, -1, 1, "12", "<0x12>"},
            {"code 1B as typed", B::CmdCode, -1, 1, "1B", "<0x1B>"},
            {"code 1E is no exponent", B::CmdCode, -1, 1, "1E", "<0x1E>"},
            {"code 0D is no exponent", B::CmdCode, -1, 1, "0D", "<0x0D>"},
            {"end", B::CmdEOT, -1, 1, "00", "<0x04>"},
        };
        for (const auto &r : rows)
            QTest::newRow(r.row) << r.button << r.colour << r.font << QString::fromLatin1(r.code)
                                 << QString::fromLatin1(r.inserted);
    }
    void scpButtonCodes()
    {
        QFETCH(ScpButton, button);
        QFETCH(int, colour);
        QFETCH(int, font);
        QFETCH(QString, code);
        QFETCH(QString, inserted);
        QCOMPARE(ScpCode(button, {colour, font, code}), inserted);
    }

    void adpButtonCodes_data()
    {
        QTest::addColumn<AdpButton>("button");
        QTest::addColumn<int>("colour");
        QTest::addColumn<int>("font");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("inserted");
        using B = AdpButton;
        const struct {
            const char *row;
            AdpButton button;
            const char *inserted;
        } fixed[] = {
            {"start of message", B::CmdSOT, "<0x01>"},
            {"start of text", B::CmdStartText, "<0x02>"},
            {"end of text", B::CmdETX, "<0x03>"},
            {"end of message", B::CmdEOT, "<0x04>"},
            {"mode", B::CmdMode, "<0x1B>"},
            {"flash", B::CmdFlash, "<0x07>"},
            {"fore, none selected: red", B::CmdColor, "<0x1C>1"},
            {"back, none selected: black", B::CmdBackColor, "<0x1D>B0"},
            {"left is a digit", B::CmdLJustification, "<0x0A>0"},
            {"middle is a digit", B::CmdMJustification, "<0x0A>1"},
            {"right is a digit", B::CmdRJustification, "<0x0A>2"},
            {"sign date", B::CmdSignDate, "<0x0B>"},
            {"sign time", B::CmdSignTime, "<0x13>"},
            {"computer time", B::CmdComputerTime, "<T>"},
            {"string file", B::CmdString, "<0x10>"},
        };
        for (const auto &r : fixed)
            QTest::newRow(r.row) << r.button << -1 << 0 << QStringLiteral("00") << QString::fromLatin1(r.inserted);
        const QString digits = QStringLiteral("123456789ABC");
        for (int i = 0; i < digits.size(); ++i) {
            QTest::addRow("fore %s", qPrintable(EditorColorNames()[i]))
                << B::CmdColor << i << 0 << QStringLiteral("00") << QStringLiteral("<0x1C>") + digits[i];
            QTest::addRow("back %s", qPrintable(EditorColorNames()[i]))
                << B::CmdBackColor << i << 0 << QStringLiteral("00") << QStringLiteral("<0x1D>B") + digits[i];
        }
        const QString fonts = QStringLiteral("0123456789:;<=>?");
        for (int f = 0; f < fonts.size(); ++f)
            QTest::addRow("font %d", f) << B::CmdFont << -1 << f << QStringLiteral("00")
                                        << QStringLiteral("<0x1A>") + fonts[f];
        for (const char *code : {"00", "7", "1B"})
            QTest::addRow("code %s", code) << B::CmdCode << -1 << 0 << QString::fromLatin1(code)
                                           << QStringLiteral("<0x%1>").arg(QString::fromLatin1(code), 2, u'0');
    }
    void adpButtonCodes()
    {
        QFETCH(AdpButton, button);
        QFETCH(int, colour);
        QFETCH(int, font);
        QFETCH(QString, code);
        QFETCH(QString, inserted);
        QCOMPARE(AdpCode(button, {colour, font, code}), inserted);
    }

    void quickStartListCodes_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QuickPreview>("preview");
        const QuickPreview loaded{Red, Black, 9};
        QTest::newRow("fore Black") << "fore" << 0 << "<0x1C>0" << QuickPreview{Black, Black, 9};
        QTest::newRow("fore Amber") << "fore" << 3 << "<0x1C>3" << QuickPreview{{255, 255, 0}, Black, 9};
        QTest::newRow("fore Yellow") << "fore" << 8 << "<0x1C>8" << QuickPreview{{200, 200, 0}, Black, 9};
        QTest::newRow("fore Rainbow 1: black on white") << "fore" << 9 << "<0x1C>9" << QuickPreview{Black, White, 9};
        QTest::newRow("fore Autocolor") << "fore" << 12 << "<0x1C>C" << QuickPreview{Black, White, 9};
        QTest::newRow("fore none selected: unchanged") << "fore" << -1 << "<0x1C>1" << loaded;
        QTest::newRow("back Dim Green") << "back" << 5 << "<0x1D>B5" << QuickPreview{Red, {0, 128, 0}, 9};
        QTest::newRow("back Orange") << "back" << 7 << "<0x1D>B7" << QuickPreview{Red, {175, 175, 0}, 9};
        QTest::newRow("back Color Mix: black on white") << "back" << 11 << "<0x1D>BB" << QuickPreview{Black, White, 9};
        QTest::newRow("back Autocolor") << "back" << 12 << "<0x1D>BC" << QuickPreview{Black, White, 9};
        QTest::newRow("back none selected: unchanged") << "back" << -1 << "<0x1D>B0" << loaded;
        QTest::newRow("font Five High") << "font" << 0 << "<0x1A>0" << QuickPreview{Red, Black, 8};
        QTest::newRow("font User 10") << "font" << 10 << "<0x1A>:" << QuickPreview{Red, Black, 18};
        QTest::newRow("font User 12") << "font" << 12 << "<0x1A><" << QuickPreview{Red, Black, 20};
        QTest::newRow("font User 15") << "font" << 15 << "<0x1A>?" << QuickPreview{Red, Black, 23};
        QTest::newRow("font none selected: unchanged") << "font" << -1 << "<0x1A>1" << loaded;
    }
    void quickStartListCodes()
    {
        QFETCH(QString, list);
        QFETCH(int, index);
        QFETCH(QString, stored);
        QFETCH(QuickPreview, preview);
        QuickStart q = loadedQuickStart();
        if (list == QLatin1String("fore")) {
            q.LstQuickForeColor_Click(index);
            QCOMPARE(q.ForeColorCode(), stored);
        } else if (list == QLatin1String("back")) {
            q.LstQuickBackColor_Click(index);
            QCOMPARE(q.BackColorCode(), stored);
        } else {
            q.LstQuickFont_Click(index);
            QCOMPARE(q.FontCode(), stored);
        }
        QCOMPARE(q.preview(), preview);
    }

    void quickStartModeCodes_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("modeCode");
        QTest::newRow("Fill, Hold") << 0 << 1 << "<0x1B>0b";
        QTest::newRow("Top, Rotate") << 1 << 0 << "<0x1B><0x22>a";
        QTest::newRow("Bottom, Unveil Up/Out") << 2 << 15 << "<0x1B>&p";
        QTest::newRow("Middle, Move Left") << 3 << 4 << "<0x1B><0x20>e";
        QTest::newRow("In/Out, Move Left") << 4 << 4 << "<0x1B>Ie<0x1B>Oe";
        QTest::newRow("no type: the first") << 0 << -1 << "<0x1B>0a";
        QTest::newRow("no position: unchanged") << -1 << 4 << "<0x1B>0b";
    }
    void quickStartModeCodes()
    {
        QFETCH(int, position);
        QFETCH(int, type);
        QFETCH(QString, modeCode);
        QuickStart q = loadedQuickStart();
        q.LstQuickModeP_Click(position, type);
        QCOMPARE(q.ModeCode(), modeCode);
    }

    void quickStartLoadedCodes()
    {
        QuickStart q = loadedQuickStart();
        QCOMPARE(storedCodes(q), (QStringList{"<0x1B>0b", "<0x1A>1", "<0x1C>1", "<0x1D>B0", "<0x07>0"}));
        QCOMPARE(q.preview(), (QuickPreview{Red, Black, 9}));
        q.ChkFlash_Click(true);
        QCOMPARE(q.FlashCode(), QStringLiteral("<0x07>1"));
    }

    void quickStartMessage_data()
    {
        QTest::addColumn<OperatingMode>("mode");
        QTest::addColumn<QuickChoices>("choices");
        QTest::addColumn<QString>("message");
        const QuickChoices loaded{QStringLiteral("00"), true, true, true, false, QStringLiteral("Message to Display")};
        const QString start = QStringLiteral("<0x01>Z00<0x02>AA");
        const QString end = QStringLiteral("<0x07>0Message to Display<0x04>");
        const QString codes = QStringLiteral("<0x1B>0b<0x1A>1<0x1C>1");
        for (const auto &[name, mode] :
             {std::pair{"Test", OperatingMode::Test}, std::pair{"SignLoad", OperatingMode::SignLoad},
              std::pair{"ControllerLoad", OperatingMode::ControllerLoad}}) {
            const QString head = mode == OperatingMode::SignLoad ? QString() : start;
            QTest::addRow("%s, as loaded", name) << mode << loaded << head + codes + end;
            QuickChoices none = loaded;
            none.mode = none.font = none.fore = false;
            QTest::addRow("%s, no box", name) << mode << none << head + end;
            QuickChoices back = loaded;
            back.back = true;
            QTest::addRow("%s, with back", name) << mode << back << head + codes + "<0x1D>B0" + end;
        }
        const struct {
            const char *row;
            bool mode, font, fore, back;
            const char *codes;
        } single[] = {
            {"mode only", true, false, false, false, "<0x1B>0b"},
            {"font only", false, true, false, false, "<0x1A>1"},
            {"fore only", false, false, true, false, "<0x1C>1"},
            {"back only", false, false, false, true, "<0x1D>B0"},
        };
        for (const auto &s : single)
            QTest::newRow(s.row) << OperatingMode::Test
                                 << QuickChoices{QStringLiteral("00"), s.mode, s.font, s.fore, s.back, loaded.text}
                                 << start + QString::fromLatin1(s.codes) + end;
        QTest::newRow("address and text as typed")
            << OperatingMode::Test << QuickChoices{"A1", false, false, false, false, "Hi there"}
            << "<0x01>ZA1<0x02>AA<0x07>0Hi there<0x04>";
        QTest::newRow("empty address and text")
            << OperatingMode::Test << QuickChoices{"", false, false, false, false, ""}
            << "<0x01>Z<0x02>AA<0x07>0<0x04>";
        QTest::newRow("line breaks") << OperatingMode::SignLoad
                                     << QuickChoices{"00", false, false, false, false, "AB\r\nCD\r\n\r\nE"}
                                     << "<0x07>0AB<0x0D>CD<0x0D><0x0D>E<0x04>";
        // A carriage return without its line feed keeps what follows it:
        // here the end byte.
        QTest::newRow("lone carriage return")
            << OperatingMode::SignLoad << QuickChoices{"00", false, false, false, false, "A\rB\r"}
            << "<0x07>0A<0x0D>B<0x0D><0x04>";
    }
    void quickStartMessage()
    {
        QFETCH(OperatingMode, mode);
        QFETCH(QuickChoices, choices);
        QFETCH(QString, message);
        QCOMPARE(BuildQuickMessage(mode, loadedQuickStart(), choices), message);
    }

    void registerInsert_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("field");
        const struct {
            const char *item;
            int index;
            const char *character;
        } rows[] = {{"01", 0, "Q"},  {"02", 1, "R"},  {"05", 4, "U"},  {"10", 9, "Z"}, {"11", 10, "["},
                    {"16", 15, "`"}, {"17", 16, "a"}, {"31", 30, "o"}, {"", -1, "P"}};
        for (const auto &r : rows)
            QTest::addRow("%s", r.index < 0 ? "none selected" : r.item)
                << r.index << QString::fromLatin1(r.item)
                << QStringLiteral("<0x10><0x0F>ES<0x21>") + QLatin1String(r.character);
    }
    void registerInsert()
    {
        QFETCH(int, index);
        QFETCH(QString, item);
        QFETCH(QString, field);
        QCOMPARE(RegisterNumberItems().value(index), item);
        QCOMPARE(RegisterInsertText(index), field);
    }

    void registerInsertVisibility_data()
    {
        QTest::addColumn<bool>("before");
        QTest::addColumn<OperatingMode>("mode");
        QTest::addColumn<ModeSwitchPlace>("from");
        QTest::addColumn<bool>("after");
        using M = OperatingMode;
        using P = ModeSwitchPlace;
        const struct {
            const char *row;
            bool before;
            M mode;
            P from;
            bool after;
        } rows[] = {
            {"menu, Controller Load shows", false, M::ControllerLoad, P::UseModeMenu, true},
            {"menu, Test leaves shown", true, M::Test, P::UseModeMenu, true},
            {"menu, Test leaves hidden", false, M::Test, P::UseModeMenu, false},
            {"menu, Sign Load leaves shown", true, M::SignLoad, P::UseModeMenu, true},
            {"menu, Sign Load leaves hidden", false, M::SignLoad, P::UseModeMenu, false},
            {"button, Controller Load shows", false, M::ControllerLoad, P::ModeButton, true},
            {"button, Test hides", true, M::Test, P::ModeButton, false},
            {"button, Sign Load hides", true, M::SignLoad, P::ModeButton, false},
        };
        for (const auto &r : rows)
            QTest::newRow(r.row) << r.before << r.mode << r.from << r.after;
    }
    void registerInsertVisibility()
    {
        QFETCH(bool, before);
        QFETCH(OperatingMode, mode);
        QFETCH(ModeSwitchPlace, from);
        QFETCH(bool, after);
        QCOMPARE(RegisterInsertShownAfterSwitch(before, mode, from), after);
        // Opening the editor: shown outside Test mode.
        QCOMPARE(RegisterInsertShownAtLoad(mode), mode != OperatingMode::Test);
    }

    void registerWidthAnswers_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QString>("width");
        const QString kept = QStringLiteral("02");
        QTest::newRow("3") << std::optional<QString>("3") << "03";
        QTest::newRow("0") << std::optional<QString>("0") << "00";
        QTest::newRow("5 with trailing letters") << std::optional<QString>("5x") << "05";
        QTest::newRow("half to even") << std::optional<QString>("4.5") << "04";
        QTest::newRow("6 is ignored") << std::optional<QString>("6") << kept;
        QTest::newRow("-1 is ignored") << std::optional<QString>("-1") << kept;
        QTest::newRow("too large for a small number") << std::optional<QString>("1e9") << kept;
        QTest::newRow("abc reads as 0") << std::optional<QString>("abc") << "00";
        QTest::newRow("empty reads as 0") << std::optional<QString>("") << "00";
        QTest::newRow("cancel reads as 0") << std::optional<QString>() << "00";
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
        table[0] = {4, "x"};
        table[12] = {5, "0"};
        table[20] = {1, "x"};
        table[31] = {3, " "};
        Registers registers;
        registers.setTable(table);
        RegisterSetup setup(registers.table());
        QCOMPARE((QStringList{setup.LblRegisterText(), setup.LblWidthText()}), (QStringList{"01", "00"}));
        QVERIFY(!setup.zeroesShown());

        setup.VScroll1_Change(12);
        QCOMPARE((QStringList{setup.LblRegisterText(), setup.LblWidthText()}), (QStringList{"12", "05"}));
        QVERIFY(setup.zeroesShown());
        // Zeroes chosen for register 3 are there again after scrolling away.
        setup.VScroll1_Change(3);
        setup.Opt0_Click();
        setup.VScroll1_Change(4);
        QVERIFY(!setup.zeroesShown());
        setup.VScroll1_Change(3);
        QVERIFY(setup.zeroesShown());
        // Spaces chosen for register 12 are kept as well.
        setup.VScroll1_Change(12);
        setup.OptSpace_Click();
        setup.VScroll1_Change(32);
        QCOMPARE(setup.LblRegisterText(), QStringLiteral("12"));
        QVERIFY(!setup.zeroesShown());
        // A fill other than a blank shows as zeroes, and is one once shown.
        setup.VScroll1_Change(20);
        QVERIFY(setup.zeroesShown());

        QCOMPARE(registers.table(), table);
        setup.CmdOK_Click(registers);
        RegisterTable written = table;
        written[3].Fill = "0";
        written[12].Fill = " ";
        written[20].Fill = "0";
        QCOMPARE(registers.table(), written);
    }
};

QTEST_APPLESS_MAIN(EditorsTest)
#include "tst_editors.moc"
