// The class clock: an icon followed by the time elapsed since StartClock(), "hh:mm:ss".
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

class QTimer;

class CMyTimeStaticCtrl : public QWidget {
    Q_OBJECT
public:
    static constexpr int TIMER_REPAINT = 1034;
    static constexpr int kRepaintMs = 1000;

    // Sized image width + 100 by image height when the image loads, else rect. Without keepPath
    // no image is kept, and with no image nothing but the grey background is drawn.
    CMyTimeStaticCtrl(QWidget* parent, const QRect& rect, const QString& imagePath, bool keepPath,
                      unsigned id);

    // Counts again from zero and repaints every second while it can be seen.
    void StartClock();

    // The text the clock shows now: seconds since the start, hours within the day.
    QString elapsedText() const;
    QString image() const { return m_path; }
    bool isRunning() const { return m_started; }
    // Whether its repaint timer runs: only while started and visible.
    bool isTicking() const;
    std::int64_t startSeconds() const { return m_startSeconds; }

    // Seconds since 1970; tests put their own clock here.
    void setClockForTesting(std::function<std::int64_t()> clock) { m_clock = std::move(clock); }

    // "%02d:%02d:%02d" of seconds, hours taken within the day.
    static QString formatElapsed(std::int64_t seconds);

protected:
    void paintEvent(QPaintEvent* event) override;
    // A hidden clock (the tool bar out of a class) has nothing to repaint.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QString m_path;
    bool m_started = false;
    std::int64_t m_startSeconds = 0;  // 0 before StartClock: the clock shows the time of day
    std::function<std::int64_t()> m_clock;
    QTimer* m_repaintTimer;
};
