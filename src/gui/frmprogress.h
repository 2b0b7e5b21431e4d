#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

namespace telvaro {

class Progress;
class Prompter;
class TimeLeft;
class Workspace;

// Shows a transfer's progress; only the transfer closes it. Its Stop button
// asks for the transfer to end; the close box and Escape ask the operator
// first. Over a workspace it shows under the bar the time since the start
// and the time left of the operation's plan.
class frmProgress : public QWidget {
    Q_OBJECT
public:
    frmProgress(Progress &progress, Prompter &prompter, QWidget *owner);
    frmProgress(Workspace &workspace, QWidget *owner);

Q_SIGNALS:
    // The operator wants the transfer to end, as "Data Entry" ends it.
    void stopRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void render();
    void showStatusLine();
    void askToStop();

    Progress &m_progress;
    Prompter &m_prompter;
    QProgressBar *m_bar = nullptr;
    QLabel *m_time = nullptr;
    TimeLeft *m_timeLeft = nullptr;
    QLabel *m_status = nullptr;
    QString m_statusLine;
    bool m_asking = false;
};

} // namespace telvaro
