#include "gui/frmmain.h"

#include "app/communication.h"
#include "app/filecommands.h"
#include "app/helpfile.h"
#include "app/mainlayout.h"
#include "app/menus.h"
#include "base/settingsstore.h"
#include "base/wait.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "gui/editorcontrols.h"
#include "gui/frmdisplayloaded.h"
#include "gui/frmedita.h"
#include "gui/frmedits.h"
#include "gui/frmpreview.h"
#include "gui/frmprogress.h"
#include "gui/frmregister.h"
#include "gui/frmserialdevices.h"
#include "gui/frmsigntype.h"
#include "gui/frmsplash.h"
#include "signload/modes.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>

#include <algorithm>
#include <limits>

// The icons live in the widget library, which a linker may otherwise drop.
static void initIcons()
{
    Q_INIT_RESOURCE(icons);
}

namespace telvaro {

namespace {
using Box = Workspace::Box;

// Twips to pixels, kept within a range where later arithmetic on the
// pixels cannot overflow.
int toPixels(double twips, double twipsPerPixel)
{
    constexpr double limit = 1 << 24;
    return qRound(std::clamp(twips / twipsPerPixel, -limit, limit));
}

// The rectangle moved, and shrunk if it must, so that all of it lies on
// the screen's free area, as a window manager would keep it.
QRect keptOnScreen(QRect wanted, const QScreen *screen)
{
    if (!screen)
        return wanted;
    const QRect area = screen->availableGeometry();
    wanted.setSize(wanted.size().boundedTo(area.size()));
    wanted.moveLeft(std::clamp(wanted.left(), area.left(), area.right() + 1 - wanted.width()));
    wanted.moveTop(std::clamp(wanted.top(), area.top(), area.bottom() + 1 - wanted.height()));
    return wanted;
}

// A status panel: a text longer than the panel ends in "…", and the whole
// text is its tool tip. The panel asks for the room of the whole text.
class ElidingLabel : public QLabel {
public:
    using QLabel::QLabel;
    void setFullText(const QString &text)
    {
        m_full = text;
        setToolTip(text);
        updateGeometry();
        elide();
    }
    QSize sizeHint() const override
    {
        const int frame = width() - contentsRect().width();
        return {fontMetrics().horizontalAdvance(m_full) + frame + 2 * margin() + 4, QLabel::sizeHint().height()};
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        elide();
    }

private:
    void elide()
    {
        // Only what can fit is measured, so a long text costs no more than a
        // short one.
        const int room = contentsRect().width() - 2 * margin();
        const qsizetype fits = 2 * (room / qMax(1, fontMetrics().averageCharWidth()) + 2);
        setText(fontMetrics().elidedText(m_full.left(fits), Qt::ElideRight, room));
    }
    QString m_full;
};

QLabel *panelLabel(QStatusBar *bar, const QString &name, const QString &text, int stretch, bool eliding = false)
{
    QLabel *label = eliding ? new ElidingLabel(text, bar) : new QLabel(text, bar);
    label->setObjectName(name);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    bar->addPermanentWidget(label, stretch);
    return label;
}

// The menu's shortcuts run their commands wherever the focus is in the
// window: the text boxes would otherwise take Ctrl+C, Ctrl+V and Ctrl+A as
// their own copy, paste and select-all.
class MenuShortcutsFirst : public QObject {
public:
    MenuShortcutsFirst(QWidget &window, QList<QAction *> actions)
        : QObject(&window), m_window(window), m_actions(std::move(actions))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::ShortcutOverride || !watched->isWidgetType() ||
            static_cast<QWidget *>(watched)->window() != &m_window)
            return false;
        const QKeySequence keys(static_cast<QKeyEvent *>(event)->keyCombination());
        const bool menuKeys = std::any_of(m_actions.cbegin(), m_actions.cend(), [&keys](const QAction *a) {
            return a->isEnabled() && a->shortcut() == keys;
        });
        if (!menuKeys)
            return false;
        // Left unaccepted, the override lets the menu's shortcut fire.
        event->ignore();
        return true;
    }

private:
    QWidget &m_window;
    const QList<QAction *> m_actions;
};

// An access key acts in the window that has the focus. The editors share
// the main window's keys, so the menu bar's would otherwise open its menus
// over them, or take turns with their buttons.
class AccessKeysInTheActiveWindow : public QObject {
public:
    explicit AccessKeysInTheActiveWindow(QWidget &main) : QObject(&main), m_main(main)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        QWidget *active = QApplication::activeWindow();
        if (event->type() != QEvent::Shortcut || !watched->isWidgetType() || !active || active == &m_main)
            return false;
        const QKeySequence keys = static_cast<QShortcutEvent *>(event)->key();
        if (keys.count() != 1 || keys[0].keyboardModifiers() != Qt::AltModifier)
            return false;
        const QList<QAbstractButton *> buttons = active->findChildren<QAbstractButton *>();
        const auto own = std::find_if(buttons.cbegin(), buttons.cend(), [&keys](const QAbstractButton *b) {
            return b->isVisible() && b->isEnabled() && QKeySequence::mnemonic(b->text()) == keys;
        });
        if (own != buttons.cend()) {
            (*own)->setFocus(Qt::ShortcutFocusReason);
            (*own)->animateClick();
            return true;
        }
        // A label's key takes the focus to the control it names.
        const QList<QLabel *> labels = active->findChildren<QLabel *>();
        const auto label = std::find_if(labels.cbegin(), labels.cend(), [&keys](const QLabel *l) {
            return l->isVisible() && l->buddy() && l->buddy()->isEnabled() && QKeySequence::mnemonic(l->text()) == keys;
        });
        if (label != labels.cend()) {
            (*label)->buddy()->setFocus(Qt::ShortcutFocusReason);
            if (auto *button = qobject_cast<QAbstractButton *>((*label)->buddy()))
                button->animateClick();
            return true;
        }
        // The main window's own keys stay there.
        return static_cast<QWidget *>(watched)->window() == &m_main;
    }

private:
    QWidget &m_main;
};

// The "&File" menu drives the core's file commands; Exit comes back as a
// request to close the window.
void wireFileCommands(frmMain &window)
{
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

// Menus and tool tips are windows too, but nothing a shutdown closes.
bool isTransient(const QWidget *window)
{
    const Qt::WindowType type = window->windowType();
    return type == Qt::Popup || type == Qt::ToolTip;
}
} // namespace

// Notes the order in which the program's other windows open: the toolkit's
// list of windows is in no particular order, and a shutdown closes them
// newest first.
class WindowOrder : public QObject {
public:
    explicit WindowOrder(QWidget &main) : QObject(&main), m_main(main)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

    // The other windows open now, the most recently opened first; any opened
    // before the watch began count as the oldest.
    QWidgetList newestFirst() const
    {
        QWidgetList windows;
        for (auto it = m_opened.crbegin(); it != m_opened.crend(); ++it)
            if (*it && (*it)->isVisible())
                windows << *it;
        const QWidgetList all = QApplication::topLevelWidgets();
        for (QWidget *w : all)
            if (w != &m_main && w->isVisible() && !isTransient(w) && !windows.contains(w))
                windows << w;
        return windows;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show || event->spontaneous() || !watched->isWidgetType())
            return false;
        auto *window = static_cast<QWidget *>(watched);
        if (window->isWindow() && window != &m_main && !isTransient(window)) {
            // Opened again after closing, it is the newest.
            m_opened.removeIf([window](const QPointer<QWidget> &w) { return w.isNull() || w == window; });
            m_opened << window;
        }
        return false;
    }

private:
    QWidget &m_main;
    QList<QPointer<QWidget>> m_opened;
};

frmMain::frmMain(Workspace &workspace, SettingsStore &settings, QWidget *parent)
    : QMainWindow(parent), m_ws(workspace), m_settings(settings)
{
    initIcons();
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/telvaro.svg")));
    setWindowTitle(m_ws.caption());
    buildMenus();
    buildToolbar();
    buildCentral();
    wireEntryPanel();
    wireEditCommands();
    m_windowOrder = new WindowOrder(*this);
    new AccessKeysInTheActiveWindow(*this);
    auto *progress = new frmProgress(m_ws, this);
    connect(progress, &frmProgress::stopRequested, this, [this] { m_ws.MnuModeData_Click(); });

    connect(&m_ws.menus(), &MenuState::itemChanged, this, &frmMain::renderItem);
    connect(&m_ws, &Workspace::captionChanged, this, [this] { setWindowTitle(m_ws.caption()); });
    connect(&m_ws.status(), &StatusPanels::changed, this, &frmMain::renderStatus);
    connect(&m_ws.table(), &MessageTable::gaugeChanged, this, &frmMain::renderGauge);
    connect(&m_ws, &Workspace::gridSelectionRequested, this, &frmMain::selectGridRow);
    // The run's highlight moves the grid as a command does, not as the
    // operator: its selection handling does not run.
    connect(&m_ws.table(), &MessageTable::highlightRequested, this, [this](int row, int first, int last) {
        selectGridRow(row, first, last);
        m_grid->scrollTo(m_grid->currentIndex());
    });
    connect(&m_ws.table(), &MessageTable::refreshed, this, [this] {
        // Nothing shows the text view; it is filled only if it ever is.
        if (m_txtMessages->isVisible())
            m_txtMessages->setPlainText(BytesToText(m_ws.table().TextView()));
    });
    wireFileCommands(*this);
    wireLink();
    wireRun();
    wireEditors();

    for (int i = 0; i < ItemCount; ++i)
        renderItem(Item(i));
    for (int panel = 1; panel <= 3; ++panel)
        renderStatus(panel);
    renderGauge();
    setMinimumSize(smallestWholeSize());
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
                           Item::mnuTestMode, Item::mnuSignLoad, Item::mnuControllerLoad})
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

void frmMain::buildCentral()
{
    // The working controls sit on a canvas that Form_Resize lays out in
    // twips; the second status bar is docked below it.
    auto *central = new QWidget(this);
    auto *docked = new QVBoxLayout(central);
    docked->setContentsMargins(0, 0, 0, 0);
    docked->setSpacing(0);
    m_canvas = new QWidget(central);
    m_canvas->setObjectName(QStringLiteral("Canvas"));
    docked->addWidget(m_canvas, 1);

    auto *txtEntry = new QLineEdit(m_canvas);
    txtEntry->setObjectName(QStringLiteral("TxtEntry"));
    txtEntry->setAccessibleName(QStringLiteral("Message to Send"));
    bindBox(Box::Entry, txtEntry);
    // A selection kept from before a change of the text no longer applies.
    connect(txtEntry, &QLineEdit::textChanged, this, [this] { m_entrySelection.reset(); });

    auto *fraSelect = new QGroupBox(QStringLiteral("Selection and Operation"), m_canvas);
    m_fraSelect = fraSelect;
    fraSelect->setObjectName(QStringLiteral("FraSelect"));
    auto *grid = new QGridLayout(fraSelect);
    auto label = [fraSelect](const char *name, const char *text) {
        auto *l = new QLabel(QString::fromLatin1(text), fraSelect);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    auto button = [fraSelect](const char *name, const char *text) {
        auto *b = new QPushButton(QString::fromLatin1(text), fraSelect);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    auto *txtNumber = new QLineEdit(fraSelect);
    txtNumber->setObjectName(QStringLiteral("TxtMessageNumber"));
    auto *txtInterval = new QLineEdit(fraSelect);
    txtInterval->setObjectName(QStringLiteral("TxtInterval"));
    bindBox(Box::MessageNumber, txtNumber);
    bindBox(Box::Interval, txtInterval);
    QLabel *numberLabel = label("LblMessageNumber", "Message #");
    QLabel *intervalLabel = label("LblInt_Num", " Interval");
    nameBy(numberLabel, txtNumber);
    nameBy(intervalLabel, txtInterval);
    grid->addWidget(numberLabel, 0, 0);
    grid->addWidget(txtNumber, 0, 1);
    grid->addWidget(intervalLabel, 1, 0);
    grid->addWidget(txtInterval, 1, 1);
    grid->addWidget(button("CmdAddMessage", "Add Message"), 0, 2);
    grid->addWidget(button("CmdReplaceMessage", "Replace Message"), 1, 2);
    grid->addWidget(button("CmdLoadMessage", "Load Message"), 0, 3);
    grid->addWidget(button("CmdIncrement", "Increment"), 0, 4);
    grid->addWidget(button("CmdDecrement", "Decrement"), 1, 4);
    grid->addWidget(button("CmdSetRepeat", "Set Begin Repeat #"), 1, 3);
    m_chkRepeat = new QCheckBox(QStringLiteral("Enable Repeat"), fraSelect);
    m_chkRepeat->setObjectName(QStringLiteral("ChkRepeat"));
    connect(m_chkRepeat, &QCheckBox::toggled, this, [this](bool on) { m_ws.entry().setRepeatEnabled(on); });
    grid->addWidget(m_chkRepeat, 0, 5);
    m_lblBeginRepeat = label("LblBeginRepeat", "");
    m_lblBeginRepeat->setText(m_ws.box(Box::RepeatCaption));
    grid->addWidget(m_lblBeginRepeat, 1, 5);
    m_cmdQuickSend = button("CmdQuickSend", "Quick Send");
    grid->addWidget(m_cmdQuickSend, 0, 6);
    grid->addWidget(button("Cmd95ClearText", "Clear Entry"), 1, 6);
    auto *chkLoad = new QCheckBox(QStringLiteral("ADP Load Mode"), fraSelect);
    chkLoad->setObjectName(QStringLiteral("ChkLoad"));
    chkLoad->hide();
    m_lblMessageHeader = label("LblMessageHeader", "");
    m_lblMessageHeader->hide();
    // The comment box below the frame is captioned from inside it.
    QLabel *commentLabel = label("Label1", "Comments");
    grid->addWidget(commentLabel, 2, 0);
    // Wide enough for every number the boxes take (message 32765, interval
    // 600000), whatever the font.
    const int numberWidth = txtNumber->fontMetrics().horizontalAdvance(QStringLiteral("6000000")) + 8;
    txtNumber->setFixedWidth(numberWidth);
    txtInterval->setFixedWidth(numberWidth);
    fraSelect->setFixedSize(fraSelect->sizeHint());

    auto *txtComment = new QLineEdit(m_canvas);
    txtComment->setObjectName(QStringLiteral("Txt95DisplayText"));
    bindBox(Box::Comment, txtComment);
    nameBy(commentLabel, txtComment);

    m_grid = new MessageGrid(m_canvas);
    m_grid->setObjectName(QStringLiteral("MSFGMessages"));
    m_grid->setAccessibleName(QStringLiteral("Messages"));
    m_grid->setModel(&m_ws.table());
    m_grid->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_grid->verticalHeader()->setFont(m_grid->font());
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 4);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setWordWrap(false);
    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
    // The grid's events act on its current row, where the selection began.
    connect(m_grid, &QTableView::clicked, this, [this] { m_ws.MSFGMessages_Click(currentGridRow()); });
    connect(m_grid, &QTableView::doubleClicked, this, [this] { m_ws.MSFGMessages_DblClick(currentGridRow()); });
    connect(m_grid, &QTableView::pressed, this, [this] { m_ws.MSFGMessages_MouseDown(currentGridRow()); });
    connect(m_grid, &MessageGrid::selectionMoved, this, [this](int gridRow) { m_ws.MSFGMessages_SelChange(gridRow); });

    m_txtRecData = new QPlainTextEdit(m_canvas);
    m_txtRecData->setObjectName(QStringLiteral("TxtRecData"));
    m_txtRecData->setAccessibleName(QStringLiteral("Received Data"));
    // What the device said: read and copied, never typed over; Tab leaves.
    m_txtRecData->setReadOnly(true);
    m_txtRecData->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_txtRecData->setTabChangesFocus(true);

    m_txtMessages = new QPlainTextEdit(m_canvas);
    m_txtMessages->setObjectName(QStringLiteral("TxtMessages"));
    m_txtMessages->setAccessibleName(QStringLiteral("Message Table as Text"));
    m_txtMessages->hide();

    auto *sbInfo = new QStatusBar(central);
    sbInfo->setObjectName(QStringLiteral("SbInfo"));
    sbInfo->setSizeGripEnabled(false);
    const char *infoCaptions[] = {"Connection Status", "Sent Traffic", "Transmission #", "Date", "Time", "Count", "%"};
    for (int panel = 1; panel <= 7; ++panel)
        m_sbInfo.insert(panel, panelLabel(sbInfo, QStringLiteral("SbInfoPanel%1").arg(panel),
                                          QString::fromLatin1(infoCaptions[panel - 1]), panel <= 2 ? 2 : 1));
    docked->addWidget(sbInfo);
    setCentralWidget(central);
    // Where the controls stand before the first resize: the layout of a
    // window with room for a few grid rows.
    Form_Resize(QSizeF(7365, 6500));
    m_canvas->installEventFilter(this);

    QStatusBar *sbMain = statusBar();
    sbMain->setObjectName(QStringLiteral("SBMain"));
    for (int panel = 1; panel <= 3; ++panel) {
        // The link and traffic texts can be long: these panels give way,
        // the captions of the bar above them stay whole.
        QLabel *label = panelLabel(sbMain, QStringLiteral("SBMainPanel%1").arg(panel), {}, panel == 3 ? 1 : 3, true);
        label->setMinimumWidth(30);
        m_sbMain.insert(panel, label);
    }

    connect(&m_ws.entry(), &EntryPanel::boxChanged, this, [this](Box which) {
        if (which == Box::RepeatCaption)
            m_lblBeginRepeat->setText(m_ws.box(which));
        else if (which == Box::HeaderLabel)
            m_lblMessageHeader->setText(m_ws.box(which));
    });
}

void frmMain::wireEntryPanel()
{
    const QHash<QString, void (Workspace::*)()> buttons = {
        {QStringLiteral("CmdAddMessage"), &Workspace::CmdAddMessage_Click},
        {QStringLiteral("CmdReplaceMessage"), &Workspace::CmdReplaceMessage_Click},
        {QStringLiteral("CmdLoadMessage"), &Workspace::CmdLoadMessage_Click},
        {QStringLiteral("CmdIncrement"), &Workspace::CmdIncrement_Click},
        {QStringLiteral("CmdDecrement"), &Workspace::CmdDecrement_Click},
        {QStringLiteral("CmdSetRepeat"), &Workspace::CmdSetRepeat_Click},
        {QStringLiteral("Cmd95ClearText"), &Workspace::Cmd95ClearText_Click},
    };
    for (auto it = buttons.cbegin(); it != buttons.cend(); ++it) {
        auto *button = findChild<QPushButton *>(it.key());
        connect(button, &QPushButton::clicked, this, [this, handler = it.value()] { (m_ws.*handler)(); });
    }
    // Enter in the interval box, leaving the number box, and the three boxes'
    // focus flags are seen through an event filter.
    for (Box which : {Box::Interval, Box::MessageNumber, Box::Entry, Box::Comment})
        m_lineBoxes.value(which)->installEventFilter(this);
    m_txtMessages->installEventFilter(this);
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

QLineEdit *frmMain::clipboardBox(Workspace::ClipboardBox which) const
{
    switch (which) {
    case Workspace::ClipboardBox::Entry: return m_lineBoxes.value(Box::Entry);
    case Workspace::ClipboardBox::Comment: return m_lineBoxes.value(Box::Comment);
    default: return nullptr;
    }
}

void frmMain::mnuEditCopy_Click()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (m_ws.CopySource() == Workspace::ClipboardBox::Messages)
        clipboard->setText(m_txtMessages->textCursor().selectedText());
    else if (QLineEdit *source = clipboardBox(m_ws.CopySource()))
        clipboard->setText(source->selectedText());
}

void frmMain::mnuEditCut_Click()
{
    mnuEditCopy_Click();
    if (m_ws.CopySource() == Workspace::ClipboardBox::Messages)
        m_txtMessages->textCursor().removeSelectedText();
    else if (QLineEdit *source = clipboardBox(m_ws.CopySource()); source && source->hasSelectedText()) {
        source->del();
        m_ws.setBox(source == m_lineBoxes.value(Box::Entry) ? Box::Entry : Box::Comment, source->text());
    }
}

void frmMain::mnuEditPaste_Click()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (m_ws.PasteTarget() == Workspace::ClipboardBox::Messages) {
        m_txtMessages->insertPlainText(text);
    } else if (QLineEdit *target = clipboardBox(m_ws.PasteTarget())) {
        // Inserting replaces the selection, so an empty clipboard removes it
        // and leaves the text alone when nothing is selected.
        target->insert(text);
        m_ws.setBox(target == m_lineBoxes.value(Box::Entry) ? Box::Entry : Box::Comment, target->text());
    }
}

void frmMain::bindBox(Box which, QLineEdit *edit)
{
    m_lineBoxes.insert(which, edit);
    // A box shows the whole of what the table holds: Qt's default limit
    // would cut a long text and one keystroke would store the cut.
    edit->setMaxLength(std::numeric_limits<int>::max());
    edit->setText(m_ws.box(which));
    connect(edit, &QLineEdit::textEdited, this, [this, which, edit](const QString &text) {
        // Keep the caret at the same distance from the end when the box
        // rewrites what was typed (the interval box pads with zeros).
        const int fromEnd = text.size() - edit->cursorPosition();
        m_ws.setBox(which, text);
        if (edit->text() != text)
            edit->setCursorPosition(qMax(0, int(edit->text().size()) - fromEnd));
    });
    connect(&m_ws.entry(), &EntryPanel::boxChanged, edit, [this, which, edit](Box changed) {
        if (changed == which && edit->text() != m_ws.box(which))
            edit->setText(m_ws.box(which));
    });
}

int frmMain::currentGridRow() const
{
    // Before any cell is chosen the grid stands on its first row.
    const QModelIndex cell = m_grid->startCell();
    return cell.isValid() ? cell.row() + 1 : 1;
}

void frmMain::massFillFromSelection()
{
    const QModelIndex start = m_grid->startCell();
    const QModelIndex end = m_grid->endCell();
    if (!start.isValid() || !m_grid->selectionModel()->hasSelection())
        return;
    m_ws.MassFill(start.row() + 1, start.column(), end.row() + 1, end.column());
}

void frmMain::renderItem(Item item)
{
    const ItemState state = m_ws.menus().item(item);
    if (item == Item::CmdQuickSend) {
        // Qt hands the focus of a button it disables to the next one ("Clear
        // Entry"), where a second Space would wipe the message: the focus
        // comes back once the button is on again, unless the operator moved
        // it meanwhile.
        const bool hadFocus = focusWidget() == m_cmdQuickSend;
        m_cmdQuickSend->setEnabled(state.enabled);
        if (!state.enabled && hadFocus) {
            m_quickSendLostFocus = true;
            m_focusTakenFromQuickSend = focusWidget();
        } else if (state.enabled && m_quickSendLostFocus) {
            if (focusWidget() == m_focusTakenFromQuickSend.data())
                m_cmdQuickSend->setFocus(Qt::OtherFocusReason);
            m_quickSendLostFocus = false;
        }
        return;
    }
    QAction *act = action(item);
    if (!act)
        return;
    act->setVisible(state.visible);
    act->setEnabled(state.enabled);
    if (act->isCheckable())
        act->setChecked(state.checked);
}

void frmMain::renderStatus(int panel)
{
    QLabel *label = m_sbMain.value(panel);
    if (!label)
        return;
    QString text = m_ws.status().text(panel);
    // The bytes sent: control bytes, which a font draws as boxes or not at
    // all, in the notation the operator types them in.
    if (panel == 2) {
        QString shown;
        for (const QChar c : std::as_const(text))
            shown += c.isPrint() ? QString(c) : QString::fromLatin1(HexEscape(uchar(TextToBytes(QString(c)).at(0))));
        text = shown;
    }
    static_cast<ElidingLabel *>(label)->setFullText(text);
}

void frmMain::renderGauge()
{
    m_sbInfo.value(6)->setText(m_ws.table().GaugeCountText());
    m_sbInfo.value(7)->setText(m_ws.table().GaugePercentText());
}

void frmMain::selectGridRow(int gridRow, int firstColumn, int lastColumn)
{
    const QAbstractItemModel *model = m_grid->model();
    if (gridRow < 1 || gridRow > model->rowCount())
        return;
    m_grid->selectBlock(model->index(gridRow - 1, firstColumn), model->index(gridRow - 1, lastColumn));
}

void frmMain::wireRun()
{
    connect(action(Item::MnuModeRun), &QAction::triggered, this, [this] { m_ws.MnuModeRun_Click(); });
    connect(action(Item::MnuModeData), &QAction::triggered, this, [this] { m_ws.MnuModeData_Click(); });
    connect(action(Item::MnuLoadSign), &QAction::triggered, this, &frmMain::MnuLoadSign_Click);
    connect(action(Item::MnuAbout), &QAction::triggered, this, &frmMain::MnuAbout_Click);
    connect(action(Item::MnuHelpOpen), &QAction::triggered, this, &frmMain::MnuHelpOpen_Click);
    connect(action(Item::MnuDisplayLoaded), &QAction::triggered, this, &frmMain::MnuDisplayLoaded_Click);
    connect(action(Item::MnuLoadController), &QAction::triggered, this, [this] { m_ws.MnuLoadController_Click(); });
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

void frmMain::MnuAbout_Click()
{
    // The splash shows for two seconds over the window; nothing waits for
    // it, so runs and transfers go on and the window keeps reacting.
    auto *splash = new frmSplash;
    splash->adjustSize();
    QRect wanted(QPoint(), splash->size());
    wanted.moveCenter(frameGeometry().center());
    splash->move(keptOnScreen(wanted, screen()).topLeft());
    splash->show();
    splash->repaint();
    QTimer::singleShot(2000, Qt::PreciseTimer, splash, &QWidget::close);
}

void frmMain::MnuHelpOpen_Click()
{
    // Nothing to open it with, or nothing to open: the operator learns where
    // the manual belongs rather than seeing nothing happen.
    const QString path = HelpFilePath(QCoreApplication::applicationDirPath());
    if (!QFileInfo::exists(path))
        m_ws.prompter().inform(QStringLiteral("The manual is not installed. It belongs at:"),
                               QDir::toNativeSeparators(path));
    else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        m_ws.prompter().inform(QStringLiteral("No program here opens the manual. It is at:"),
                               QDir::toNativeSeparators(path));
}

void frmMain::MnuLoadSign_Click()
{
    // Nothing opens while another operation holds the link.
    if (!m_ws.menus().item(Item::MnuLoadSign).enabled)
        return;
    FrmSignType dialog(this);
    dialog.exec();
    m_ws.MnuLoadSign_Click(dialog.choice());
}

void frmMain::MnuDisplayLoaded_Click()
{
    FrmDisplayLoaded dialog(m_ws, this);
    dialog.exec();
}

void frmMain::MnuComSerialDevices_Click()
{
    if (!CommunicationAvailable(m_ws))
        return;
    FrmSerialDevices dialog(m_ws, this);
    dialog.exec();
}

void frmMain::wireLink()
{
    const struct {
        Item item;
        void (*handler)(Workspace &);
    } commands[] = {{Item::MnuComSetPort, MnuComSetPort_Click},
                    {Item::MnuComSetIP, MnuComSetIP_Click},
                    {Item::MnuComSetBaud, MnuComSetBaud_Click}};
    for (const auto &c : commands)
        connect(action(c.item), &QAction::triggered, this, [this, handler = c.handler] { handler(m_ws); });
    connect(action(Item::MnuComSerialDevices), &QAction::triggered, this, &frmMain::MnuComSerialDevices_Click);
    connect(m_cmdQuickSend, &QPushButton::clicked, this, [this] { m_ws.CmdQuickSend_Click(); });

    renderRecData();
    connect(&m_ws.entry(), &EntryPanel::boxChanged, this, [this](Box which) {
        if (which == Box::RecData)
            renderRecData();
    });
}

void frmMain::renderRecData()
{
    const QString text = m_ws.box(Box::RecData);
    if (text == m_recDataShown)
        return;
    // Arrivals only add at the end: append them rather than redraw it all.
    const bool appended = text.startsWith(m_recDataShown);
    QString added = appended ? text.mid(m_recDataShown.size()) : text;
    added.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_recDataShown = text;
    QSignalBlocker quiet(m_txtRecData);
    if (appended) {
        QTextCursor end(m_txtRecData->document());
        end.movePosition(QTextCursor::End);
        end.insertText(added);
    } else {
        m_txtRecData->setPlainText(added);
    }
    m_txtRecData->moveCursor(QTextCursor::End);
    m_txtRecData->ensureCursorVisible();
}

QRect frmMain::innerRect() const
{
    // The window's inside below its menu bar; the toolbar and the status
    // bars lie within it.
    const QWidget *bar = menuWidget();
    const int top = bar && bar->isVisible() ? bar->geometry().bottom() + 1 : 0;
    return QRect(0, top, width(), height() - top);
}

void frmMain::Form_Resize()
{
    const double tpp = twipsPerPixel();
    const QSize inner = innerRect().size();
    Form_Resize(QSizeF(inner.width() * tpp, inner.height() * tpp));
}

void frmMain::Form_Resize(const QSizeF &client)
{
    const double tpp = twipsPerPixel();
    // Measured from the window's inside, placed on the canvas.
    const QPoint origin = innerRect().topLeft() - m_canvas->mapTo(this, QPoint());
    const auto pixels = [tpp](double twips) { return int(std::lround(twips / tpp)); };
    const auto place = [&pixels, origin](QWidget *widget, const std::optional<TwipsRect> &r) {
        if (r)
            widget->setGeometry(
                QRect(pixels(r->left), pixels(r->top), pixels(r->width), pixels(r->height)).translated(origin));
    };
    // The specified 100 twips are less than a line: the box keeps one line.
    const double commentHeight = std::max(100.0, m_lineBoxes.value(Box::Comment)->sizeHint().height() * tpp);
    const TwipsRect select{0, 0, m_fraSelect->width() * tpp, m_fraSelect->height() * tpp};
    const MainLayout layout = telvaro::Form_Resize(client.width(), client.height(), select, commentHeight);
    place(m_lineBoxes.value(Box::Entry), layout.entry);
    place(m_fraSelect, layout.select);
    place(m_lineBoxes.value(Box::Comment), layout.comment);
    place(m_grid, layout.grid);
    if (layout.columns) {
        // Column 0, the message numbers, is the grid's fixed row header.
        m_grid->verticalHeader()->setFixedWidth(pixels((*layout.columns)[0]));
        for (int column = 1; column < MessageTable::ColumnCount; ++column)
            m_grid->setColumnWidth(column, pixels((*layout.columns)[size_t(column)]));
    }
    place(m_txtRecData, layout.recData);
}

double frmMain::twipsPerPixel() const
{
    const QScreen *s = screen();
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

WindowGeometry frmMain::geometryInTwips() const
{
    const double tpp = twipsPerPixel();
    return {pos().x() * tpp, pos().y() * tpp, width() * tpp, height() * tpp};
}

void frmMain::placeOnScreen(QRect wanted)
{
    // Never smaller than the size that shows every control whole.
    wanted.setSize(wanted.size().expandedTo(minimumSize()));
    const QScreen *target = QGuiApplication::screenAt(wanted.topLeft());
    wanted = keptOnScreen(wanted, target ? target : screen());
    move(wanted.topLeft());
    resize(wanted.size());
}

QSize frmMain::smallestWholeSize() const
{
    // The frame between its margins, and below it a grid with its header
    // and three rows above the received-data box: the layout gives the grid
    // what the inside has above 5000 twips.
    const double tpp = twipsPerPixel();
    const auto pixels = [tpp](double twips) { return int(std::ceil(twips / tpp)); };
    const int gridRows = m_grid->horizontalHeader()->sizeHint().height() +
                         3 * m_grid->verticalHeader()->defaultSectionSize() + 2 * m_grid->frameWidth();
    const int menu = menuWidget() ? menuWidget()->sizeHint().height() : 0;
    return QSize(m_fraSelect->width() + pixels(1000), menu + pixels(5000) + gridRows);
}

void frmMain::Form_Load()
{
    const Workspace::LoadOutcome outcome = m_ws.Form_Load(m_settings);
    // Each key read is applied; the others keep the design-time values, the
    // first run's.
    const WindowGeometry design;
    const double tpp = twipsPerPixel();
    placeOnScreen(QRect(toPixels(outcome.left.value_or(design.left), tpp),
                        toPixels(outcome.top.value_or(design.top), tpp),
                        qMax(1, toPixels(outcome.width.value_or(design.width), tpp)),
                        qMax(1, toPixels(outcome.height.value_or(design.height), tpp))));
    if (outcome.completed) {
        auto *modeMenu = new QMenu(m_modeButton);
        int index = 1;
        for (const char *mode : {"Test Mode", "Sign Load Mode", "Controller Load Mode"}) {
            QAction *act = modeMenu->addAction(QString::fromLatin1(mode));
            act->setObjectName(QStringLiteral("ButtonMenu%1").arg(index++));
            act->setData(QString::fromLatin1(mode));
        }
        connect(modeMenu, &QMenu::triggered, this,
                [this](QAction *act) { m_ws.tbToolBar_ButtonMenuClick(act->data().toString()); });
        m_modeButton->setMenu(modeMenu);
    }
    // What the operator types first goes into the message box.
    m_lineBoxes.value(Box::Entry)->setFocus(Qt::OtherFocusReason);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (!m_ws.ConfirmShutdown()) {
        event->ignore();
        return;
    }
    // A run or transfer waiting underneath must stop: once the program quits,
    // its waits return at once and it would otherwise send on without pause.
    // Nothing is sent; the link is released. Stopped first, its progress
    // window goes without asking again.
    if (m_ws.transfer().transmitting() != 0)
        m_ws.MnuModeData_Click();
    const QWidgetList others = m_windowOrder->newestFirst();
    for (QWidget *other : others)
        other->close();
    m_ws.SaveSettings(m_settings, isMinimized(), geometryInTwips());
    event->accept();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == m_canvas && type == QEvent::Resize)
        Form_Resize();
    if (type == QEvent::FocusIn || type == QEvent::FocusOut) {
        // Opening a menu or another window takes the focus only for a while:
        // the flags keep naming the box that was active before the command.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        const bool in = type == QEvent::FocusIn;
        if (!in && (reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason ||
                    reason == Qt::ActiveWindowFocusReason))
            return QMainWindow::eventFilter(watched, event);
        if (QLineEdit *entry = m_lineBoxes.value(Box::Entry); watched == entry) {
            m_ws.entry().EntryFocused = in;
            // Another box of this window takes the focus, and the entry box
            // drops its selection: kept here for the editors' codes.
            m_entrySelection.reset();
            if (!in && entry->hasSelectedText())
                m_entrySelection = std::pair{entry->selectionStart(), entry->selectionLength()};
        } else if (watched == m_lineBoxes.value(Box::Comment))
            m_ws.entry().Ez95TextFocused = in;
        else if (watched == m_txtMessages)
            m_ws.entry().MessagesFocused = in;
        else if (watched == m_lineBoxes.value(Box::MessageNumber) && !in)
            m_ws.TxtMessageNumber_LostFocus();
    }
    if (watched == m_lineBoxes.value(Box::Interval) && type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            m_ws.TxtInterval_KeyPress(Workspace::EnterKeyCode);
    }
    if (watched == m_grid->viewport() && (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                                          type == QEvent::MouseButtonDblClick)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            // The right button keeps the selection and the current cell for
            // the mass fill.
            if (type == QEvent::MouseButtonPress && m_grid->indexAt(mouse->position().toPoint()).isValid())
                m_ws.MSFGMessages_MouseDown(currentGridRow());
            if (type == QEvent::MouseButtonRelease)
                massFillFromSelection();
            return true;
        }
    }
    // The context-menu key's own event would fill a second time.
    if (watched == m_grid && type == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard)
        return true;
    if (watched == m_grid && type == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Delete) {
            m_ws.MSFGMessages_KeyDown(Workspace::DeleteKeyCode);
            return true;
        }
        // The keyboard's context-menu keys do what the right button does.
        if (key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
            massFillFromSelection();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

frmMain::~frmMain()
{
    // The register dialog has no owner window to take it along.
    delete m_frmRegister;
}

void frmMain::wireEditors()
{
    connect(action(Item::MnuSCPProtocol), &QAction::triggered, this, &frmMain::MnuSCPProtocol_Click);
    connect(action(Item::MnuADPProtocol), &QAction::triggered, this, &frmMain::MnuADPProtocol_Click);
    connect(action(Item::MnuRegister), &QAction::triggered, this, &frmMain::MnuRegister_Click);
}

void frmMain::InsertInEntry(const QString &code)
{
    // The box keeps its caret and selection while another window has the
    // focus, and the focus stays where the operator clicked. Inserting
    // counts as an edit, so the workspace hears of it as of typing.
    QLineEdit *entry = boxWidget(Box::Entry);
    if (m_entrySelection)
        entry->setSelection(m_entrySelection->first, m_entrySelection->second);
    entry->insert(code);
}

void frmMain::MnuSCPProtocol_Click()
{
    if (m_frmEditA)
        m_frmEditA->hide();
    if (!m_frmEditS) {
        m_frmEditS = new FrmEditS(*this);
        connect(m_frmEditS, &FrmEditS::closed, this, [this] { m_frmEditS.clear(); });
    }
    openEditor(m_frmEditS, m_frmEditS->cmdCode());
}

void frmMain::MnuADPProtocol_Click()
{
    // A hidden ADP editor comes back as it was; a closed one loads afresh.
    if (!m_frmEditA) {
        m_frmEditA = new FrmEditA(*this);
        connect(m_frmEditA, &FrmEditA::closed, this, [this] { m_frmEditA.clear(); });
    }
    openEditor(m_frmEditA, m_frmEditA->cmdCode());
}

void frmMain::openEditor(QWidget *editor, QWidget *focus)
{
    // At the main window's left edge, its top edge 4000 twips below the
    // main window's, kept whole on the screen and stepped aside from
    // another window standing on exactly that spot, which it would hide.
    if (!editor->testAttribute(Qt::WA_Resized)) {
        editor->ensurePolished();
        editor->adjustSize();
    }
    const QRect frame = frameGeometry();
    // Until it is shown its frame is not known; it has one like ours.
    const QSize outer = editor->isVisible() ? editor->frameGeometry().size() : editor->size() + frame.size() - size();
    QRect wanted(QPoint(frame.left(), frame.top() + toPixels(4000, twipsPerPixel())), outer);
    const auto taken = [editor](const QRect &spot) {
        const QWidgetList windows = QApplication::topLevelWidgets();
        return std::any_of(windows.cbegin(), windows.cend(), [editor, &spot](const QWidget *w) {
            return w != editor && w->isVisible() && !isTransient(w) && w->frameGeometry().topLeft() == spot.topLeft();
        });
    };
    wanted = keptOnScreen(wanted, screen());
    for (int step = 0; step < 8 && taken(wanted); ++step)
        wanted = keptOnScreen(wanted.translated(2 * fontMetrics().height(), 2 * fontMetrics().height()), screen());
    editor->move(wanted.topLeft());
    editor->show();
    editor->raise();
    editor->activateWindow();
    focus->setFocus(Qt::OtherFocusReason);
}

void frmMain::MnuRegister_Click()
{
    if (!m_frmRegister) {
        m_frmRegister = new FrmRegister(m_ws.registers(), m_ws.prompter());
        connect(m_frmRegister, &QDialog::finished, this, [this] { m_frmRegister.clear(); });
    }
    m_frmRegister->show();
    m_frmRegister->raise();
    m_frmRegister->activateWindow();
}

} // namespace telvaro
