#include "pictures.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

const QColor kNavy(0x0b, 0x2a, 0x5b);
const QColor kBlue(0x1f, 0x6f, 0xd1);
const QColor kSky(0x4d, 0xa3, 0xff);
const QColor kTeal(0x22, 0xc3, 0xa6);
const QColor kOrange(0xff, 0x8a, 0x3d);
const QColor kRed(0xe5, 0x48, 0x4d);
const QColor kInk(0x24, 0x33, 0x4d);
const QColor kMist(0x8a, 0x97, 0xab);

QFont uiFont(int pixels, bool bold = false) {
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QImage canvas(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void smooth(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// A soft drop shadow under a rounded rectangle.
void shadow(QPainter& p, const QRectF& r, qreal radius, int spread, int alpha) {
    for (int i = spread; i > 0; --i) {
        QColor c(0, 0, 0, alpha * (spread - i + 1) / (spread * spread));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(r.adjusted(-i, -i + 3, i, i + 3), radius + i, radius + i);
    }
}

void blueBackdrop(QPainter& p, int w, int h) {
    QLinearGradient sky(0, 0, w, h);
    sky.setColorAt(0.0, kNavy);
    sky.setColorAt(0.55, QColor(0x15, 0x4f, 0x9e));
    sky.setColorAt(1.0, QColor(0x1d, 0x7a, 0xc4));
    p.fillRect(0, 0, w, h, sky);
    // Soft light blobs and rings give depth without distracting.
    const struct {
        double x, y, r;
        int alpha;
    } blobs[] = {{0.12, 0.18, 0.30, 46},
                 {0.88, 0.85, 0.38, 40},
                 {0.78, 0.12, 0.16, 30},
                 {0.20, 0.92, 0.20, 26}};
    for (const auto& b : blobs) {
        QRadialGradient g(QPointF(w * b.x, h * b.y), w * b.r);
        g.setColorAt(0, QColor(0x7f, 0xc4, 0xff, b.alpha));
        g.setColorAt(1, QColor(0x7f, 0xc4, 0xff, 0));
        p.fillRect(0, 0, w, h, g);
    }
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 4; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 18 - i * 3), 2));
        const double r = h * (0.35 + 0.17 * i);
        p.drawEllipse(QPointF(w * 0.93, h * 0.08), r, r);
    }
    // A faint dotted grid in the lower left, like a classroom board.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 22));
    for (int y = h * 6 / 10; y < h - 40; y += 28) {
        for (int x = 40; x < w / 4; x += 28) {
            p.drawEllipse(QPointF(x, y), 2, 2);
        }
    }
}

void drawLogoMark(QPainter& p, const QRectF& r) {
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, kSky);
    g.setColorAt(1, kTeal);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(r, r.width() * 0.24, r.width() * 0.24);
    // Two overlapping speech bubbles: two teachers, one class.
    const qreal u = r.width() / 128.0;
    p.setBrush(QColor(255, 255, 255, 235));
    QPainterPath back;
    back.addRoundedRect(QRectF(r.x() + 22 * u, r.y() + 28 * u, 58 * u, 44 * u), 12 * u, 12 * u);
    back.moveTo(r.x() + 34 * u, r.y() + 70 * u);
    back.lineTo(r.x() + 30 * u, r.y() + 86 * u);
    back.lineTo(r.x() + 50 * u, r.y() + 70 * u);
    p.drawPath(back.simplified());
    p.setBrush(QColor(255, 255, 255, 160));
    QPainterPath front;
    front.addRoundedRect(QRectF(r.x() + 52 * u, r.y() + 54 * u, 56 * u, 42 * u), 12 * u, 12 * u);
    front.moveTo(r.x() + 92 * u, r.y() + 94 * u);
    front.lineTo(r.x() + 98 * u, r.y() + 108 * u);
    front.lineTo(r.x() + 78 * u, r.y() + 94 * u);
    p.drawPath(front.simplified());
    p.setPen(QColor(0x1a, 0x5f, 0xb4));
    p.setFont(uiFont(static_cast<int>(30 * u), true));
    p.drawText(QRectF(r.x() + 22 * u, r.y() + 28 * u, 58 * u, 44 * u), Qt::AlignCenter,
               QStringLiteral("F"));
}

QImage background() {
    QImage img(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    smooth(p);
    blueBackdrop(p, img.width(), img.height());
    return img;
}

QImage panel() {
    QImage img = canvas(438, 470);
    QPainter p(&img);
    smooth(p);
    const QRectF card(6, 4, 426, 458);
    shadow(p, card, 22, 6, 60);
    QLinearGradient fill(card.topLeft(), card.bottomLeft());
    fill.setColorAt(0, QColor(255, 255, 255, 250));
    fill.setColorAt(1, QColor(0xf1, 0xf6, 0xfd, 250));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(card, 22, 22);
    // Header strip with the product name.
    p.setPen(kInk);
    p.setFont(uiFont(24, true));
    p.drawText(QRectF(34, 20, 300, 40), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("芬维双师课堂"));
    p.setPen(kMist);
    p.setFont(uiFont(14));
    p.drawText(QRectF(34, 54, 330, 22), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("学生端 · 教室终端"));
    // A ring where the logo sits.
    p.setPen(QPen(QColor(0x4d, 0xa3, 0xff, 60), 2));
    p.setBrush(QColor(0x4d, 0xa3, 0xff, 14));
    p.drawEllipse(QPointF(219, 164), 76, 76);
    // A faint mortarboard in the ring, covered by the school's logo once it is known.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4d, 0xa3, 0xff, 70));
    p.drawPolygon(
        QPolygonF({QPointF(219, 134), QPointF(267, 154), QPointF(219, 174), QPointF(171, 154)}));
    QPainterPath cap;
    cap.moveTo(193, 166);
    cap.lineTo(193, 186);
    cap.quadTo(219, 202, 245, 186);
    cap.lineTo(245, 166);
    cap.lineTo(219, 177);
    cap.closeSubpath();
    p.drawPath(cap);
    p.setPen(QPen(QColor(0x4d, 0xa3, 0xff, 90), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(259, 158), QPointF(259, 182));
    p.setPen(kInk);
    p.setFont(uiFont(18, true));
    p.drawText(QRectF(0, 252, 438, 30), Qt::AlignCenter, QString::fromUtf8("等待上课"));
    p.setPen(kMist);
    p.setFont(uiFont(14));
    p.drawText(QRectF(0, 280, 438, 24), Qt::AlignCenter,
               QString::fromUtf8("课程开始时将自动进入教室"));
    // Footer hint.
    p.setPen(QPen(QColor(0xdd, 0xe5, 0xf0), 1));
    p.drawLine(QPointF(34, 400), QPointF(404, 400));
    p.setPen(kMist);
    p.setFont(uiFont(13));
    p.drawText(QRectF(0, 408, 438, 40), Qt::AlignCenter,
               QString::fromUtf8("请保持摄像头、麦克风和扬声器连接良好"));
    return img;
}

QImage decoration() {
    QImage img = canvas(112, 150);
    QPainter p(&img);
    smooth(p);
    const QRectF card(4, 4, 104, 140);
    shadow(p, card, 18, 4, 50);
    QLinearGradient g(card.topLeft(), card.bottomRight());
    g.setColorAt(0, QColor(0xff, 0xd9, 0x8a));
    g.setColorAt(1, kOrange);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(card, 18, 18);
    QPainterPath clip;
    clip.addRoundedRect(card, 18, 18);
    p.setClipPath(clip);
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawEllipse(QPointF(92, 18), 30, 30);
    p.setBrush(QColor(255, 255, 255, 36));
    p.drawEllipse(QPointF(14, 140), 34, 34);
    return img;
}

QImage student() {
    QImage img = canvas(95, 117);
    QPainter p(&img);
    smooth(p);
    // Shoulders in a school uniform with a collar.
    QPainterPath body;
    body.moveTo(10, 117);
    body.cubicTo(10, 88, 26, 78, 47.5, 78);
    body.cubicTo(69, 78, 85, 88, 85, 117);
    body.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawPath(body);
    p.setBrush(Qt::white);
    QPainterPath collar;
    collar.moveTo(36, 80);
    collar.lineTo(47.5, 96);
    collar.lineTo(59, 80);
    collar.closeSubpath();
    p.drawPath(collar);
    p.setBrush(kRed);
    QPainterPath scarf;
    scarf.moveTo(43, 90);
    scarf.lineTo(52, 90);
    scarf.lineTo(55, 110);
    scarf.lineTo(47.5, 104);
    scarf.lineTo(40, 110);
    scarf.closeSubpath();
    p.drawPath(scarf);
    // Neck, face and ears.
    const QColor skin(0xff, 0xdb, 0xbf);
    p.setBrush(skin.darker(108));
    p.drawRect(QRectF(41, 66, 13, 14));
    p.setBrush(skin);
    p.drawEllipse(QPointF(19, 46), 6, 8);
    p.drawEllipse(QPointF(76, 46), 6, 8);
    p.drawEllipse(QRectF(20, 16, 55, 58));
    // Hair with a side fringe.
    p.setBrush(QColor(0x2b, 0x24, 0x2a));
    QPainterPath hair;
    hair.moveTo(18, 44);
    hair.cubicTo(14, 12, 40, 4, 54, 8);
    hair.cubicTo(74, 12, 82, 28, 77, 44);
    hair.cubicTo(70, 30, 56, 26, 44, 28);
    hair.cubicTo(36, 30, 26, 34, 18, 44);
    p.drawPath(hair);
    // Eyes with highlights, cheeks and a smile.
    p.setBrush(QColor(0x2b, 0x24, 0x2a));
    p.drawEllipse(QPointF(37, 47), 4, 4.6);
    p.drawEllipse(QPointF(58, 47), 4, 4.6);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(38.3, 45.6), 1.3, 1.3);
    p.drawEllipse(QPointF(59.3, 45.6), 1.3, 1.3);
    p.setBrush(QColor(0xff, 0x8f, 0x8f, 110));
    p.drawEllipse(QPointF(30, 57), 5, 3);
    p.drawEllipse(QPointF(65, 57), 5, 3);
    p.setPen(QPen(QColor(0xb5, 0x4a, 0x3a), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(40, 52, 15, 11), 200 * 16, 140 * 16);
    return img;
}

QImage logo(int size) {
    QImage img = canvas(size, size);
    QPainter p(&img);
    smooth(p);
    drawLogoMark(p, QRectF(0, 0, size, size));
    return img;
}

// Narrow enough to sit at the panel's left edge beside the enter-class button.
QImage pillButton(const QString& text, const QColor& from, const QColor& to, bool glyphGear) {
    constexpr int kWidth = 94;
    QImage img = canvas(kWidth, 40);
    QPainter p(&img);
    smooth(p);
    const QRectF r(1, 1, kWidth - 2, 38);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, from);
    g.setColorAt(1, to);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(r, 19, 19);
    // A small glyph: a check-mark shield or an arrow.
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (glyphGear) {
        p.drawEllipse(QPointF(19, 20), 7, 7);
        p.drawPolyline(QPolygonF({QPointF(15.5, 20), QPointF(18.5, 23), QPointF(23, 16.5)}));
    } else {
        p.drawLine(QPointF(19, 12), QPointF(19, 26));
        p.drawPolyline(QPolygonF({QPointF(14, 21), QPointF(19, 26), QPointF(24, 21)}));
        p.drawLine(QPointF(13, 29), QPointF(25, 29));
    }
    p.setPen(Qt::white);
    p.setFont(uiFont(13, true));
    p.drawText(QRectF(30, 0, kWidth - 36, 40), Qt::AlignCenter, text);
    return img;
}

QImage newBadge() {
    QImage img = canvas(32, 18);
    QPainter p(&img);
    smooth(p);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRoundedRect(QRectF(0, 0, 32, 18), 9, 9);
    p.setPen(Qt::white);
    p.setFont(uiFont(10, true));
    p.drawText(QRectF(0, 0, 32, 18), Qt::AlignCenter, QStringLiteral("NEW"));
    return img;
}

QImage networkIcon(bool ok) {
    QImage img = canvas(46, 46);
    QPainter p(&img);
    smooth(p);
    p.setPen(Qt::NoPen);
    p.setBrush(ok ? QColor(0x22, 0xc3, 0xa6, 40) : QColor(0x8a, 0x97, 0xab, 40));
    p.drawEllipse(QRectF(1, 1, 44, 44));
    const QColor c = ok ? kTeal : kMist;
    p.setPen(QPen(c, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        const double r = 6 + i * 6;
        p.drawArc(QRectF(23 - r, 31 - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(23, 31), 3, 3);
    if (!ok) {
        p.setBrush(kRed);
        p.drawEllipse(QPointF(35, 35), 8, 8);
        p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(32, 32), QPointF(38, 38));
        p.drawLine(QPointF(38, 32), QPointF(32, 38));
    }
    return img;
}

// A full-screen picture with a centred illustration and a caption (the screen window's images).
QImage screenPicture(const QString& caption, const QString& hint, const QColor& accent,
                     const std::function<void(QPainter&, QPointF)>& illustration) {
    QImage img(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    smooth(p);
    blueBackdrop(p, img.width(), img.height());
    const QPointF centre(960, 440);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 28));
    p.drawEllipse(centre, 170, 170);
    p.setBrush(QColor(255, 255, 255, 36));
    p.drawEllipse(centre, 120, 120);
    illustration(p, centre);
    p.setPen(Qt::white);
    p.setFont(uiFont(48, true));
    p.drawText(QRectF(0, 660, 1920, 70), Qt::AlignCenter, caption);
    p.setPen(QColor(255, 255, 255, 190));
    p.setFont(uiFont(26));
    p.drawText(QRectF(0, 740, 1920, 44), Qt::AlignCenter, hint);
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawRoundedRect(QRectF(920, 806, 80, 6), 3, 3);
    return img;
}

void drawBoard(QPainter& p, QPointF c) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1b, 0x4d, 0x3e));
    p.drawRoundedRect(QRectF(c.x() - 90, c.y() - 60, 180, 110), 10, 10);
    p.setPen(QPen(QColor(255, 255, 255, 200), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(c.x() - 60, c.y() - 28), QPointF(c.x() + 40, c.y() - 28));
    p.drawLine(QPointF(c.x() - 60, c.y() - 4), QPointF(c.x() + 10, c.y() - 4));
    p.drawLine(QPointF(c.x() - 60, c.y() + 20), QPointF(c.x() + 55, c.y() + 20));
    p.setPen(QPen(QColor(0xc9, 0x8b, 0x4b), 8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(c.x() - 60, c.y() + 80), QPointF(c.x() - 40, c.y() + 52));
    p.drawLine(QPointF(c.x() + 60, c.y() + 80), QPointF(c.x() + 40, c.y() + 52));
}

void drawHourglass(QPainter& p, QPointF c) {
    p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(c.x() - 50, c.y() - 70), QPointF(c.x() + 50, c.y() - 70));
    p.drawLine(QPointF(c.x() - 50, c.y() + 70), QPointF(c.x() + 50, c.y() + 70));
    QPainterPath glass;
    glass.moveTo(c.x() - 38, c.y() - 70);
    glass.cubicTo(c.x() - 38, c.y() - 20, c.x() - 6, c.y() - 10, c.x() - 6, c.y());
    glass.cubicTo(c.x() - 6, c.y() + 10, c.x() - 38, c.y() + 20, c.x() - 38, c.y() + 70);
    glass.lineTo(c.x() + 38, c.y() + 70);
    glass.cubicTo(c.x() + 38, c.y() + 20, c.x() + 6, c.y() + 10, c.x() + 6, c.y());
    glass.cubicTo(c.x() + 6, c.y() - 10, c.x() + 38, c.y() - 20, c.x() + 38, c.y() - 70);
    glass.closeSubpath();
    p.drawPath(glass);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xd0, 0x7a));
    QPainterPath sand;
    sand.moveTo(c.x() - 30, c.y() + 64);
    sand.quadTo(c.x(), c.y() + 20, c.x() + 30, c.y() + 64);
    sand.closeSubpath();
    p.drawPath(sand);
    p.drawEllipse(QPointF(c.x(), c.y() - 44), 18, 8);
}

void drawUnplugged(QPainter& p, QPointF c) {
    p.setPen(QPen(Qt::white, 7, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        const double r = 40 + i * 30;
        p.drawArc(QRectF(c.x() - r, c.y() + 40 - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(c.x(), c.y() + 40), 10, 10);
    p.setPen(QPen(kRed, 10, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(c.x() - 80, c.y() - 70), QPointF(c.x() + 80, c.y() + 70));
}

QImage splash() {
    QImage img = canvas(640, 380);
    QPainter p(&img);
    smooth(p);
    const QRectF card(10, 8, 620, 360);
    shadow(p, card, 26, 8, 70);
    QLinearGradient g(card.topLeft(), card.bottomRight());
    g.setColorAt(0, kNavy);
    g.setColorAt(1, kBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(card, 26, 26);
    p.setBrush(QColor(255, 255, 255, 20));
    p.drawEllipse(QPointF(560, 60), 130, 130);
    drawLogoMark(p, QRectF(60, 110, 112, 112));
    p.setPen(Qt::white);
    p.setFont(uiFont(40, true));
    p.drawText(QRectF(200, 110, 400, 60), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("芬维学生端"));
    p.setPen(QColor(255, 255, 255, 200));
    p.setFont(uiFont(20));
    p.drawText(QRectF(200, 170, 400, 40), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("双师课堂 · 让好老师走进每一间教室"));
    p.setPen(QColor(255, 255, 255, 170));
    p.setFont(uiFont(16));
    p.drawText(QRectF(60, 290, 520, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("正在启动，请稍候…"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 50));
    p.drawRoundedRect(QRectF(60, 326, 520, 6), 3, 3);
    p.setBrush(kTeal);
    p.drawRoundedRect(QRectF(60, 326, 300, 6), 3, 3);
    return img;
}

QImage wordmark() {
    QImage img = canvas(240, 64);
    QPainter p(&img);
    smooth(p);
    drawLogoMark(p, QRectF(4, 6, 52, 52));
    p.setPen(kInk);
    p.setFont(uiFont(30, true));
    p.drawText(QRectF(66, 0, 174, 64), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Fenwix"));
    return img;
}

// Tool bar icons: a rounded tile with a white glyph.
QImage toolTile(const QColor& tile, const std::function<void(QPainter&)>& glyph, int w = 62) {
    QImage img = canvas(w, 62);
    QPainter p(&img);
    smooth(p);
    QLinearGradient g(0, 0, 0, 62);
    g.setColorAt(0, tile.lighter(118));
    g.setColorAt(1, tile);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(3, 3, w - 6, 56), 14, 14);
    p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.translate((w - 62) / 2.0, 0);
    glyph(p);
    return img;
}

void glyphPreview(QPainter& p) {
    p.drawRoundedRect(QRectF(15, 19, 32, 24), 4, 4);
    p.drawRect(QRectF(30, 30, 13, 9));
}
void glyphCamera(QPainter& p) {
    p.drawRoundedRect(QRectF(13, 21, 26, 20), 5, 5);
    p.drawPolygon(QPolygonF({QPointF(40, 28), QPointF(49, 23), QPointF(49, 39), QPointF(40, 34)}));
}
void glyphSpeaker(QPainter& p) {
    p.drawPolygon(QPolygonF({QPointF(14, 26), QPointF(21, 26), QPointF(30, 18), QPointF(30, 44),
                             QPointF(21, 36), QPointF(14, 36)}));
    p.drawArc(QRectF(28, 23, 12, 16), -60 * 16, 120 * 16);
    p.drawArc(QRectF(28, 17, 20, 28), -60 * 16, 120 * 16);
}
void glyphMic(QPainter& p) {
    p.drawRoundedRect(QRectF(25, 14, 12, 22), 6, 6);
    p.drawArc(QRectF(19, 20, 24, 22), 180 * 16, 180 * 16);
    p.drawLine(QPointF(31, 42), QPointF(31, 48));
    p.drawLine(QPointF(24, 48), QPointF(38, 48));
}
void glyphTool(QPainter& p) {
    p.drawEllipse(QPointF(31, 31), 6, 6);
    for (int i = 0; i < 8; ++i) {
        const double a = i * 3.14159265 / 4;
        p.drawLine(QPointF(31 + 11 * std::cos(a), 31 + 11 * std::sin(a)),
                   QPointF(31 + 16 * std::cos(a), 31 + 16 * std::sin(a)));
    }
}
void glyphClock(QPainter& p) {
    p.drawEllipse(QPointF(31, 31), 16, 16);
    p.drawLine(QPointF(31, 31), QPointF(31, 21));
    p.drawLine(QPointF(31, 31), QPointF(38, 35));
}
void glyphQuit(QPainter& p) {
    p.drawArc(QRectF(17, 18, 28, 28), 120 * 16, 300 * 16);
    p.drawLine(QPointF(31, 14), QPointF(31, 30));
}

// The muted form of a device glyph: the glyph crossed by a slash.
std::function<void(QPainter&)> mutedGlyph(const std::function<void(QPainter&)>& glyph) {
    return [glyph](QPainter& p) {
        glyph(p);
        p.drawLine(QPointF(14, 14), QPointF(48, 48));
    };
}

bool save(const QImage& image, const QString& path, const char* format = "PNG", int quality = -1) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    return image.save(path, format, quality);
}

}  // namespace

bool drawAllPictures(const QString& root) {
    const QString main = root + QStringLiteral("/images/main/");
    const QString tool = root + QStringLiteral("/images/tool/");
    const QColor toolBlue(0x2d, 0x7f, 0xe0);
    const QColor toolRed(0xe0, 0x4f, 0x55);
    const QColor toolSlate(0x3d, 0x4f, 0x6e);
    const QColor toolMuted(0x8a, 0x93, 0xa3);
    std::vector<bool> ok = {
        save(background(), main + "bg.png"),
        save(panel(), main + "bg1.png"),
        save(decoration(), main + "bg2.png"),
        save(student(), main + "student.png"),
        save(logo(128), main + "logo.png"),
        save(logo(64), main + "fenwix.png"),
        save(pillButton(QString::fromUtf8("设备检测"), kSky, kBlue, true),
             main + "devicecheck_normal.png"),
        save(pillButton(QString::fromUtf8("设备检测"), kSky.lighter(112), kSky, true),
             main + "devicecheck_hover.png"),
        save(pillButton(QString::fromUtf8("软件更新"), QColor(0xff, 0xb0, 0x6a), kOrange, false),
             main + "update_normal.png"),
        save(newBadge(), main + "new.png"),
        save(networkIcon(true), main + "net_normal.png"),
        save(networkIcon(false), main + "net_error.png"),
        save(screenPicture(QString::fromUtf8("欢迎来到芬维双师课堂"),
                           QString::fromUtf8("课程即将开始，请同学们做好上课准备"), kTeal,
                           drawBoard),
             main + "screenbg.jpg", "JPG", 90),
        save(screenPicture(QString::fromUtf8("老师正在准备课程"),
                           QString::fromUtf8("请稍候，画面将自动切换到老师"), kOrange,
                           drawHourglass),
             main + "wait.png"),
        save(screenPicture(QString::fromUtf8("网络连接已断开"),
                           QString::fromUtf8("正在尝试重新连接，请检查网络线缆或无线网络"), kRed,
                           drawUnplugged),
             main + "offline.png"),
        save(splash(), main + "splashbg.png"),
        save(wordmark(), main + "tarnix.png"),
        save(toolTile(toolSlate, glyphPreview), tool + "preview_normal.png"),
        save(toolTile(toolBlue, glyphCamera), tool + "camera_normal.png"),
        save(toolTile(toolBlue, glyphSpeaker), tool + "speaker_nromal.png"),
        save(toolTile(toolBlue, glyphMic), tool + "mic_normal.png"),
        save(toolTile(toolMuted, mutedGlyph(glyphCamera)), tool + "camera_mute.png"),
        save(toolTile(toolMuted, mutedGlyph(glyphSpeaker)), tool + "speaker_mute.png"),
        save(toolTile(toolMuted, mutedGlyph(glyphMic)), tool + "mic_mute.png"),
        save(toolTile(toolSlate, glyphTool), tool + "tool_normal.png"),
        // As wide as the buttons, so the class time beside it ends before the quit button.
        save(toolTile(toolSlate, glyphClock), tool + "time.png"),
        save(toolTile(toolRed, glyphQuit), tool + "quit_normal.png"),
    };
    return std::all_of(ok.begin(), ok.end(), [](bool b) { return b; });
}
