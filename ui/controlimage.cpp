#include "ui/controlimage.h"

#include <QColor>

QImage premultiplied(const QImage& image) {
    if (image.isNull() || !image.hasAlphaChannel()) {
        return image;
    }
    QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < straight.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(straight.scanLine(y));
        for (int x = 0; x < straight.width(); ++x) {
            const QRgb pixel = line[x];
            const int alpha = qAlpha(pixel);
            line[x] = qRgba(qRed(pixel) * alpha / 255, qGreen(pixel) * alpha / 255,
                            qBlue(pixel) * alpha / 255, alpha);
        }
    }
    // Same bytes, now declared as what they are, so drawing blends instead of multiplying again.
    straight.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return straight;
}

QImage loadControlImage(const QString& path) {
    if (path.isEmpty()) {
        return {};
    }
    return premultiplied(QImage(path));
}
