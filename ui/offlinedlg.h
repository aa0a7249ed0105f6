// The offline notice: a dark strip with one line of white text that the main controller lays
// over the main window while the network is down. It holds nothing but its text.
#pragma once

#include <QString>
#include <QWidget>

class COfflineDlg : public QWidget {
    Q_OBJECT
public:
    // A window of its own (no caption), owned by the main window: it stays above its owner and
    // goes with it. The controller places, shows and hides it.
    explicit COfflineDlg(QWidget* owner);

    // Stores the notice and repaints.
    void SetText(const QString& text);
    QString text() const { return m_strText; }

    static constexpr int kWidthUnits = 326;
    static constexpr int kHeightUnits = 32;
    static constexpr int kTextMargin = 20;  // pixels kept free left and right of the text

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_strText;
};
