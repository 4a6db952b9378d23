#pragma once
// The pictures of the two windows, drawn by the program instead of shipped as files.

#include <QIcon>
#include <QPixmap>

namespace ui::images {

// 3 x 3 yellow tiles with the digits 1 to 8, the bottom-right place empty; both windows use it.
QIcon windowIcon();
// 16 x 16 yellow folder of the two choice buttons.
QPixmap folder();
// 16 x 16 white question mark on a blue disc.
QPixmap question();
// 16 x 16 overlay of the split button: a block falling apart into coloured pieces.
QPixmap splitOverlay();
// 16 x 16 overlay of the join button: red, blue and yellow pieces joined into one.
QPixmap joinOverlay();

}  // namespace ui::images
