// Shows the main window, opens the editors and the register dialog as an
// operator would and saves a picture of each: scripts/screenshots runs it on
// a virtual X server to make the README's pictures.
#include "gui/frmedita.h"
#include "gui/frmedits.h"
#include "gui/frmregister.h"
#include "windowfixture.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSlider>

using namespace telvaro;

namespace {

bool save(QWidget *window, const QString &path)
{
    QApplication::processEvents();
    const bool saved = window->grab().save(path);
    if (!saved)
        qWarning("could not write %s", qPrintable(path));
    return saved;
}

void choose(QWidget *window, const char *list, int row)
{
    test::child<QListWidget>(window, QString::fromLatin1(list))->setCurrentRow(row);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
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
    bool ok = save(&f.window, out.filePath(QStringLiteral("screenshot.png")));

    f.ws.SetOperatingMode(OperatingMode::ControllerLoad);
    f.window.boxWidget(Workspace::Box::Entry)->setText(QStringLiteral("<0x02>0000<0x1B>2A2P"));
    f.window.MnuSCPProtocol_Click();
    auto *scp = f.window.findChild<FrmEditS *>();
    choose(scp, "LstColor", 1);
    test::child<QSlider>(scp, QStringLiteral("SldFont"))->setValue(3);
    ok = save(scp, out.filePath(QStringLiteral("editor-scp.png"))) && ok;

    f.window.MnuADPProtocol_Click();
    auto *adp = f.window.findChild<FrmEditA *>();
    choose(adp, "LstColor", 2);
    choose(adp, "LstQuickForeColor", 3);
    choose(adp, "LstQuickModeT", 4);
    test::child<QPlainTextEdit>(adp, QStringLiteral("TxtQuickEdit"))
        ->setPlainText(QStringLiteral("Welcome\nOpen 9 to 5"));
    ok = save(adp, out.filePath(QStringLiteral("editor-adp.png"))) && ok;

    f.ws.registers().setEntry(3, {4, "0"});
    f.window.MnuRegister_Click();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<FrmRegister *>(w)) {
            test::child<QScrollBar>(w, QStringLiteral("VScroll1"))->setValue(3);
            ok = save(w, out.filePath(QStringLiteral("register-dialog.png"))) && ok;
        }
    return ok ? 0 : 1;
}
