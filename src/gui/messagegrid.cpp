#include "gui/messagegrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyleOptionHeader>

namespace telvaro {

namespace {
constexpr int fixedColumn = 0;

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End: return true;
    default: return false;
    }
}
} // namespace

MessageGrid::MessageGrid(QWidget *parent) : QTableView(parent)
{
    // One block of cells, as the mass fill reads it.
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    verticalHeader()->setSectionsClickable(false);
    // The corner heads the fixed column; it does not select everything.
    setCornerButtonEnabled(false);
    m_corner = findChild<QAbstractButton *>(QString(), Qt::FindDirectChildrenOnly);
    if (m_corner)
        m_corner->installEventFilter(this);
}

void MessageGrid::setModel(QAbstractItemModel *model)
{
    QTableView::setModel(model);
    setColumnHidden(fixedColumn, true);
}

bool MessageGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_corner || event->type() != QEvent::Paint || !model())
        return QTableView::eventFilter(watched, event);
    QStyleOptionHeader option;
    // Drawn as the enabled headers are, not as the disabled button.
    option.initFrom(horizontalHeader());
    option.rect = m_corner->rect();
    option.position = QStyleOptionHeader::OnlyOneSection;
    option.text = model()->headerData(fixedColumn, Qt::Horizontal).toString();
    option.textAlignment = Qt::AlignCenter;
    QPainter painter(m_corner);
    m_corner->style()->drawControl(QStyle::CE_Header, &option, &painter, m_corner);
    return true;
}

QModelIndex MessageGrid::startCell() const
{
    return m_extendingFrom.isValid() ? QModelIndex(m_extendingFrom) : currentIndex();
}

QModelIndex MessageGrid::endCell() const
{
    return m_end.isValid() ? QModelIndex(m_end) : currentIndex();
}

void MessageGrid::selectBlock(const QModelIndex &from, const QModelIndex &to)
{
    const QModelIndex start = model()->index(from.row(), qMax(fixedColumn + 1, from.column()));
    const QModelIndex end = model()->index(to.row(), qMax(fixedColumn + 1, to.column()));
    selectionModel()->setCurrentIndex(start, QItemSelectionModel::NoUpdate);
    m_end = end;
    const QModelIndex topLeft = model()->index(qMin(start.row(), end.row()), qMin(start.column(), end.column()));
    const QModelIndex bottomRight = model()->index(qMax(start.row(), end.row()), qMax(start.column(), end.column()));
    selectionModel()->select(QItemSelection(topLeft, bottomRight), QItemSelectionModel::ClearAndSelect);
}

template <typename Handle> void MessageGrid::operatorMove(bool extending, Handle handle)
{
    const QPersistentModelIndex start = currentIndex();
    const QPersistentModelIndex end = m_end;
    if (extending && start.isValid()) {
        // The view moves its current cell: let it move the end cell instead,
        // then put the current cell back where the selection began.
        const QScopedValueRollback from(m_extendingFrom, start);
        selectionModel()->setCurrentIndex(endCell(), QItemSelectionModel::NoUpdate);
        handle();
        selectBlock(start, currentIndex());
    } else {
        handle();
        // A new current cell, or a click that collapsed the block, starts
        // again; a key that moved nothing (Shift alone) keeps the block.
        if (currentIndex() != start || !selectionModel()->isSelected(m_end))
            m_end = currentIndex();
    }
    if (currentIndex().isValid() && (currentIndex() != start || m_end != end))
        Q_EMIT selectionMoved(currentIndex().row() + 1);
}

void MessageGrid::mousePressEvent(QMouseEvent *event)
{
    const bool extending = event->button() == Qt::LeftButton && event->modifiers().testFlag(Qt::ShiftModifier);
    operatorMove(extending, [this, event] { QTableView::mousePressEvent(event); });
}

void MessageGrid::mouseMoveEvent(QMouseEvent *event)
{
    operatorMove(event->buttons().testFlag(Qt::LeftButton), [this, event] { QTableView::mouseMoveEvent(event); });
}

void MessageGrid::keyPressEvent(QKeyEvent *event)
{
    const bool extending = event->modifiers().testFlag(Qt::ShiftModifier) && isNavigationKey(event->key());
    operatorMove(extending, [this, event] { QTableView::keyPressEvent(event); });
}

} // namespace telvaro
