// The update failure tip: no caption bar, a title line "系统升级", the failure text and "关闭".
// Shown modally by the self-update.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class CTip1Dlg : public QDialog {
    Q_OBJECT
public:
    explicit CTip1Dlg(QWidget* parent = nullptr);

    static constexpr int kWidthUnits = 196;
    static constexpr int kHeightUnits = 87;

    QLabel* titleLabel() const { return m_staticTitle; }
    QLabel* textLabel() const { return m_staticText; }
    QPushButton* closeButton() const { return m_btnClose; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_staticTitle = nullptr;
    QLabel* m_staticText = nullptr;
    QPushButton* m_btnClose = nullptr;
};
