// A clickable picture whose image can be replaced; the image is read from its file at each paint,
// so a file replaced on disk shows at the next repaint.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

class MainWindowChannel;

class CMyStaticCtrl : public QWidget {
    Q_OBJECT
public:
    // Sized to the image when it loads, else to rect. Without keepPath the picture stays empty
    // until SetImage(). Left-button releases are sent as WM_PICTURE_CLICKED with id to notify.
    CMyStaticCtrl(QWidget* parent, const QRect& rect, const QString& imagePath, bool keepPath,
                  unsigned id, MainWindowChannel* notify);

    void SetImage(const QString& path);
    QString image() const { return m_path; }
    unsigned id() const { return m_id; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_path;
    unsigned m_id;
    MainWindowChannel* m_notify;
};
