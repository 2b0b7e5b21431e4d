#include "gui/frmprogress.h"

#include "app/workspace.h"
#include "base/prompter.h"
#include "plan/timeleft.h"
#include "run/progress.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace telvaro {

frmProgress::frmProgress(Progress &progress, Prompter &prompter, QWidget *owner)
    // A tool window of the main window; its close box asks before it stops
    // the transfer.
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_progress(progress), m_prompter(prompter)
{
    setObjectName(QStringLiteral("frmProgress"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar"));
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_bar->setRange(0, Progress::BarMaximum);
    m_bar->setTextVisible(false);
    m_time = new QLabel(this);
    m_time->setObjectName(QStringLiteral("LblTimeLeft"));
    m_time->setTextFormat(Qt::PlainText);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StatusBar"));
    m_status->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setFrameShape(QFrame::StyledPanel);
    // A long frame's line must not widen the window.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto *stop = new QPushButton(QStringLiteral("&Stop"), this);
    stop->setObjectName(QStringLiteral("CmdStop"));
    stop->setAutoDefault(false);
    connect(stop, &QPushButton::clicked, this, &frmProgress::stopRequested);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(stop);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
    layout->addWidget(m_time);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    resize(420, sizeHint().height());

    connect(&m_progress, &Progress::started, this, [this] {
        render();
        show();
    });
    connect(&m_progress, &Progress::updated, this, &frmProgress::render);
    // Hidden rather than closed: the end may come while the operator's
    // own close is being asked about, and a close inside a close is lost.
    connect(&m_progress, &Progress::finished, this, &QWidget::hide);
    render();
}

frmProgress::frmProgress(Workspace &workspace, QWidget *owner)
    : frmProgress(workspace.progress(), workspace.prompter(), owner)
{
    m_timeLeft = new TimeLeft(workspace, this);
    connect(m_timeLeft, &TimeLeft::changed, this, [this] { m_time->setText(m_timeLeft->text()); });
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
    // Only the end of the transfer closes it; the operator's close asks
    // whether to bring that end about.
    event->ignore();
    askToStop();
}

void frmProgress::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        askToStop();
    else
        QWidget::keyPressEvent(event);
}

void frmProgress::askToStop()
{
    // The question waits while the transfer goes on underneath; it may end
    // meanwhile, and then there is nothing to stop.
    if (m_asking || !m_progress.isShown())
        return;
    m_asking = true;
    const Prompter::Over over(m_prompter, this);
    const bool stop = m_prompter.message(QStringLiteral("Stop sending? What is not sent yet will not be sent."),
                                         Prompter::applicationTitle(), Prompter::Buttons::YesNo,
                                         Prompter::Icon::Question) == Prompter::Answer::Yes;
    m_asking = false;
    if (stop && m_progress.isShown())
        Q_EMIT stopRequested();
}

} // namespace telvaro
