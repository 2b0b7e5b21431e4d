#include "gui/frmprogress.h"

#include "run/progress.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace telvaro {

frmProgress::frmProgress(Progress &progress, QWidget *owner)
    // A tool window of the main window without a close button.
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_progress(progress)
{
    setObjectName(QStringLiteral("frmProgress"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar"));
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_bar->setRange(0, Progress::BarMaximum);
    m_bar->setTextVisible(false);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StatusBar"));
    m_status->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setFrameShape(QFrame::StyledPanel);
    // A long frame's line must not widen the window.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
    layout->addWidget(m_status);
    resize(420, 90);

    connect(&m_progress, &Progress::started, this, [this] {
        render();
        show();
    });
    connect(&m_progress, &Progress::updated, this, &frmProgress::render);
    connect(&m_progress, &Progress::finished, this, [this] {
        m_closing = true;
        close();
        m_closing = false;
    });
    render();
}

void frmProgress::render()
{
    setWindowTitle(m_progress.caption());
    m_bar->setValue(qRound(m_progress.barValue()));
    m_statusLine = m_progress.statusLine();
    showStatusLine();
}

void frmProgress::showStatusLine()
{
    // As much of the line as the window shows, then an ellipsis. Only what
    // can fit is measured, so a long frame costs no more than a short one.
    const QFontMetrics metrics(m_status->font());
    const int room = m_status->contentsRect().width();
    const qsizetype fits = 2 * (room / qMax(1, metrics.averageCharWidth()) + 2);
    m_status->setText(metrics.elidedText(m_statusLine.left(fits), Qt::ElideRight, room));
}

void frmProgress::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    showStatusLine();
}

void frmProgress::closeEvent(QCloseEvent *event)
{
    // The operator cannot close it: only the end of the transfer does.
    if (m_closing)
        event->accept();
    else
        event->ignore();
}

} // namespace telvaro
