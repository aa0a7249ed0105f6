// An image button: draws one of two pictures (and an optional centred caption) and reports a
// left-button release to its notify window as WM_CTRL_CLICKED with its id.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QWidget>

class MainWindowChannel;

class CMyButtonCtrl : public QWidget {
    Q_OBJECT
public:
    // Sized to the normal picture when it loads, else to rect. The third path is kept but never
    // drawn. Clicks go to notify (may be null: then nothing is sent).
    CMyButtonCtrl(QWidget* parent, const QRect& rect, const QString& normalPath,
                  const QString& secondPath, const QString& thirdPath, unsigned id,
                  MainWindowChannel* notify);

    // 0 draws the normal picture, 1 the second one (the normal one when that path is empty).
    void SetState(int state);
    // Fills the button with colour under its picture.
    void SetBackground(const QColor& colour);

    int state() const { return m_state; }
    unsigned id() const { return m_id; }
    bool hasBackground() const { return m_bBackground; }
    QColor background() const { return m_background; }
    // The picture the current state draws.
    QString currentImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_normal;
    QString m_second;
    QString m_third;
    int m_state = 0;
    bool m_bBackground = false;
    QColor m_background;
    unsigned m_id;
    MainWindowChannel* m_notify;
};
