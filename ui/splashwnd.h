// The picture that covers the main window while the terminal starts.
#pragma once

#include <QPointer>
#include <QWidget>

class CSplashWnd : public QWidget {
    Q_OBJECT
public:
    static void EnableSplash(bool enable);
    // Shows the splash over parent if splashing is enabled and none is showing.
    static void ShowSplash(QWidget* parent);
    // Closes the showing splash and has the parent repaint.
    static void HideSplash();
    static bool isShowing();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    explicit CSplashWnd(QWidget* owner);
};
