// The update progress window: shown modally while the offered installer downloads on a worker
// thread, with a bar, the percentage and a cancel button. One window is reused for every attempt.
#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <string>

#include "service/updatedownload.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CUpdateDlg : public QDialog, private UpdateDownloadView {
    Q_OBJECT
public:
    // Control ids of the window.
    static constexpr int IDC_PROGRESS = 1042;
    static constexpr int IDC_TITLE = 1043;
    static constexpr int IDC_TEXT = 1044;
    static constexpr int IDC_PERCENT = 1045;
    static constexpr int IDC_CANCEL = 1046;

    explicit CUpdateDlg(QWidget* parent = nullptr);
    ~CUpdateDlg() override;

    // The installer address and the local file to write; called before the window is shown.
    void SetUrlAndPath(const std::string& url, const std::string& filePath);
    // The installer's SHA-256 (hex) the backend offered with it; empty when it sent none.
    void SetExpectedSha256(const std::string& sha256) { m_strSha256 = sha256; }

    // Shows the window modally and starts the download; returns when the window has closed.
    int DoModal();

    // Stops the download thread, waits for it (serving the main window's events meanwhile) and
    // asks the window to close. The cancel button and a stopped update use it.
    void WaitAndClose();

    // Progress as a fraction of the announced length (0 to 1), on the UI thread: moves the bar
    // and shows the percentage with one decimal.
    void SetProgress(double fraction);

    bool isDownloadRunning() const { return m_download.isRunning(); }

    // What the window shows, for tests and diagnostics.
    QString percentText() const;
    int progressValue() const;                            // the bar's value, within its range
    int progressPosition() const { return m_nPosition; }  // the computed position, unclamped
    QPushButton* cancelButton() const { return m_btnCancel; }

private:
    void OnInitDialog();
    void OnBnClickedCancel();
    // Posts a close request for the attempt now showing; one that arrives after a newer attempt
    // began is dropped, so a late request never closes the wrong attempt.
    void RequestClose();

    // UpdateDownloadView, called on the download thread.
    void onProgress(double fraction) override;
    void onAttemptEnded() override;

    std::string m_strUrl;
    std::string m_strFilePath;
    std::string m_strSha256;
    QLabel* m_staticTitle = nullptr;
    QLabel* m_staticText = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_staticPercent = nullptr;
    QPushButton* m_btnCancel = nullptr;
    int m_nPosition = 0;
    std::atomic<unsigned> m_attempt{0};
    UpdateDownload m_download;  // last: its thread ends before the controls go
};
