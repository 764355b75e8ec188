#include "platform/ui/Placement.h"

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QRect>
#include <QScreen>
#include <QStyle>
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

// Fits its window again when the window system tells a frame other than
// the one it was fitted for: the window manager frames a window only once
// it is mapped, after it was sized and placed.
class Refit : public QObject {
public:
    explicit Refit(QWidget *window) : QObject(window) { window->installEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize) {
            auto *window = static_cast<QWidget *>(watched);
            if (const QMargins own = marginsOf(window); window->isVisible() && !own.isNull() && own != fittedFor)
                fit(window, centre);
        }
        return false;
    }

    QMargins fittedFor;
    bool centre = true;
};

} // namespace

QMargins frameOf(const QWidget *window)
{
    if (const QMargins own = marginsOf(window); window->isVisible() && !own.isNull())
        return own;
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

void fit(QWidget *window, bool centre)
{
    Refit *refit = nullptr;
    for (QObject *child : window->children())
        if (!refit)
            refit = dynamic_cast<Refit *>(child);
    if (!refit)
        refit = new Refit(window);
    refit->centre = centre;
    refit->fittedFor = frameOf(window);
    if (QLayout *layout = window->layout()) {
        const QSize full = layout->totalSizeHint(), room = placement::room(window);
        if (room.isEmpty() || (full.width() <= room.width() && full.height() <= room.height())) {
            layout->setSizeConstraint(QLayout::SetFixedSize);
            layout->activate();
        } else {
            // A scroll bar takes its width across the way the contents scroll.
            const int bar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
            const QSize most =
                full + QSize(full.height() > room.height() ? bar : 0, full.width() > room.width() ? bar : 0);
            layout->setSizeConstraint(QLayout::SetDefaultConstraint);
            window->setMinimumSize(layout->totalMinimumSize().boundedTo(room));
            window->setMaximumSize(most);
            window->resize(most.boundedTo(room));
        }
    }
    place(window, centre);
}

} // namespace placement
