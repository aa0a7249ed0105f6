#include "ui/splashwnd.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>

namespace {

const char* const kSplashImage = "./images/main/splashbg.png";

bool g_enabled = false;
CSplashWnd* g_showing = nullptr;
QPointer<QWidget> g_owner;

}  // namespace

void CSplashWnd::EnableSplash(bool enable) {
    g_enabled = enable;
}

bool CSplashWnd::isShowing() {
    return g_showing != nullptr;
}

CSplashWnd::CSplashWnd(QWidget* owner)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setCursor(Qt::ArrowCursor);
    const QImage image(QString::fromLatin1(kSplashImage));
    resize(image.size());
    QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect area = screen->geometry();
        move(area.center() - rect().center());
    }
}

void CSplashWnd::ShowSplash(QWidget* parent) {
    if (!g_enabled || g_showing != nullptr) {
        return;
    }
    g_owner = parent;
    g_showing = new CSplashWnd(parent);
    g_showing->show();
    g_showing->repaint();
}

void CSplashWnd::HideSplash() {
    delete g_showing;
    g_showing = nullptr;
    if (g_owner) {
        g_owner->update();
    }
}

void CSplashWnd::paintEvent(QPaintEvent*) {
    const QImage image(QString::fromLatin1(kSplashImage));
    if (image.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, image);
}
