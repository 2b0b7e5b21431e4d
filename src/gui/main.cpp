#include "app/workspace.h"
#include "base/settingsstore.h"
#include "base/wait.h"
#include "gui/frmmain.h"
#include "gui/frmsplash.h"
#include "gui/widgetprompter.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    using namespace telvaro;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Telvaro"));
    QApplication::setOrganizationName(QStringLiteral("Telvaro"));
    // The desktop entry's name, so the desktop pairs the window with it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.telvaro.Telvaro"));

    auto *splash = new frmSplash;
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    WidgetPrompter prompter;
    SettingsStore settings;
    Workspace workspace(prompter);
    frmMain window(workspace, settings);
    prompter.setParentWidget(&window);
    window.Form_Load();

    Pause(1000);
    splash->close();
    window.show();
    return app.exec();
}
