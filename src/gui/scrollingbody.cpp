#include "gui/scrollingbody.h"

#include "gui/screenfit.h"

#include <QEvent>
#include <QLayout>
#include <QScrollBar>
#include <QVBoxLayout>

namespace telvaro {

ScrollingBody::ScrollingBody(QWidget *window) : QScrollArea(window)
{
    setObjectName(QStringLiteral("ScrollingBody"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    // The scroll bars take the focus from no one: the keys move through
    // the content's controls, and the view follows the focus.
    setFocusPolicy(Qt::NoFocus);
    auto *content = new QWidget(this);
    content->setObjectName(QStringLiteral("ScrollingContent"));
    setWidget(content);
}

QWidget *ScrollingBody::fill(QWidget *window)
{
    auto *body = new ScrollingBody(window);
    auto *outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    // A window whose content keeps one size grows no larger than it.
    outer->setSizeConstraint(QLayout::SetMinAndMaxSize);
    outer->addWidget(body);
    body->widget()->installEventFilter(body);
    return body->widget();
}

bool ScrollingBody::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        if (const QLayout *layout = widget()->layout(); layout && layout->sizeConstraint() == QLayout::SetFixedSize)
            setMaximumSize(widget()->sizeHint());
    return QScrollArea::eventFilter(watched, event);
}

QSize ScrollingBody::sizeHint() const
{
    // All of the content, not the scroll area's usual bounded guess.
    return widget()->sizeHint().expandedTo(widget()->minimumSize());
}

QSize ScrollingBody::minimumSizeHint() const
{
    QSize content = widget()->minimumSizeHint().expandedTo(widget()->minimumSize());
    if (const QLayout *layout = widget()->layout(); layout && layout->sizeConstraint() == QLayout::SetFixedSize)
        content = widget()->sizeHint();
    const QSize room = roomOnScreen(window()) - m_around;
    if (content.width() <= room.width() && content.height() <= room.height())
        return content;
    // Too large: what the screen leaves, with room for the scroll bars.
    const int bar = verticalScrollBar()->sizeHint().width();
    return content.boundedTo(room - QSize(bar, bar)).expandedTo(QSize(bar * 4, bar * 4));
}

} // namespace telvaro
