#pragma once
// The pictures of the two windows, drawn by the program instead of shipped as files. Each is drawn
// from shapes at the size and device pixel ratio it is shown at, so it stays sharp at any scale.

#include <QIcon>

namespace ui::images {

// 32 x 32: 3 x 3 yellow tiles with the digits 1 to 8, the bottom-right place empty; both windows use it.
QIcon windowIcon();
// 16 x 16 yellow folder of the two choice buttons.
QIcon folder();
// 16 x 16 white question mark on a blue disc.
QIcon question();
// 16 x 16 overlay of the split button: a block falling apart into coloured pieces.
QIcon splitOverlay();
// 16 x 16 overlay of the join button: red, blue and yellow pieces joined into one.
QIcon joinOverlay();

}  // namespace ui::images
