#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

namespace telvaro {

class Progress;
class Prompter;

// Shows a transfer's progress; only the transfer closes it. Its Stop button
// asks for the transfer to end; the close box and Escape ask the operator
// first.
class frmProgress : public QWidget {
    Q_OBJECT
public:
    frmProgress(Progress &progress, Prompter &prompter, QWidget *owner);

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
    QLabel *m_status = nullptr;
    QString m_statusLine;
    bool m_asking = false;
};

} // namespace telvaro
