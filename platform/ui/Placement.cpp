#include "platform/ui/Placement.h"

#include <QApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace placement {

namespace {

QMargins marginsOf(const QWidget *w)
{
    const QRect frame = w->frameGeometry(), inner = w->geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

} // namespace

QMargins frameOf(const QWidget *window)
{
    if (window->isVisible())
        return marginsOf(window);
    // Not mapped yet, so the window system has not told its frame: windows
    // of one program get the same decorations.
    for (const QWidget *other : QApplication::topLevelWidgets())
        if (other != window && other->isVisible() && other->windowType() != Qt::Popup &&
            other->windowType() != Qt::ToolTip)
            if (const QMargins m = marginsOf(other); !m.isNull())
                return m;
    return {};
}

QSize room(const QWidget *window)
{
    const QScreen *s = window->screen();
    if (!s)
        return {};
    const QMargins frame = frameOf(window);
    return s->availableGeometry().size().shrunkBy(frame).expandedTo({0, 0});
}

void place(QWidget *window, bool centre)
{
    const QScreen *s = window->screen();
    if (!s)
        return;
    const QRect area = s->availableGeometry();
    const QMargins frame = frameOf(window);
    const QSize outer = window->size().grownBy(frame);
    QPoint at = centre ? area.center() - QRect(QPoint(), outer).center() : window->pos();
    at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - outer.width())));
    at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - outer.height())));
    // A window that is inside keeps the place the window system gives it.
    if (centre || at != window->pos())
        window->move(at); // a top-level window's position is that of its frame
}

} // namespace placement
