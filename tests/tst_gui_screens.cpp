// Every window on a small screen: on 1024 x 768 at 150 % and on 800 x 600
// at 100 %, each lies on the screen and each of its controls can be
// scrolled into sight and is named for a screen reader.
#include "gui/frmprogress.h"
#include "windowfixture.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QTemporaryDir>

using namespace telvaro;

namespace {

struct ScreenCase {
    QSize pixels;
    int fontDpi; // 96: 100 %, 144: 150 %
};

const QStringList Windows = {"frmMain",          "FrmEditS",         "FrmEditA",    "FrmRegister", "FrmSignType",
                             "FrmDisplayLoaded", "FrmSerialDevices", "frmProgress", "FrmVerify",   "FrmPreview"};

// The screen this process runs on, in the same terms.
bool OnScreen(const ScreenCase &screen)
{
    const QScreen *s = QGuiApplication::primaryScreen();
    const double scale = screen.fontDpi / 96.0;
    return qFuzzyCompare(s->devicePixelRatio(), scale) &&
           s->geometry().size() == (QSizeF(screen.pixels) / scale).toSize();
}

// Runs this one row in a child process on the screen asked for.
void RunOnScreen(const ScreenCase &screen)
{
    QTemporaryDir dir;
    QFile config(dir.filePath("screen.json"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral(R"({"screens":[{"name":"small","x":0,"y":0,"width":%1,"height":%2,)"
                                R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})")
                     .arg(screen.pixels.width())
                     .arg(screen.pixels.height())
                     .toUtf8());
    config.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName());
    env.insert("TELVARO_SCREEN_CHILD", "1");
    env.insert("QT_FONT_DPI", QString::number(screen.fontDpi));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("%1:%2").arg(QTest::currentTestFunction(), QTest::currentDataTag())});
    QVERIFY(child.waitForFinished(30000));
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, child.readAll().constData());
}

// The part of the control that shows: its rectangle cut by every parent's.
QRect ShownPart(const QWidget *control)
{
    const QWidget *window = control->window();
    QRect shown(control->mapTo(window, QPoint()), control->size());
    for (const QWidget *p = control->parentWidget(); p && p != window; p = p->parentWidget())
        shown &= QRect(p->mapTo(window, QPoint()), p->size());
    return shown & window->rect();
}

} // namespace

Q_DECLARE_METATYPE(ScreenCase)

class GuiScreensTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyWindowOnTheScreen_data()
    {
        test::columns<ScreenCase, QString>({"screen", "window"});
        const std::pair<const char *, ScreenCase> screens[] = {{"1024x768 at 150%", {{1024, 768}, 144}},
                                                               {"800x600 at 100%", {{800, 600}, 96}}};
        for (const auto &[name, screen] : screens)
            for (const QString &window : Windows)
                QTest::addRow("%s, %s", name, qPrintable(window)) << screen << window;
    }
    void everyWindowOnTheScreen()
    {
        const auto [screen, name] = test::fetch<ScreenCase, QString>({"screen", "window"});
        if (!OnScreen(screen)) {
            QVERIFY2(qEnvironmentVariableIsEmpty("TELVARO_SCREEN_CHILD"), "the screen asked for was not given");
            RunOnScreen(screen);
            return;
        }
        test::WindowFixture f;
        QWidget *window = f.openEveryWindow(name);
        QVERIFY(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QApplication::processEvents();

        const QRect area = window->screen()->availableGeometry();
        QString where;
        QDebug(&where) << window->frameGeometry() << window->geometry() << window->pos() << "on" << area;
        QVERIFY2(area.contains(window->frameGeometry()), qPrintable(where));

        QHash<QString, QString> named; // accessible name: object name
        QStringList faults;
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if (w->window() != window || (w->focusPolicy() == Qt::NoFocus && !qobject_cast<QProgressBar *>(w)))
                continue;
            // A screen reader names every control that takes the focus, and
            // the progress bar, by its own name within its window.
            const QString accessible = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).trimmed();
            const QString what = w->objectName() + u'/' + w->metaObject()->className();
            if (accessible.isEmpty())
                faults << what + " unnamed";
            else if (named.contains(accessible))
                faults << what + " named " + accessible + " as " + named.value(accessible);
            named.insert(accessible, what);
            if (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(window))
                continue;
            // Scrolled to, from the innermost scrolling area out.
            for (QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
                if (auto *area = qobject_cast<QScrollArea *>(p); area && area->widget()->isAncestorOf(w))
                    area->ensureWidgetVisible(w, 0, 0);
            QApplication::processEvents();
            const QRect whole(w->mapTo(window, QPoint()), w->size());
            const QRect shown = ShownPart(w);
            // Larger than what holds it, it shows as much as fits.
            const bool reached = !shown.isEmpty() && (shown.width() == whole.width() || shown.width() >= 40) &&
                                 (shown.height() == whole.height() || shown.height() >= 20);
            if (!reached)
                QDebug(&faults.emplace_back()) << what << whole << "shows" << shown;
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
        if (window == &f.window)
            QCOMPARE(named.value("Message #") + u' ' + named.value("Interval"),
                     QStringLiteral("TxtMessageNumber/QLineEdit TxtInterval/QLineEdit"));
    }
};

QTEST_MAIN(GuiScreensTest)
#include "tst_gui_screens.moc"
