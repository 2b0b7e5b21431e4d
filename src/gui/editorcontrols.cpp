#include "gui/editorcontrols.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>

namespace telvaro {

QPushButton *namedButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    // Enter belongs to the boxes; a button runs on Space or its access key.
    button->setAutoDefault(false);
    return button;
}

QLabel *namedLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

QListWidget *namedList(QWidget *parent, const char *name, const QStringList &items, int visibleRows)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->addItems(items);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    // As tall as the rows asked for and as wide as the longest item, so the
    // windows stay compact.
    const int frame = 2 * list->frameWidth();
    list->setFixedHeight(visibleRows * list->sizeHintForRow(0) + frame);
    list->setMinimumWidth(list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width() + frame + 4);
    return list;
}

int selectedRow(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

} // namespace telvaro
