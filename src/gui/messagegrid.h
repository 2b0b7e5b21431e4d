#pragma once
// The grid of the message table. It tells the operator's moves of the
// current cell apart from those the view makes on its own (rows removed, the
// model reset, the focus coming back): only the operator's are reported.

#include <QTableView>

namespace telvaro {

class MessageGrid : public QTableView {
    Q_OBJECT
public:
    explicit MessageGrid(QWidget *parent = nullptr);

Q_SIGNALS:
    // The operator moved the current cell with the mouse or the keys.
    void selectionMoved(int gridRow);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    template <typename Handle> void operatorMove(Handle handle);
};

} // namespace telvaro
