#include "gui/frmverify.h"

#include "app/verification.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace telvaro {

FrmVerify::FrmVerify(QWidget *owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("FrmVerify"));
    setWindowTitle(VerifyWindowTitle());
    m_lblSummary = new QLabel(this);
    m_lblSummary->setObjectName(QStringLiteral("LblSummary"));
    m_lblSummary->setWordWrap(true);
    m_lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_lstDifferences = new QTreeWidget(this);
    m_lstDifferences->setObjectName(QStringLiteral("LstDifferences"));
    m_lstDifferences->setAccessibleName(QStringLiteral("Differences"));
    m_lstDifferences->setRootIsDecorated(false);
    m_lstDifferences->setHeaderLabels(
        {QStringLiteral("Message or Register"), QStringLiteral("On Screen"), QStringLiteral("Read Back")});
    m_lstDifferences->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto *closeButton = new QPushButton(QStringLiteral("&Close"), this);
    closeButton->setObjectName(QStringLiteral("CmdClose"));
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblSummary);
    layout->addWidget(m_lstDifferences, 1);
    layout->addLayout(buttons);
    resize(640, 320);
}

void FrmVerify::show(const ControllerVerification &verification)
{
    const ReadBackComparison &result = verification.result;
    m_lstDifferences->clear();
    for (const ControllerDifference &d : result.comparison.rows)
        new QTreeWidgetItem(m_lstDifferences, {d.what, d.sent, d.readBack});
    // The summary is the command line's last line: the count of
    // differences, or why the read-back could not be compared.
    QStringList summary;
    if (verification.same())
        summary << ControllerHoldsTheTableText();
    else if (!result.error.isEmpty())
        summary << result.error;
    else {
        if (result.comparison.positional)
            summary << result.lines.value(result.lines.size() - 2);
        summary << result.lines.constLast();
    }
    m_lblSummary->setText(summary.join(u'\n'));
    m_lstDifferences->setVisible(!result.comparison.rows.isEmpty());
    QWidget::show();
    raise();
    activateWindow();
}

void FrmVerify::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

} // namespace telvaro
