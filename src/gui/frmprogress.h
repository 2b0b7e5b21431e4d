#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

namespace telvaro {

class Progress;

// Shows a transfer's progress; only the transfer closes it.
class frmProgress : public QWidget {
    Q_OBJECT
public:
    frmProgress(Progress &progress, QWidget *owner);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void render();
    void showStatusLine();

    Progress &m_progress;
    QProgressBar *m_bar = nullptr;
    QLabel *m_status = nullptr;
    QString m_statusLine;
    bool m_closing = false;
};

} // namespace telvaro
