// The settings window: a modal tab host with the device page, the statistics page and the about
// page, bound to the backend client through which the pages reach the conference session.
#pragma once

#include <QDialog>

class QTabWidget;
class CTabSetDlg;
class CTabInfoDlg;
class CTabAboutDlg;
class FenwixStudentServer;

class CVidyoSetDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTabCount = 3;

    explicit CVidyoSetDlg(QWidget* parent = nullptr);

    // Borrowed; set before the window is shown.
    void SetServer(FenwixStudentServer* server) { m_server = server; }

    // Binds the pages to the backend client and centres the window, then runs it modally.
    int DoModal();
    // The same first steps without the modal loop (tests show the window themselves).
    bool OnInitDialog();

    QTabWidget* tabs() const { return m_tabs; }
    CTabSetDlg* devicePage() const { return m_setPage; }
    CTabInfoDlg* statisticsPage() const { return m_infoPage; }
    CTabAboutDlg* aboutPage() const { return m_aboutPage; }

private:
    FenwixStudentServer* m_server = nullptr;
    QTabWidget* m_tabs = nullptr;
    CTabSetDlg* m_setPage = nullptr;
    CTabInfoDlg* m_infoPage = nullptr;
    CTabAboutDlg* m_aboutPage = nullptr;
};
