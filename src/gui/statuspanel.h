#pragma once
// The status bars' panels.

#include <QLabel>

class QStatusBar;

namespace telvaro {

// A status panel: a text longer than the panel ends in "…", and the whole
// text is its tool tip. The panel asks for the room of the whole text.
class ElidingLabel : public QLabel {
public:
    using QLabel::QLabel;
    void setFullText(const QString &text);
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();
    QString m_full;
};

// A sunken panel at the bar's right, eliding its text if asked.
QLabel *panelLabel(QStatusBar *bar, const QString &name, const QString &text, int stretch, bool eliding = false);

} // namespace telvaro
