#pragma once

#include <QIcon>
#include <QPixmap>

// The desk's pictures, drawn in code: no image files to ship or lose.
namespace pictures {

// The main window's background tile: 32 x 32 pixels in the colours of the
// 16-colour palette.
const QPixmap &BackgroundTile();

// The banner of the login dialog and the about box (418 x 86 pixels).
const QPixmap &Banner();

// Record pictures of the manager windows' lists: index 0 a person, 1 a
// person in red, 2 a member card, 3 a folder, 4 a note. Each icon holds a
// 16 x 16 and a 32 x 32 picture.
QIcon recordImage(int index);

} // namespace pictures
