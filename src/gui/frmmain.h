#pragma once
// The main window: renders the workspace and forwards events to it.

#include "app/workspace.h"
#include "base/items.h"
#include "gui/messagegrid.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <optional>
#include <utility>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace telvaro {

class FrmEditA;
class FrmEditS;
class FrmRegister;
class FrmVerify;
class ScrollingBody;
class SettingsStore;
class WindowOrder;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    frmMain(Workspace &workspace, SettingsStore &settings, QWidget *parent = nullptr);
    ~frmMain() override;

    Workspace &workspace() { return m_ws; }
    // Runs the main window load: restores geometry and settings.
    void Form_Load();

    QAction *action(Item item) const { return m_actions.value(item); }
    MessageGrid *grid() const { return m_grid; }
    QLineEdit *boxWidget(Workspace::Box which) const { return m_lineBoxes.value(which); }
    QLabel *statusLabel(int panel) const { return m_sbMain.value(panel); }
    QLabel *infoLabel(int panel) const { return m_sbInfo.value(panel); }

    // Places the working controls for the canvas's size, or for a client
    // area of the given size in twips.
    void Form_Resize();
    void Form_Resize(const QSizeF &clientTwips);

    // Twips per device-independent pixel on this screen (15 at 96 DPI).
    double twipsPerPixel() const;
    WindowGeometry geometryInTwips() const;

    // The editors' codes go into the entry box in place of its selection, or
    // at its caret; the caret ends behind them.
    void InsertInEntry(const QString &code);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

public Q_SLOTS:
    // The toolbar's buttons by key: New, Open, Save, Cut, Copy, Paste.
    void tbToolBar_ButtonClick(const QString &key);
    void MnuLoadSign_Click();
    void MnuDisplayLoaded_Click();
    void MnuComSerialDevices_Click();
    // Records every operation's link traffic to a chosen file, or no more.
    void MnuComTranscript_Click();
    void MnuAbout_Click();
    void MnuHelpOpen_Click();
    void mnuEditCut_Click();
    void mnuEditCopy_Click();
    void mnuEditPaste_Click();
    void MnuSCPProtocol_Click();
    void MnuADPProtocol_Click();
    void MnuRegister_Click();
    // What a read-back found; a read-back that did not end done was told.
    void showVerification(const ControllerVerification &verification);

private:
    // The menus, the toolbar and the commands they start (mainmenus.cpp).
    void buildMenus();
    void buildToolbar();
    void wireFileCommands();
    void wireEditCommands();
    void wireRun();
    // The working controls and their layout (maincanvas.cpp).
    void buildCentral();
    void wireEntryPanel();
    QLineEdit *clipboardBox(Workspace::ClipboardBox which) const;
    void bindBox(Workspace::Box which, QLineEdit *edit);
    void renderItem(Item item);
    void renderStatus(int panel);
    void renderGauge();
    void selectGridRow(int gridRow, int firstColumn, int lastColumn);
    // Moves and sizes the window to the pixel rectangle wanted, fitted to the
    // screen.
    void placeOnScreen(QRect wanted);
    QRect innerRect() const;
    QSize smallestWholeSize() const;
    // The smallest size, or less on a screen too small for it: the working
    // controls then scroll.
    void fitMinimumToScreen();
    int currentGridRow() const;
    void massFillFromSelection();
    // The Communication menu, "Quick Send" and the received-data box.
    void wireLink();
    void renderRecData();
    // The "&Protocol" menu's editors and the register dialog
    // (editorwiring.cpp).
    void wireEditors();
    void openEditor(QWidget *editor, QWidget *focus);

    Workspace &m_ws;
    SettingsStore &m_settings;
    QHash<Item, QAction *> m_actions;
    QHash<Workspace::Box, QLineEdit *> m_lineBoxes;
    QHash<int, QLabel *> m_sbMain;
    QHash<int, QLabel *> m_sbInfo;
    WindowOrder *m_windowOrder = nullptr;
    MessageGrid *m_grid = nullptr;
    ScrollingBody *m_body = nullptr;
    QWidget *m_canvas = nullptr;
    QWidget *m_fraSelect = nullptr;
    QPlainTextEdit *m_txtMessages = nullptr;
    QPlainTextEdit *m_txtRecData = nullptr;
    QString m_recDataShown;
    QLabel *m_lblBeginRepeat = nullptr;
    QLabel *m_lblMessageHeader = nullptr;
    QCheckBox *m_chkRepeat = nullptr;
    QPushButton *m_cmdQuickSend = nullptr;
    QToolButton *m_modeButton = nullptr;
    QPointer<FrmEditS> m_frmEditS;
    QPointer<FrmEditA> m_frmEditA;
    QPointer<FrmRegister> m_frmRegister;
    FrmVerify *m_frmVerify = nullptr;
    // Where Qt put the focus when it took it from the disabled Quick Send.
    QPointer<QWidget> m_focusTakenFromQuickSend;
    bool m_quickSendLostFocus = false;
    // The entry box's selection (start, length) as it lost the focus to
    // another box of this window.
    std::optional<std::pair<int, int>> m_entrySelection;
};

} // namespace telvaro
