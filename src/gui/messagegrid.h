#pragma once
// The grid of the message table. Its current cell is where the selection
// began; dragging or moving with Shift moves only the selection's end cell.
// It tells the operator's moves apart from those the view makes on its own
// (rows removed, the model reset, the focus coming back): only the
// operator's are reported.

#include <QPersistentModelIndex>
#include <QTableView>

namespace telvaro {

class MessageGrid : public QTableView {
    Q_OBJECT
public:
    explicit MessageGrid(QWidget *parent = nullptr);

    // Where the selection began, also while the operator is extending it.
    QModelIndex startCell() const;
    // The selection's opposite corner; the start cell when nothing extends it.
    QModelIndex endCell() const;
    // Makes start the current cell and selects the block up to end.
    void selectBlock(const QModelIndex &start, const QModelIndex &end);

Q_SIGNALS:
    // The operator changed the selection with the mouse or the keys.
    void selectionMoved(int gridRow);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    template <typename Handle> void operatorMove(bool extending, Handle handle);

    QPersistentModelIndex m_end;
    QPersistentModelIndex m_extendingFrom;
};

} // namespace telvaro
