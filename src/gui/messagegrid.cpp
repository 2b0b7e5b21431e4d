#include "gui/messagegrid.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace telvaro {

MessageGrid::MessageGrid(QWidget *parent) : QTableView(parent) {}

template <typename Handle> void MessageGrid::operatorMove(Handle handle)
{
    const QPersistentModelIndex before = currentIndex();
    handle();
    const QModelIndex after = currentIndex();
    if (after.isValid() && after != before)
        Q_EMIT selectionMoved(after.row() + 1);
}

void MessageGrid::mousePressEvent(QMouseEvent *event)
{
    operatorMove([this, event] { QTableView::mousePressEvent(event); });
}

void MessageGrid::mouseMoveEvent(QMouseEvent *event)
{
    operatorMove([this, event] { QTableView::mouseMoveEvent(event); });
}

void MessageGrid::keyPressEvent(QKeyEvent *event)
{
    operatorMove([this, event] { QTableView::keyPressEvent(event); });
}

} // namespace telvaro
