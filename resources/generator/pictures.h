// The terminal's pictures, drawn with QPainter: backgrounds, panel, student, logo, buttons,
// status icons and tool bar icons. Each function writes one file into the given folder tree.
#pragma once

#include <QString>

// Draws every picture under root (images/main/..., images/tool/...). False if a file failed.
bool drawAllPictures(const QString& root);
