#include "gui/frmpreview.h"

#include "app/workspace.h"
#include "codec/codepage.h"
#include "plan/planpreview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace telvaro {

namespace {

// Edits come in bursts (a paste, a file opened): one plan after the last.
constexpr int replanDelayMs = 150;

QString OperationName(PlannedOperation operation)
{
    switch (operation) {
    case PlannedOperation::SignLoad: return QStringLiteral("Load Sign");
    case PlannedOperation::ControllerLoad: return QStringLiteral("Load Controller");
    default: return QStringLiteral("Run");
    }
}

} // namespace

FrmPreview::FrmPreview(Workspace &workspace, QWidget *owner)
    : QWidget(owner, Qt::Window), m_ws(workspace), m_preview(new PlanPreview(this)), m_replan(new QTimer(this))
{
    setObjectName(QStringLiteral("FrmPreview"));
    setWindowTitle(QStringLiteral("Preview"));
    m_what = new QLabel(this);
    m_what->setObjectName(QStringLiteral("LblWhat"));

    m_signOptions = new QWidget(this);
    m_signType = new QComboBox(m_signOptions);
    m_signType->setObjectName(QStringLiteral("CmbSignType"));
    m_signType->setAccessibleName(QStringLiteral("Sign type"));
    m_signType->addItem(QStringLiteral("Vyrena Sign Type"), int(SignType::Vyrena));
    m_signType->addItem(QStringLiteral("Orbilux Sign Type"), int(SignType::Orbilux));
    auto *addressLabel = new QLabel(QStringLiteral("Sign &Address:"), m_signOptions);
    m_address = new QLineEdit(m_signOptions);
    m_address->setObjectName(QStringLiteral("TxtSignAddress"));
    m_address->setAccessibleName(QStringLiteral("Sign address"));
    // As the sign type dialog takes it, and from the same start.
    m_address->setInputMask(QStringLiteral(">NN"));
    m_address->setText(QStringLiteral("00"));
    m_address->setMaximumWidth(m_address->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")));
    addressLabel->setBuddy(m_address);
    auto *signRow = new QHBoxLayout(m_signOptions);
    signRow->setContentsMargins(0, 0, 0, 0);
    signRow->addWidget(m_signType);
    signRow->addWidget(addressLabel);
    signRow->addWidget(m_address);
    signRow->addStretch();

    m_serialInput = new QCheckBox(QStringLiteral("&Serial interface controller"), this);
    m_serialInput->setObjectName(QStringLiteral("ChkSerialInput"));
    m_serialInput->setAccessibleName(QStringLiteral("Serial interface controller"));

    m_frames = new QTableView(this);
    m_frames->setObjectName(QStringLiteral("GrdFrames"));
    m_frames->setAccessibleName(QStringLiteral("Planned frames"));
    m_frames->setModel(m_preview);
    m_frames->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_frames->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_frames->setWordWrap(false);
    // Rows of one height are laid out without asking every row: a plan of
    // 32,766 messages opens as fast as one of three.
    m_frames->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_frames->verticalHeader()->setDefaultSectionSize(m_frames->fontMetrics().height() + 6);
    m_frames->horizontalHeader()->setStretchLastSection(true);
    m_frames->setColumnWidth(PlanPreview::ColStart,
                             m_frames->fontMetrics().horizontalAdvance(QStringLiteral("00000000.000")) + 12);
    m_frames->setColumnWidth(PlanPreview::ColStep,
                             m_frames->fontMetrics().horizontalAdvance(QStringLiteral("set-up 1 of 3")) + 16);

    m_refusal = new QLabel(this);
    m_refusal->setObjectName(QStringLiteral("LblRefusal"));
    m_refusal->setWordWrap(true);
    m_refusal->setTextFormat(Qt::PlainText);
    m_refusal->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_total = new QLabel(this);
    m_total->setObjectName(QStringLiteral("LblTotal"));

    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("CmdClose"));
    close->setAccessibleName(QStringLiteral("Close the preview"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_total, 1);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_what);
    layout->addWidget(m_signOptions);
    layout->addWidget(m_serialInput);
    layout->addWidget(m_frames, 1);
    layout->addWidget(m_refusal, 1);
    layout->addLayout(buttons);
    resize(640, 420);

    m_replan->setSingleShot(true);
    m_replan->setInterval(replanDelayMs);
    connect(m_replan, &QTimer::timeout, this, &FrmPreview::replan);
    connect(m_signType, &QComboBox::currentIndexChanged, this, &FrmPreview::replanSoon);
    connect(m_address, &QLineEdit::textChanged, this, &FrmPreview::replanSoon);
    connect(m_serialInput, &QCheckBox::toggled, this, &FrmPreview::replanSoon);
    followWorkspace();
    replan();
}

FrmPreview *FrmPreview::ShowFor(Workspace &workspace, QWidget *owner)
{
    auto *preview = owner->findChild<FrmPreview *>(QString(), Qt::FindDirectChildrenOnly);
    if (!preview) {
        preview = new FrmPreview(workspace, owner);
        preview->setAttribute(Qt::WA_DeleteOnClose);
    }
    preview->show();
    preview->raise();
    preview->activateWindow();
    return preview;
}

void FrmPreview::followWorkspace()
{
    const MessageTable &table = m_ws.table();
    connect(&table, &MessageTable::modelReset, this, &FrmPreview::replanSoon);
    connect(&table, &MessageTable::layoutChanged, this, &FrmPreview::replanSoon);
    connect(&table, &MessageTable::dataChanged, this, &FrmPreview::replanSoon);
    connect(&table, &MessageTable::rowsInserted, this, &FrmPreview::replanSoon);
    connect(&table, &MessageTable::rowsRemoved, this, &FrmPreview::replanSoon);
    connect(&table, &MessageTable::refreshed, this, &FrmPreview::replanSoon);
    connect(&m_ws.registers(), &Registers::changed, this, &FrmPreview::replanSoon);
    connect(&m_ws.linkSettings(), &LinkSettingsState::changed, this, &FrmPreview::replanSoon);
    connect(&m_ws.mode(), &ModeState::modeChanged, this, &FrmPreview::replanSoon);
    connect(&m_ws.entry(), &EntryPanel::boxChanged, this, &FrmPreview::replanSoon);
}

void FrmPreview::replanSoon()
{
    if (isVisible())
        m_replan->start();
}

void FrmPreview::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_placed) {
        replanSoon();
        return;
    }
    // Beside the main window, where the table stays in view.
    m_placed = true;
    if (parentWidget()) {
        const QRect main = parentWidget()->frameGeometry();
        move(main.right() + 8, main.top());
    }
}

PlanRequest FrmPreview::request() const
{
    PlanRequest request;
    request.operation = PlanPreview::OperationFor(m_ws.mode().mode());
    request.sign = {SignType(m_signType->currentData().toInt()), TextToBytes(m_address->text())};
    request.serialInput = m_serialInput->isChecked();
    return request;
}

void FrmPreview::replan()
{
    // An operation's time is its own: the plan waits for its end.
    if (m_ws.operations().holdsLink()) {
        m_replan->start();
        return;
    }
    const PlanRequest planned = request();
    m_preview->refresh(m_ws, planned);
    m_what->setText(QStringLiteral("What %1 would send:").arg(OperationName(planned.operation)));
    m_signOptions->setVisible(planned.operation == PlannedOperation::SignLoad);
    m_serialInput->setVisible(planned.operation == PlannedOperation::ControllerLoad);
    const bool refused = !m_preview->refusal().isEmpty();
    m_frames->setVisible(!refused);
    m_refusal->setVisible(refused);
    m_refusal->setText(m_preview->refusal());
    m_total->setText(refused ? QString() : m_preview->totalText());
}

} // namespace telvaro
