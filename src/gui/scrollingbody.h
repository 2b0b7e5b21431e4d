#pragma once

#include <QScrollArea>

namespace telvaro {

// A window's body that scrolls only when the screen is too small for it:
// where there is room it asks for all of its content, as the content
// alone would; on a small screen it gives way and the content scrolls.
class ScrollingBody : public QScrollArea {
public:
    explicit ScrollingBody(QWidget *window);

    // Fills a window with a scrolling body; returns the content, for the
    // window's controls and layout.
    static QWidget *fill(QWidget *window);

    // What the window shows around the body (bars), in the screen's room.
    void setSurroundings(QSize around) { m_around = around; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QSize m_around;
};

} // namespace telvaro
