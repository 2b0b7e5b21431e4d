// Shows the main window at its first-run size, at 640 x 480 and at
// 1024 x 768, opens the editors, the register dialog, the preview of a sign
// load, the progress window of a long frame with its time left, the serial
// devices dialog and the verify window as an operator would, and saves a
// picture of each: scripts/screenshots runs it on a virtual X server to make
// the README's pictures. With "large-font" as the second argument it saves
// only the main window, under the name for a larger system font; with
// "small-screen", the main window and the ADP editor as a small screen shows
// them.
#include "founddevices.h"
#include "gui/frmedita.h"
#include "gui/frmedits.h"
#include "gui/frmpreview.h"
#include "gui/frmprogress.h"
#include "gui/frmregister.h"
#include "gui/frmserialdevices.h"
#include "gui/frmverify.h"
#include "windowfixture.h"

#include <QDir>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSlider>

using namespace telvaro;
using test::child;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
    const bool largeFont = argc > 2 && qstrcmp(argv[2], "large-font") == 0;
    const bool smallScreen = argc > 2 && qstrcmp(argv[2], "small-screen") == 0;
    bool ok = true;
    const auto save = [&out, &ok](QWidget *window, const char *file) {
        QApplication::processEvents();
        if (!window->grab().save(out.filePath(QString::fromLatin1(file)))) {
            qWarning("could not write %s", file);
            ok = false;
        }
    };
    test::WindowFixture f;
    // The main window at its first-run size with a small table.
    const std::tuple<qint32, const char *, const char *> rows[] = {
        {2000, "<0x01>Z00<0x02>AA<0x1B> bOPEN 7 DAYS", "opening hours"},
        {3000, "<0x02>Now: <T><0x03>", "clock"},
        {4000, "<0x02>SALE<0x0D>", ""},
        {5000, "<0x02>Thank you<0x03>", "closing"}};
    for (const auto &[interval, text, comment] : rows) {
        f.ws.table().AppendEntry();
        f.ws.table().SetContents(f.ws.table().UpperIndex(), interval, text, {}, comment);
    }
    f.ws.table().RefreshGrid();
    f.window.boxWidget(Workspace::Box::Entry)->setText(QStringLiteral("<0x02>SALE<0x0D>"));
    QTest::qWait(300);
    if (largeFont) {
        save(&f.window, "main-large-font.png");
        return ok ? 0 : 1;
    }
    if (smallScreen) {
        save(&f.window, "main-small-screen.png");
        f.window.MnuADPProtocol_Click();
        QTest::qWait(200);
        save(f.window.findChild<FrmEditA *>(), "editor-adp-small-screen.png");
        return ok ? 0 : 1;
    }
    save(&f.window, "screenshot.png");
    const QSize firstRun = f.window.size();
    for (const auto &[size, file] :
         {std::pair{QSize(640, 480), "main-640x480.png"}, {QSize(1024, 768), "main-1024x768.png"}}) {
        f.window.resize(size);
        QTest::qWait(200);
        save(&f.window, file);
    }
    f.window.resize(firstRun);

    f.ws.SetOperatingMode(OperatingMode::ControllerLoad);
    f.window.boxWidget(Workspace::Box::Entry)->setText(QStringLiteral("<0x02>0000<0x1B>2A2P"));
    f.window.MnuSCPProtocol_Click();
    auto *scp = f.window.findChild<FrmEditS *>();
    child<QListWidget>(scp, "LstColor")->setCurrentRow(1);
    child<QSlider>(scp, "SldFont")->setValue(3);
    save(scp, "editor-scp.png");

    f.window.MnuADPProtocol_Click();
    auto *adp = f.window.findChild<FrmEditA *>();
    for (const auto &[list, row] : {std::pair{"LstColor", 2}, {"LstQuickForeColor", 3}, {"LstQuickModeT", 4}})
        child<QListWidget>(adp, list)->setCurrentRow(row);
    child<QPlainTextEdit>(adp, "TxtQuickEdit")->setPlainText(QStringLiteral("Welcome\nOpen 9 to 5"));
    save(adp, "editor-adp.png");

    f.ws.registers().setEntry(3, {4, "0"});
    f.window.MnuRegister_Click();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<FrmRegister *>(w)) {
            child<QScrollBar>(w, "VScroll1")->setValue(3);
            save(w, "register-dialog.png");
        }
    // The preview of a sign load of the table over UDP.
    f.ws.linkSettings().set({-1, "192.168.1.100", "3001", "9600", {}});
    f.ws.SetOperatingMode(OperatingMode::SignLoad);
    FrmPreview *preview = FrmPreview::ShowFor(f.ws, &f.window);
    QTest::qWait(300);
    save(preview, "preview.png");
    preview->close();
    // A sign load's long frame, four messages into a table as large as a
    // sign holds: the status line ends in an ellipsis and the window keeps
    // its width; under the bar, the time left of the load's plan.
    QList<MessageEntry> signFull;
    for (qint16 i = 0; i <= 8100; ++i)
        signFull.append({i, 0, "<0x02>OPEN 7 DAYS", {}, {}});
    const QList<MessageEntry> shown = f.ws.table().entries();
    f.ws.table().ReplaceAll(signFull);
    f.ws.menus().setChecked(Item::MnuLoadSign, true);
    QByteArray frame = "\x01Z00\x02"
                       "AA\x1B"
                       "0b";
    for (int line = 0; line < 200; ++line)
        frame += "OPEN 7 DAYS \x0D";
    frame += '\x04';
    f.ws.progress().Start();
    f.ws.status().setText(3, QStringLiteral("3"));
    f.ws.progress().Update(3, 8100, frame);
    QTest::qWait(600);
    if (auto *progress = f.window.findChild<frmProgress *>())
        save(progress, "progress.png");
    f.ws.progress().Done();
    f.ws.MnuModeData_Click();
    f.ws.table().ReplaceAll(shown);
    // Two adapters as a sign installation has them, the first assigned.
    test::FoundDevices found;
    const QString ftdi = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    found.list = {{"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI", 0x0403, 0x6001, ftdi},
                  {"/dev/ttyUSB1",
                   "USB-Serial Controller",
                   "Prolific Technology Inc.",
                   {},
                   0x067b,
                   0x2303,
                   "/dev/serial/by-id/usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0"},
                  {"/dev/ttyS0", {}, {}, {}, {}, {}, {}}};
    AssignSerialDevice(1, ftdi);
    FrmSerialDevices devices(f.ws, &f.window);
    devices.show();
    QTest::qWait(100);
    save(&devices, "serial-devices.png");
    devices.close();

    // A controller read back with one message changed and one register
    // set otherwise than on screen.
    ControllerVerification verification;
    verification.compared = true;
    ControllerComparison &comparison = verification.result.comparison;
    comparison.rows = {{"register 03", "\"0304 0\"", "\"0305 0\"", {}},
                       {"message 002", "\"<0x02>SALE<0x0D><0x04>\"", "\"<0x02>SOLD<0x0D><0x04>\"", {}}};
    for (ControllerDifference &d : comparison.rows)
        comparison.differences << d.what;
    verification.result.lines = DifferenceReport(comparison);
    FrmVerify verify(&f.window);
    verify.show(verification);
    QTest::qWait(100);
    save(&verify, "verify.png");
    return ok ? 0 : 1;
}
