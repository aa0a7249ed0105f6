// Window sizes given in dialog units, turned into pixels for a font: a horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth of its height. The
// average width is that of the Latin letters, so a window keeps its proportions to its text
// whatever font the system substitutes.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// The font the notice windows were laid out with ("Microsoft Sans Serif", 8 points); the system
// substitutes its nearest font.
QFont dialogFont();

// Pixels of a size in dialog units for text in `font`.
QSize dialogUnitsToPixels(const QFont& font, int widthUnits, int heightUnits);

// Pixels of a rectangle in dialog units (position and size) for text in `font`.
QRect dialogUnitsRectToPixels(const QFont& font, int x, int y, int width, int height);
