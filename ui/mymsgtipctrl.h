// The message bar: a black bar with one line of white text, created hidden; it can hide itself
// three seconds after a message.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

class QTimer;

class CMyMsgTipCtrl : public QWidget {
    Q_OBJECT
public:
    static constexpr int TIMER_HIDE = 1035;
    static constexpr int kHideMs = 3000;

    CMyMsgTipCtrl(QWidget* parent, const QRect& rect, unsigned id);

    // Shows text; with autoHide the bar hides itself after the hide period, else it stays until
    // hidden from outside. A new message restarts the period (or cancels it without autoHide).
    void ShowMessage(const QString& text, bool autoHide);

    QString text() const { return m_text; }
    unsigned id() const { return m_id; }
    bool isHideTimerActive() const;
    int hidePeriodMs() const { return m_hideMs; }
    void setHidePeriodForTesting(int ms) { m_hideMs = ms; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnHideTimer();

    QString m_text;
    unsigned m_id;
    int m_hideMs = kHideMs;
    QTimer* m_hideTimer;
};
