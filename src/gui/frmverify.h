#pragma once
// "Verify Controller": what a read-back found, each difference between the
// table and registers on screen and what the controller holds, or that it
// holds exactly them.

#include <QWidget>

class QLabel;
class QTreeWidget;

namespace telvaro {

struct ControllerVerification;

class FrmVerify : public QWidget {
    Q_OBJECT
public:
    explicit FrmVerify(QWidget *owner);

    void show(const ControllerVerification &verification);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *m_lblSummary;
    QTreeWidget *m_lstDifferences;
};

} // namespace telvaro
