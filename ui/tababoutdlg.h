// The settings window's about page: the logo, the product picture and the version line.
#pragma once

#include <QWidget>

class CTabAboutDlg : public QWidget {
    Q_OBJECT
public:
    explicit CTabAboutDlg(QWidget* parent = nullptr);

    // The line drawn under the pictures.
    static QString VersionLine();

protected:
    void paintEvent(QPaintEvent* event) override;
};
