// Draws the terminal's pictures and writes its test sound into a folder tree at build time:
// imagegen <output folder>. Runs with the offscreen platform; needs no display.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "pictures.h"
#include "wavefile.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QString root = QString::fromLocal8Bit(argv[1]);
    if (!drawAllPictures(root)) {
        std::fprintf(stderr, "imagegen: a picture could not be written under %s\n", argv[1]);
        return 1;
    }
    QDir().mkpath(root + QStringLiteral("/wav"));
    if (!writeChimeWave((root + QStringLiteral("/wav/test.wav")).toStdString())) {
        std::fprintf(stderr, "imagegen: wav/test.wav could not be written\n");
        return 1;
    }
    return 0;
}
