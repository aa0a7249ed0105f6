#include "ui/dialogunits.h"

#include <QFontMetrics>
#include <QString>

QFont dialogFont() {
    QFont font(QStringLiteral("Microsoft Sans Serif"));
    font.setPointSize(8);
    return font;
}

QSize dialogUnitsToPixels(const QFont& font, int widthUnits, int heightUnits) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int baseX = (letters / 26 + 1) / 2;  // rounded average width of one letter
    const int baseY = metrics.height();
    return {(widthUnits * baseX + 2) / 4, (heightUnits * baseY + 4) / 8};
}

QRect dialogUnitsRectToPixels(const QFont& font, int x, int y, int width, int height) {
    const QSize origin = dialogUnitsToPixels(font, x, y);
    return {QPoint(origin.width(), origin.height()), dialogUnitsToPixels(font, width, height)};
}
