#include "gui/frmmain.h"

#include "app/communication.h"
#include "app/helpfile.h"
#include "app/menus.h"
#include "base/settingsstore.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "gui/frmdisplayloaded.h"
#include "gui/frmprogress.h"
#include "gui/frmregister.h"
#include "gui/frmserialdevices.h"
#include "gui/frmsigntype.h"
#include "gui/frmsplash.h"
#include "gui/frmverify.h"
#include "gui/keyfilters.h"
#include "gui/screenfit.h"
#include "gui/statuspanel.h"
#include "signload/modes.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

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
const QString TranscriptKey = QStringLiteral("Transcript");
} // namespace

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
    new WindowsKeptOnScreen(this);
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
    wireFileCommands();
    wireLink();
    wireRun();
    wireEditors();

    for (int i = 0; i < ItemCount; ++i)
        renderItem(Item(i));
    for (int panel = 1; panel <= 3; ++panel)
        renderStatus(panel);
    renderGauge();
    fitMinimumToScreen();
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
    // Panel 1, the link's, names the transcript its traffic goes to.
    if (const QString transcript = m_ws.transcript().toolTip(); panel == 1 && !transcript.isEmpty())
        label->setToolTip(text + u'\n' + transcript);
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

void frmMain::showVerification(const ControllerVerification &verification)
{
    if (!verification.compared)
        return;
    if (!m_frmVerify)
        m_frmVerify = new FrmVerify(this);
    m_frmVerify->show(verification);
}

void frmMain::MnuComTranscript_Click()
{
    TranscriptRecorder &transcript = m_ws.transcript();
    if (transcript.recording())
        transcript.stop();
    else if (const auto path = m_ws.prompter().saveFileName(QStringLiteral("Record Transcript"),
                                                            QStringLiteral("Transcripts (*.log);;All Files (*)")))
        transcript.start(*path);
    m_settings.write(TranscriptKey, transcript.path());
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
    connect(action(Item::MnuComTranscript), &QAction::triggered, this, &frmMain::MnuComTranscript_Click);
    connect(&m_ws.transcript(), &TranscriptRecorder::recordingChanged, this, [this] { renderStatus(1); });
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
    // The transcript chosen before goes on; one that cannot is told and
    // forgotten.
    if (const QString transcript = m_settings.read(TranscriptKey, {}); !transcript.isEmpty())
        if (!m_ws.transcript().start(transcript))
            m_settings.write(TranscriptKey, {});
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

} // namespace telvaro
