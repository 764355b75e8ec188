#include "platform/ui/Placement.h"

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QPointer>
#include <QRect>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <utility>

namespace placement {

namespace {

QMargins marginsOf(const QWidget *w)
{
    const QRect frame = w->frameGeometry(), inner = w->geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

// What a move of window adds to the point where its frame is to go: one
// made but not framed yet (as in its show event) is moved by its contents'
// corner, inside the frame it is to get; any other by its frame's.
QPoint contentsOffset(const QWidget *window, const QMargins &frame)
{
    if (window->testAttribute(Qt::WA_WState_Created) && marginsOf(window).isNull())
        return {frame.left(), frame.top()};
    return {};
}

// Places its window again when the window system tells a frame other than
// the one it was placed for: the window manager frames a window only once
// it is mapped, after it was sized and placed. It acts on the first frame
// told, so a window the operator moves or maximises later stays as it is.
class Refit : public QObject {
public:
    explicit Refit(QWidget *window) : QObject(window) { window->installEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize) {
            auto *window = static_cast<QWidget *>(watched);
            if (const QMargins own = marginsOf(window); again && window->isVisible() && !own.isNull()) {
                const std::function<void()> placeAgain = std::exchange(again, nullptr);
                if (own != assumed)
                    placeAgain(); // which watches for the frame once more
            }
        }
        return false;
    }

    QMargins assumed;
    std::function<void()> again;
};

// Watches window's frame: placeAgain runs if the first one told is not the
// frame it is being placed for now.
void watchFrame(QWidget *window, std::function<void()> placeAgain)
{
    Refit *refit = nullptr;
    for (QObject *child : window->children())
        if (!refit)
            refit = dynamic_cast<Refit *>(child);
    if (!refit)
        refit = new Refit(window);
    refit->assumed = frameOf(window);
    refit->again = std::move(placeAgain);
}

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
    const QPoint inner = contentsOffset(window, frame);
    QPoint at = centre ? area.center() - QRect(QPoint(), outer).center() : window->pos() - inner;
    at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - outer.width())));
    at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - outer.height())));
    // A window that is inside keeps the place the window system gives it.
    if (centre || at + inner != window->pos())
        window->move(at + inner);
}

void fit(QWidget *window, bool centre)
{
    watchFrame(window, [window, centre] { fit(window, centre); });
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

void cascade(QWidget *back, QWidget *front)
{
    const QScreen *s = back->screen();
    if (!s)
        return;
    const QRect area = s->availableGeometry();
    const QMargins backFrame = frameOf(back), frontFrame = frameOf(front);
    // Before any window is framed, the style's title bar stands in for the
    // window manager's.
    const int step = backFrame.top() > 0 ? backFrame.top() : back->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QRect backOuter(QPoint(), back->size().grownBy(backFrame));
    const QRect frontOuter(QPoint(step, step), front->size().grownBy(frontFrame));
    const QPoint at = area.center() - backOuter.united(frontOuter).center();
    back->move(at + contentsOffset(back, backFrame));
    front->move(at + frontOuter.topLeft() + contentsOffset(front, frontFrame));
    place(back, false);
    place(front, false);
    const auto again = [back = QPointer<QWidget>(back), front = QPointer<QWidget>(front)] {
        if (back && front)
            cascade(back, front);
    };
    watchFrame(back, again);
    watchFrame(front, again);
}

} // namespace placement
