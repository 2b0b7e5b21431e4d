#pragma once
// The grid of the message table. Its column 0 is fixed: shown as the row
// headers, it neither scrolls nor takes part in a selection. Its current
// cell is where the selection began; dragging or moving with Shift moves
// only the selection's end cell.
// It tells the operator's moves apart from those the view makes on its own
// (rows removed, the model reset, the focus coming back): only the
// operator's are reported.

#include <QAbstractButton>
#include <QPersistentModelIndex>
#include <QTableView>

namespace telvaro {

class MessageGrid : public QTableView {
    Q_OBJECT
public:
    explicit MessageGrid(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;

    // Where the selection began, also while the operator is extending it.
    QModelIndex startCell() const;
    // The selection's opposite corner; the start cell when nothing extends it.
    QModelIndex endCell() const;
    // Makes start the current cell and selects the block up to end, both
    // kept out of the fixed column.
    void selectBlock(const QModelIndex &start, const QModelIndex &end);

Q_SIGNALS:
    // The operator changed the selection with the mouse or the keys.
    void selectionMoved(int gridRow);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    template <typename Handle> void operatorMove(bool extending, Handle handle);

    QAbstractButton *m_corner = nullptr;
    QPersistentModelIndex m_end;
    QPersistentModelIndex m_extendingFrom;
};

} // namespace telvaro
