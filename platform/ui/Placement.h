#pragma once

#include <QMargins>
#include <QSize>

class QWidget;

// Where a top-level window may go on the screen it is on: inside the
// screen's available area (without panels and docks), frame included.
namespace placement {

// The frame the window system draws around window: its own once the window
// system has told it (only after the window is mapped, not yet as it is
// shown), else that of another top-level window shown, else none.
QMargins frameOf(const QWidget *window);

// The largest size window's client area can take with its frame on its
// screen; empty when the window has no screen.
QSize room(const QWidget *window);

// Moves window so that it lies wholly inside the available area, as far as
// its size lets it: centred there when centre, else as near as it can be to
// where it is (not at all when it is inside). A window larger than the area
// keeps its top-left corner (its title) inside.
void place(QWidget *window, bool centre);

// Sizes a window with a layout as it is shown, then places it: fixed at the
// size its layout asks for where that fits in the room; otherwise as large
// as the room lets it, and no larger than its layout's size plus a scroll
// bar each way it is cut, and free to be shrunk to its layout's minimum,
// its scrolling contents taking what is left. Once the window system tells
// the window's own frame and that is not the frame it was fitted for
// (which was guessed from other windows), it is fitted again; after that
// it is left where it is.
void fit(QWidget *window, bool centre);

// Cascades two top-level windows on back's screen: back at the top left,
// front lower and further right by back's title bar, so that front, stacked
// above, leaves back's title bar in sight; the pair centred in the
// available area, each window inside it. Like fit, it places them again
// once the window system tells a frame other than the one assumed.
void cascade(QWidget *back, QWidget *front);

} // namespace placement
