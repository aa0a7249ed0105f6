// Pictures of the custom controls: read from their file at each paint, 32-bit pictures with
// their colour channels multiplied by alpha so they blend with what is already drawn.
#pragma once

#include <QImage>
#include <QString>

// The picture at path, or a null image when it cannot be read. A picture with an alpha channel
// comes back premultiplied (each colour value × alpha / 255, integer arithmetic); others as read.
QImage loadControlImage(const QString& path);

// The same step on an image already in memory.
QImage premultiplied(const QImage& image);

// Size in pixels of a window given in dialog units of the templates' 9-point font.
inline QSize dialogUnitsToPixels(int width, int height) {
    return {width * 3 / 2, height * 3 / 2};
}
