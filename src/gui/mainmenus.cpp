// The main window's menus, toolbar and the commands they start.

#include "gui/frmmain.h"

#include "app/filecommands.h"
#include "app/menus.h"
#include "gui/frmpreview.h"
#include "gui/keyfilters.h"
#include "signload/modes.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

namespace telvaro {

// The "&File" menu drives the core's file commands; Exit comes back as a
// request to close the window.
void frmMain::wireFileCommands()
{
    frmMain &window = *this;
    auto *files = new FileCommands(window.workspace(), &window);
    files->setObjectName(QStringLiteral("fileCommands"));
    const struct {
        Item menu;
        void (FileCommands::*handler)();
    } commands[] = {{Item::mnuFileNew, &FileCommands::mnuFileNew_Click},
                    {Item::mnuFileOpen, &FileCommands::mnuFileOpen_Click},
                    {Item::mnuFileSave, &FileCommands::mnuFileSave_Click},
                    {Item::mnuFileExit, &FileCommands::mnuFileExit_Click}};
    for (const auto &c : commands)
        QObject::connect(window.action(c.menu), &QAction::triggered, files, c.handler);
    QObject::connect(files, &FileCommands::exitRequested, &window, &QWidget::close);
}

void frmMain::buildMenus()
{
    QHash<Item, QMenu *> menus;
    for (const MenuItemDef &def : MainMenuDefinition()) {
        QAction *act = nullptr;
        if (!def.parent) {
            const bool hasItems = std::any_of(MainMenuDefinition().begin(), MainMenuDefinition().end(),
                                              [&def](const MenuItemDef &d) { return d.parent == def.item; });
            if (hasItems) {
                QMenu *menu = menuBar()->addMenu(def.caption);
                menu->setObjectName(ItemName(def.item));
                menus.insert(def.item, menu);
                act = menu->menuAction();
            } else {
                // "Registers" is a command on the menu bar itself.
                act = menuBar()->addAction(def.caption);
            }
        } else {
            // In Sign Load mode "&Data Entry" shows beside this entry: the
            // access key moves so that each answers to its own.
            const QString caption =
                def.item == Item::MnuDisplayLoaded ? QStringLiteral("Display Loaded &Message") : def.caption;
            act = menus.value(*def.parent)->addAction(caption);
            if (!def.shortcut.isEmpty())
                act->setShortcut(QKeySequence(def.shortcut, QKeySequence::PortableText));
        }
        act->setObjectName(ItemName(def.item));
        m_actions.insert(def.item, act);
        // Qt toggles a checkable item on a click; the core decides its check,
        // so show the core's state again before the command runs.
        connect(act, &QAction::triggered, this, [this, item = def.item] { renderItem(item); });
    }
    QList<QAction *> withShortcuts;
    for (QAction *act : std::as_const(m_actions))
        if (!act->shortcut().isEmpty())
            withShortcuts << act;
    new MenuShortcutsFirst(*this, withShortcuts);
    for (Item checkable : {Item::MnuModeRun, Item::MnuModeData, Item::MnuLoadSign, Item::MnuLoadController,
                           Item::mnuTestMode, Item::mnuSignLoad, Item::mnuControllerLoad, Item::MnuComTranscript})
        m_actions.value(checkable)->setCheckable(true);
}

void frmMain::buildToolbar()
{
    QToolBar *tb = addToolBar(QStringLiteral("Toolbar"));
    tb->setObjectName(QStringLiteral("tbToolBar"));
    tb->setMovable(false);
    // Small icons keep the toolbar within the margin above the entry box.
    const int icon = style()->pixelMetric(QStyle::PM_SmallIconSize);
    tb->setIconSize(QSize(icon, icon));
    // The desktop theme's icons, our own where the theme has none.
    const struct {
        const char *key;
        const char *icon;
    } buttons[] = {{"New", "document-new"}, {"Open", "document-open"}, {"Save", "document-save"}, {nullptr, nullptr},
                   {"Cut", "edit-cut"},     {"Copy", "edit-copy"},     {"Paste", "edit-paste"},   {nullptr, nullptr}};
    for (const auto &b : buttons) {
        if (!b.key) {
            tb->addSeparator();
            continue;
        }
        const QString name = QString::fromLatin1(b.icon);
        const QIcon icon = QIcon::fromTheme(name, QIcon(QStringLiteral(":/icons/%1.svg").arg(name)));
        const QString key = QString::fromLatin1(b.key);
        QAction *act = tb->addAction(icon, key);
        act->setObjectName(QStringLiteral("tb") + key);
        act->setToolTip(key);
        connect(act, &QAction::triggered, this, [this, key] { tbToolBar_ButtonClick(key); });
    }
    m_modeButton = new QToolButton(tb);
    m_modeButton->setObjectName(QStringLiteral("tbSoftMode"));
    m_modeButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_modeButton->setPopupMode(QToolButton::MenuButtonPopup);
    connect(m_modeButton, &QToolButton::clicked, this, [this] { tbToolBar_ButtonClick(QStringLiteral("SoftMode")); });
    tb->addWidget(m_modeButton);
}

void frmMain::wireEditCommands()
{
    connect(action(Item::MnuEditClearMessage), &QAction::triggered, this, [this] { m_ws.MnuEditClearMessage_Click(); });
    connect(action(Item::mnuEditCut), &QAction::triggered, this, &frmMain::mnuEditCut_Click);
    connect(action(Item::mnuEditCopy), &QAction::triggered, this, &frmMain::mnuEditCopy_Click);
    connect(action(Item::mnuEditPaste), &QAction::triggered, this, &frmMain::mnuEditPaste_Click);
}

void frmMain::tbToolBar_ButtonClick(const QString &key)
{
    static const QHash<QString, Item> commands = {
        {QStringLiteral("New"), Item::mnuFileNew},   {QStringLiteral("Open"), Item::mnuFileOpen},
        {QStringLiteral("Save"), Item::mnuFileSave}, {QStringLiteral("Cut"), Item::mnuEditCut},
        {QStringLiteral("Copy"), Item::mnuEditCopy}, {QStringLiteral("Paste"), Item::mnuEditPaste}};
    // "SoftMode", the mode button itself, and any other key do nothing.
    const auto it = commands.constFind(key);
    if (it != commands.constEnd())
        action(*it)->trigger();
}

void frmMain::wireRun()
{
    connect(action(Item::MnuModeRun), &QAction::triggered, this, [this] { m_ws.MnuModeRun_Click(); });
    connect(action(Item::MnuModeData), &QAction::triggered, this, [this] { m_ws.MnuModeData_Click(); });
    connect(action(Item::MnuLoadSign), &QAction::triggered, this, &frmMain::MnuLoadSign_Click);
    connect(action(Item::MnuAbout), &QAction::triggered, this, &frmMain::MnuAbout_Click);
    connect(action(Item::MnuHelpOpen), &QAction::triggered, this, &frmMain::MnuHelpOpen_Click);
    connect(action(Item::MnuDisplayLoaded), &QAction::triggered, this, &frmMain::MnuDisplayLoaded_Click);
    // A serial load that ended done may be read back at once.
    connect(action(Item::MnuLoadController), &QAction::triggered, this, [this] {
        if (const auto verification = m_ws.OfferVerification(m_ws.MnuLoadController_Click()))
            showVerification(*verification);
    });
    connect(action(Item::MnuVerifyController), &QAction::triggered, this, [this] {
        if (const auto verification = m_ws.MnuVerifyController_Click())
            showVerification(*verification);
    });
    connect(action(Item::MnuUploadController), &QAction::triggered, this, [this] { m_ws.MnuUploadController_Click(); });
    connect(action(Item::MnuPreview), &QAction::triggered, this, [this] { FrmPreview::ShowFor(m_ws, this); });
    for (OperatingMode mode : {OperatingMode::Test, OperatingMode::SignLoad, OperatingMode::ControllerLoad})
        connect(action(UseModeItem(mode)), &QAction::triggered, this, [this, mode] { m_ws.SetOperatingMode(mode); });
    // The mode button shows the mode's picture and name.
    const auto showMode = [this] {
        const OperatingMode mode = m_ws.mode().mode();
        static const char *const pictures[] = {"mode-test", "mode-signload", "mode-controller"};
        m_modeButton->setIcon(
            QIcon(QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(pictures[ModeViewFor(mode).picture - 7]))));
        m_modeButton->setText(ModeKey(mode));
    };
    connect(&m_ws.mode(), &ModeState::modeChanged, this, showMode);
    showMode();
}

} // namespace telvaro
