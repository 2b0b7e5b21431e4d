// The main window's working controls: built on a canvas, laid out in twips
// as the window resizes, and the window kept on its screen.

#include "gui/frmmain.h"

#include "app/mainlayout.h"
#include "gui/editorcontrols.h"
#include "gui/screenfit.h"
#include "gui/scrollingbody.h"
#include "gui/statuspanel.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

#include <cmath>

namespace telvaro {

namespace {
using Box = Workspace::Box;
} // namespace

void frmMain::buildCentral()
{
    // The working controls sit on a canvas that Form_Resize lays out in
    // twips; the second status bar is docked below it. On a screen too
    // small for them, they scroll.
    m_body = new ScrollingBody(this);
    QWidget *central = m_body->widget();
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
    setCentralWidget(m_body);
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
    // Scrolled, the controls are laid out for the inside their content
    // would need.
    const QSize scrolled = (m_body->widget()->size() - m_body->viewport()->size()).expandedTo(QSize(0, 0));
    const QSize inner = innerRect().size() + scrolled;
    Form_Resize(QSizeF(inner.width() * tpp, inner.height() * tpp));
}

void frmMain::Form_Resize(const QSizeF &client)
{
    const double tpp = twipsPerPixel();
    // Measured from the window's inside, placed on the canvas.
    // (Where the body is scrolled, from where it would stand unscrolled.)
    const QPoint origin =
        innerRect().topLeft() - m_body->mapTo(this, QPoint()) - m_canvas->mapTo(m_body->widget(), QPoint());
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

void frmMain::fitMinimumToScreen()
{
    const QSize whole = smallestWholeSize();
    // The bars above and below the body keep their heights; what is left
    // of the smallest size is the least the content takes before it
    // scrolls.
    layout()->activate();
    const QSize around(0, height() - m_body->height());
    m_body->setSurroundings(around);
    m_body->widget()->setMinimumSize(whole - around);
    setMinimumSize(whole.boundedTo(roomOnScreen(this)));
}

} // namespace telvaro
