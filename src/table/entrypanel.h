#pragma once
// The entry panel's boxes as texts (message, number, interval, comment, the
// repeat caption, the header label and the received-data box), the repeat
// switch and the focus flags the clipboard commands read.

#include <QHash>
#include <QObject>
#include <QString>

namespace telvaro {

class EntryPanel : public QObject {
    Q_OBJECT
public:
    enum class Box { MessageNumber, Interval, Entry, Comment, RepeatCaption, HeaderLabel, RecData };
    Q_ENUM(Box)

    explicit EntryPanel(QObject *parent = nullptr);

    QString box(Box which) const { return m_boxes.value(which); }
    // Setting the interval box normalises its text the way typing into it
    // does.
    void setBox(Box which, const QString &text);
    bool repeatEnabled() const { return m_repeatEnabled; }
    void setRepeatEnabled(bool on) { m_repeatEnabled = on; }

    // Focus flags of the three boxes the clipboard commands act on.
    bool EntryFocused = false;
    bool MessagesFocused = false;
    bool Ez95TextFocused = false;

Q_SIGNALS:
    void boxChanged(telvaro::EntryPanel::Box which);

private:
    QHash<Box, QString> m_boxes;
    bool m_repeatEnabled = false;
};

} // namespace telvaro
