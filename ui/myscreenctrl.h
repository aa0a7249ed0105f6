// A picture sized to itself, drawn at its own size.
#pragma once

#include <QString>
#include <QWidget>

class CMyScreenCtrl : public QWidget {
    Q_OBJECT
public:
    CMyScreenCtrl(QWidget* parent, const QString& imagePath, unsigned id);

    QString image() const { return m_path; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_path;
};
