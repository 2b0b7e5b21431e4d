#include "gui/statuspanel.h"

#include <QStatusBar>

namespace telvaro {

void ElidingLabel::setFullText(const QString &text)
{
    m_full = text;
    setToolTip(text);
    updateGeometry();
    elide();
}

QSize ElidingLabel::sizeHint() const
{
    const int frame = width() - contentsRect().width();
    return {fontMetrics().horizontalAdvance(m_full) + frame + 2 * margin() + 4, QLabel::sizeHint().height()};
}

void ElidingLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidingLabel::elide()
{
    // Only what can fit is measured, so a long text costs no more than a
    // short one.
    const int room = contentsRect().width() - 2 * margin();
    const qsizetype fits = 2 * (room / qMax(1, fontMetrics().averageCharWidth()) + 2);
    setText(fontMetrics().elidedText(m_full.left(fits), Qt::ElideRight, room));
}

QLabel *panelLabel(QStatusBar *bar, const QString &name, const QString &text, int stretch, bool eliding)
{
    QLabel *label = eliding ? new ElidingLabel(text, bar) : new QLabel(text, bar);
    label->setObjectName(name);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    bar->addPermanentWidget(label, stretch);
    return label;
}

} // namespace telvaro
