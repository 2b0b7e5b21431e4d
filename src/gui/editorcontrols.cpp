#include "gui/editorcontrols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
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

QSlider *namedSlider(QWidget *parent, const char *name, int lowest, int highest)
{
    auto *slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QString::fromLatin1(name));
    slider->setRange(lowest, highest);
    slider->setPageStep(4);
    slider->setTickPosition(QSlider::TicksBelow);
    return slider;
}

QHBoxLayout *withValue(QSlider *slider)
{
    QLabel *value = namedLabel(slider->parentWidget(), "LblFontValue", QString::number(slider->value()));
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("00")));
    QObject::connect(slider, &QSlider::valueChanged, value, [value](int v) { value->setText(QString::number(v)); });
    auto *row = new QHBoxLayout;
    row->addWidget(slider, 1);
    row->addWidget(value);
    return row;
}

void nameBy(QLabel *label, QWidget *control)
{
    label->setBuddy(control);
    control->setAccessibleName(QString(label->text()).remove(u'&').trimmed());
}

int selectedRow(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

} // namespace telvaro
