// Pictures written into a test's own working folder, for controls that read them by path.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

// Switches the working folder to a fresh temporary one for the test's life.
class PictureFolder {
public:
    PictureFolder() : previous_(QDir::currentPath()) {
        EXPECT_TRUE(dir_.isValid());
        QDir::setCurrent(dir_.path());
    }
    ~PictureFolder() { QDir::setCurrent(previous_); }
    PictureFolder(const PictureFolder&) = delete;
    PictureFolder& operator=(const PictureFolder&) = delete;

    // Writes a one-colour picture at a path relative to the folder; returns that path.
    QString write(const QString& relative, int w, int h, QColor colour) const {
        QDir().mkpath(QFileInfo(relative).path());
        QImage image(w, h, QImage::Format_ARGB32);
        image.fill(colour);
        EXPECT_TRUE(image.save(relative));
        return relative;
    }

private:
    QTemporaryDir dir_;
    QString previous_;
};

// The colour of one pixel of what a widget shows now.
inline QColor shownPixel(QWidget& widget, int x, int y) {
    return widget.grab().toImage().pixelColor(x, y);
}

inline bool near(const QColor& a, const QColor& b, int tolerance = 2) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}
