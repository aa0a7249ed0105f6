// The enter-class button: a rounded green button that runs a 60-second countdown. While it
// counts down it reads "%d秒后可重新进入" and ignores clicks; when the countdown runs out it tells
// its notify window with WM_NOTICE 20, half a second after returning to "进入课程".
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

class MainWindowChannel;
class QTimer;

class CMyTimerButtonCtrl : public QWidget {
    Q_OBJECT
public:
    // Timer ids of the control (kept as names; each is one QTimer).
    static constexpr int TIMER_TICK = 1025;  // one countdown step
    static constexpr int TIMER_END = 1026;   // the end notice, once
    static constexpr int kStartValue = 60;
    static constexpr int kTickMs = 1000;
    static constexpr int kEndDelayMs = 500;

    CMyTimerButtonCtrl(QWidget* parent, const QRect& rect, unsigned id, MainWindowChannel* notify);

    void StartCountdown();
    void StopCountdown();

    QString caption() const { return m_caption; }
    bool isCountingDown() const { return m_bRunning; }
    int counter() const { return m_nCounter; }
    unsigned id() const { return m_id; }
    int tickPeriodMs() const { return m_tickMs; }
    int endDelayMs() const { return m_endDelayMs; }
    bool isTimerActive(int id) const;

    // Shorter periods so a test sees a whole countdown in well under a second.
    void setPeriodsForTesting(int tickMs, int endDelayMs);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void OnTick();
    void OnEnd();

    QString m_caption;
    bool m_bRunning = false;
    int m_nStart = kStartValue;
    int m_nCounter = kStartValue;
    unsigned m_id;
    MainWindowChannel* m_notify;
    int m_tickMs = kTickMs;
    int m_endDelayMs = kEndDelayMs;
    QTimer* m_tickTimer;
    QTimer* m_endTimer;
};
