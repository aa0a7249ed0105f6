#include "ui/mytimestaticctrl.h"

#include <QDateTime>
#include <QFont>
#include <QPainter>
#include <QTimer>

#include "ui/controlimage.h"

namespace {

std::int64_t nowSeconds() {
    return QDateTime::currentSecsSinceEpoch();
}

}  // namespace

CMyTimeStaticCtrl::CMyTimeStaticCtrl(QWidget* parent, const QRect& rect, const QString& imagePath,
                                     bool keepPath, unsigned /*id*/)
    : QWidget(parent),
      m_path(keepPath ? imagePath : QString()),
      m_clock(nowSeconds),
      m_repaintTimer(new QTimer(this)) {
    setWindowTitle(QStringLiteral("MyTimeBitmapStatic"));
    connect(m_repaintTimer, &QTimer::timeout, this, [this] { update(); });
    const QImage image(imagePath);
    setGeometry(image.isNull() ? rect
                               : QRect(rect.topLeft(), QSize(image.width() + 100, image.height())));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    show();
}

void CMyTimeStaticCtrl::StartClock() {
    m_repaintTimer->stop();
    m_startSeconds = m_clock();
    m_started = true;
    if (isVisible()) {
        m_repaintTimer->start(kRepaintMs);
    }
}

bool CMyTimeStaticCtrl::isTicking() const {
    return m_repaintTimer->isActive();
}

void CMyTimeStaticCtrl::showEvent(QShowEvent* /*event*/) {
    if (m_started && !m_repaintTimer->isActive()) {
        m_repaintTimer->start(kRepaintMs);
    }
}

void CMyTimeStaticCtrl::hideEvent(QHideEvent* /*event*/) {
    m_repaintTimer->stop();
}

QString CMyTimeStaticCtrl::formatElapsed(std::int64_t seconds) {
    const std::int64_t withinDay = ((seconds % 86400) + 86400) % 86400;
    const auto hours = static_cast<int>(withinDay / 3600);
    const auto minutes = static_cast<int>(withinDay / 60 % 60);
    const auto secs = static_cast<int>(withinDay % 60);
    return QString::asprintf("%02d:%02d:%02d", hours, minutes, secs);
}

QString CMyTimeStaticCtrl::elapsedText() const {
    return formatElapsed(m_clock() - m_startSeconds);
}

void CMyTimeStaticCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(240, 240, 240));
    const QImage image = loadControlImage(m_path);
    if (image.isNull()) {
        return;
    }
    painter.drawImage(0, 0, image);
    QFont font(QString::fromUtf8("宋体"));
    font.setPointSize(11);
    painter.setFont(font);
    painter.setPen(Qt::black);
    // The text box's top sits 10 pixels above the icon's middle, as a text-out at that point.
    const QRect box(image.width(), image.height() / 2 - 10, width() - image.width(),
                    height() - (image.height() / 2 - 10));
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, elapsedText());
}
