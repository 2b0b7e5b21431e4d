// The "&Protocol" menu's editors and the register dialog, and the codes they
// put into the main window's entry box.

#include "gui/frmmain.h"

#include "gui/frmedita.h"
#include "gui/frmedits.h"
#include "gui/frmregister.h"
#include "gui/keyfilters.h"
#include "gui/screenfit.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace telvaro {

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
    QLineEdit *entry = boxWidget(Workspace::Box::Entry);
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
