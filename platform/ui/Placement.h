#pragma once

#include <QMargins>
#include <QSize>

class QWidget;

// Where a top-level window may go on the screen it is on: inside the
// screen's available area (without panels and docks), frame included.
namespace placement {

// The frame the window system draws around window: its own once shown,
// else that of another top-level window already shown, else none.
QMargins frameOf(const QWidget *window);

// The largest size window's client area can take with its frame on its
// screen; empty when the window has no screen.
QSize room(const QWidget *window);

// Moves window so that it lies wholly inside the available area, as far as
// its size lets it: centred there when centre, else as near as it can be to
// where it is (not at all when it is inside). A window larger than the area
// keeps its top-left corner (its title) inside.
void place(QWidget *window, bool centre);

} // namespace placement
