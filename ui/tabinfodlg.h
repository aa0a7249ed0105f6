// The settings window's statistics page: bandwidths, the fixed participant's receive rates, CPU,
// own video and the terminal's identity, fetched from the conference library every second while
// the window is open.
#pragma once

#include <QWidget>
#include <map>

class QGroupBox;
class QLabel;
class QTimer;
class QTreeWidget;
class FenwixStudentServer;

class CTabInfoDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshTimerId = 1036;
    static constexpr int kRefreshPeriodMs = 1000;

    explicit CTabInfoDlg(QWidget* parent = nullptr);

    // Borrowed; without one the page never updates.
    void SetServer(FenwixStudentServer* server) { m_server = server; }

    // One refresh, as a tick of the timer does it.
    void OnTimer();

    // The text of the static with that control id (empty for an unknown id).
    QString staticText(int id) const;
    QTreeWidget* participantList() const { return m_list; }
    QGroupBox* participantGroup() const { return m_participants; }
    bool refreshing() const;

private:
    void MakeBandwidthRow(int groupX, const int (&ids)[5], int staticY);
    QLabel* MakeStatic(int id, int x, int y, int w, int h);

    FenwixStudentServer* m_server = nullptr;
    std::map<int, QLabel*> m_statics;
    QGroupBox* m_participants = nullptr;
    QTreeWidget* m_list = nullptr;
    QTimer* m_timer = nullptr;
};
