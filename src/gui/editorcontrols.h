#pragma once
// Small pieces the editor windows and the register dialog share: named
// controls, plain-text labels (captions there hold "<" and ">"), list
// sizing and a list's selected row.

#include <QString>
#include <QStringList>

class QHBoxLayout;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;
class QWidget;

namespace telvaro {

QPushButton *namedButton(QWidget *parent, const char *name, const QString &caption);
QLabel *namedLabel(QWidget *parent, const char *name, const QString &text);
QListWidget *namedList(QWidget *parent, const char *name, const QStringList &items, int visibleRows);
QSlider *namedSlider(QWidget *parent, const char *name, int lowest, int highest);
// The slider with its value shown beside it.
QHBoxLayout *withValue(QSlider *slider);

// The label names the control, for the access key and for a screen
// reader, which would otherwise not find a label outside the control's
// own parent.
void nameBy(QLabel *label, QWidget *control);

// The row of the selected item, -1 when nothing is selected.
int selectedRow(const QListWidget *list);

} // namespace telvaro
