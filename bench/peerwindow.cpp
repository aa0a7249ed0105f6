// The peer of the idle benchmark: the least a Qt widgets program showing one full-screen
// window costs on the same display.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("idle"));
    label.setAlignment(Qt::AlignCenter);
    label.showFullScreen();
    return app.exec();
}
