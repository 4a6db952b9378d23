#pragma once
// What the two windows share in laying out their controls: twips to pixels, fonts, colours, labels
// sized to their text, and centring on the screen.

#include <QPalette>
#include <QRect>
#include <QRgb>
#include <QString>

class QFont;
class QLabel;
class QWidget;

namespace ui::layout {

// Positions and sizes are given in twips; 15 twips make one pixel at 96 dots per inch. Rounds to the
// nearest pixel on both sides of zero (no whole number of twips lies halfway between two pixels).
constexpr int px(int twips) {
    return twips >= 0 ? (twips * 2 + 15) / 30 : -((-twips * 2 + 15) / 30);
}

// A control's place in its window's client area, in twips.
struct Twips {
    int left;
    int top;
    int width;
    int height;
};

inline QRect pixels(const Twips& place) {
    return {px(place.left), px(place.top), px(place.width), px(place.height)};
}

struct FontSpec {
    const char* family;
    double points;
    bool bold = false;
    bool italic = false;
    bool fixedPitch = false;  // Falls back to a fixed-pitch face where the family is missing.
    int stretch = 100;        // Width of the letters in percent of their normal width.
};

// The default font of both windows.
inline constexpr FontSpec windowFont{"MS Sans Serif", 8.25};

QFont font(const FontSpec& wanted);

constexpr QRgb blue = qRgb(0, 0, 255);
constexpr QRgb black = qRgb(0, 0, 0);
constexpr QRgb white = qRgb(255, 255, 255);

// The light grey window with black text both windows set for themselves, so that their own colours read the
// same under any desktop theme, a dark one too.
QPalette lightPalette();
// Sets `role` to `colour` in every colour group.
void setColour(QWidget* widget, QPalette::ColorRole role, QRgb colour);
// The pale yellow background and blue text that the lists of both windows share.
void setListColours(QWidget* list);

// From now on the label's width follows its caption (setCaption); a right-aligned label keeps its
// right edge where it is.
void sizeToText(QLabel* label);
// Sets a label's caption; a label sized to its text follows it.
void setCaption(QLabel* label, const QString& text);

// Moves a top-level window to the middle of the primary screen.
void centreOnScreen(QWidget* window);

}  // namespace ui::layout
