// The device tip: asks the person on site to switch on the microphone and the speakers. Shown
// modally; "关闭" closes it, and so does closing every window captioned "芬维提示".
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class CTipDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTipDlg(QWidget* parent = nullptr);

    static constexpr int kWidthUnits = 124;
    static constexpr int kHeightUnits = 54;

    QLabel* textLabel() const { return m_staticText; }
    QPushButton* closeButton() const { return m_btnClose; }

private:
    QLabel* m_staticText = nullptr;
    QPushButton* m_btnClose = nullptr;
};
