// The main controller: the terminal's one modal main window (the idle screen), the owner of every
// other component, and the handler of the numbered events, timers and keys through which the rest
// of the terminal reaches the user interface.
#pragma once

#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/updatedlg.h"
#include "service/fenwixstudentserver.h"
#include "service/fenwixstudentsink.h"

class QLabel;
class QMenu;
class QSocketNotifier;
class QSystemTrayIcon;
class QTimer;
class CMyStaticCtrl;
class CMyButtonCtrl;
class CMyTimerButtonCtrl;
class CMyMsgTipCtrl;
class CToolDlg;
class CScreenDlg;
class CVideoDlg;
class CPreviewDlg;
class MainWindowChannel;
class QtMainWindowChannel;
class QtTerminalUi;
class TerminalUi;
class CHeartbeat;
class CZorbel;
class COfflineDlg;
class ClassFlowPeers;
class CrashGuard;
class UpdateTrial;
struct UpdateHandOver;

namespace fenwix::platform {
class TerminationRequests;
}  // namespace fenwix::platform

class CFenwixDlg : public QDialog, public FenwixStudentSink {
    Q_OBJECT
public:
    explicit CFenwixDlg(QWidget* parent = nullptr);
    ~CFenwixDlg() override;  // runs the shutdown sequence

    // Single-instance check, then the start-up sequence, then the modal loop. Returns how the
    // window ended (RESULT_OK, RESULT_CANCEL).
    int DoModal();

    // Single-instance check and start-up sequence. A second instance logs and ends the process
    // with exit code -1 here.
    bool OnInitDialog();

    // The start-up sequence alone (tests run it without the single-instance check).
    void StartUp();

    // Ends the modal loop: the only way the main window closes.
    void EndDialog(int result);

    // Handles one main-window event on the UI thread (what the channel delivers).
    std::intptr_t WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

    // A tick of one of the main window's timers.
    void OnTimer(int id);

    // FenwixStudentSink, called on HTTP worker threads.
    void httpFail(int type) override;
    void httpBack(const std::string& reply, int type) override;
    void sysRegisterBack(const std::string& text) override;
    void downloadBack(int type) override;

    // Places the logo centred on the panel; false when logo.png or bg1.png cannot be loaded.
    bool ReloadLogo();

    MainWindowChannel& channel();
    // The window operations core code asks for (device tip, closing tips, handle); made at
    // start-up, null before.
    TerminalUi* terminalUi() const;
    // The backend client (with the conference session inside it).
    FenwixStudentServer& studentServer() { return m_studentServer; }
    bool isTimerActive(int id) const;
    int cameraState() const { return m_nCameraState; }
    int micState() const { return m_nMicState; }
    bool isRegistered() const { return m_bRegistered != 0; }
    QString idText() const;
    QString versionText() const;
    QPoint panelCorner() const { return m_ptPanel; }
    CMyStaticCtrl* studentPicture() const { return m_picStudent; }
    CMyStaticCtrl* logoPicture() const { return m_picLogo; }
    bool hasTrayIcon() const { return m_trayIcon != nullptr; }
    CToolDlg* toolBar() const { return m_pToolDlg; }
    CScreenDlg* screenWindow() const { return m_pScreenDlg; }
    CVideoDlg* videoWindow() const { return m_pVideoDlg; }
    CPreviewDlg* previewWindow() const { return m_pPreviewDlg; }
    CMyMsgTipCtrl* messageBar() const { return m_msgTip; }
    COfflineDlg* offlineNotice() const { return m_pOfflineDlg; }
    CMyButtonCtrl* deviceCheckButton() const { return m_btnDeviceCheck; }
    CMyTimerButtonCtrl* enterClassButton() const { return m_btnEnterClass; }

    // Milliseconds of the wall clock, for the quick-click rule; tests put their own clock here.
    void setWallClockForTesting(std::function<std::int64_t()> clock);

    // The terminal status display: 0 start-up, 1 idle screen, 2 waiting picture, 3 class video.
    void ShowTerminalStatus(int status);

    // The components the class flow reaches (backend client, conference, live push, windows);
    // tests put fakes here (not owned; null restores the controller's own).
    void setClassPeersForTesting(ClassFlowPeers* peers);
    // The class flow's pauses on the UI thread, in milliseconds; tests record them instead.
    void setSleepForTesting(std::function<void(int)> sleep);
    int loginPhase() const { return m_nLoginPhase; }
    bool isEntering() const { return m_bEntering; }
    bool fixSucceeded() const { return m_bFixSucceeded != 0; }
    int fixAttempts() const { return m_nFixAttempts; }
    bool netConnected() const { return m_bNetConnected; }

    // Self-update (fenwixdlgupdate.cpp), all on the UI thread: download the offered installer in
    // the progress window; hand over to the updater; show the failure tip; stop a download.
    void updateStart();
    void updateFinish();
    void updateError();
    void updateStop();
    // Ends the first process of that image name; true if one was ended.
    bool killProcess(const std::string& imageName);
    CUpdateDlg& updateDialog() { return m_UpdateDlg; }
    CMyButtonCtrl* updateButton() const { return m_btnUpdate; }
    CMyStaticCtrl* newVersionBadge() const { return m_picNew; }
    const std::string& installUrl() const { return m_strInstallUrl; }
    const std::string& installerPath() const { return m_strInstallerPath; }
    // Tests take the updater from their own folder and record the hand-over and the processes
    // to end instead of starting or ending anything.
    // Started after repeated crashes: classes and the live push stay off (app/fenwixdlgrunguard).
    bool SafeMode() const;
    void setUpdateHandOverForTesting(std::string updaterFolder,
                                     std::function<bool(const UpdateHandOver&)> start,
                                     std::function<bool(const std::string&)> kill);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void accept() override;

private:
    void Uninit();
    void WaitForLiveStop();
    void SendLastStatusReport();
    void OnPushMessage(const std::string* text);
    void OnSourceRemoved(const std::string* text);
    void AddTrayIcon();
    void RemoveTrayIcon();
    void WatchTerminationRequests();
    void LayoutControls();
    void SetMainTimer(int id, int periodMs);
    void KillMainTimer(int id);

    void OnTrayNotify(std::uintptr_t iconId, std::intptr_t mouseMessage);
    void OnCtrlClicked(unsigned id);
    void OnPictureClicked(unsigned id);
    void OnNotice(unsigned code, std::intptr_t lParam);
    void OnConferenceEvent(unsigned msg, std::intptr_t lParam);
    void OnRegistered(std::intptr_t noLogoAddress);
    void OnRegisterFailed();
    void ApplyAudioDevicesOnce();
    void EvaluateCameraState();

    // Windows beside the idle screen and its class controls (fenwixdlgwindows.cpp).
    void CreateAuxWindows();
    void PlaceAuxWindows();
    void DestroyAuxWindows();
    void RearrangeToolBar();
    void ShowToolBarForConference();
    void HideToolBar();
    void CreateMainButtons();
    void CreateMessageBar();
    void PlaceMainButtons();
    void CreateUpdateControls();
    void OnUpdateOffered(std::intptr_t address);
    // The message bar; ShowTipText takes a notice's const std::string* and hides after 3 s.
    void ShowTip(const QString& text, bool autoHide);
    void ShowTipText(std::intptr_t text);

    // Class entry (fenwixdlgclass.cpp).
    ClassFlowPeers& classPeers();
    void Sleep(int ms);
    void OnEnterClassClicked();
    void OnLeaveClassClicked();
    void OnEnterRoomDone();
    void OnLoginBegins();
    void OnEnteringClass();
    void OnEnterTimeout();
    void OnClassJoined();
    void OnLoginFailed();
    void OnJoinFailed();
    void OnAnalyzeLogoutSuccess();
    void OnAnalyzeLogoutSuccessBack();
    void OnDeviceMuteChanged(const std::string* text);
    bool UserAttemptRunning() const;
    void StartGuestAttempt(const char* why);
    void GiveUpGuestAttempt();

    // The device check and the tool bar's preview and mute buttons (fenwixdlgdevices.cpp).
    void OnDeviceCheck();
    void OnTogglePreview();
    void OnToggleMute(unsigned id);

    // The conference library's start and the volumes it starts with (fenwixdlgconference.cpp).
    void StartConference();
    void ReadConferenceVolumes();

    // Screen fixing (fenwixdlgscreenfix.cpp).
    void OnStartFixTimer();
    void OnFixResult(const std::string* text);
    void OnFixedSourceLost();

    // Status, network and live-push display (fenwixdlgstatus.cpp).
    void SetMainWindowVisible(bool visible);
    void OnCurtain(std::intptr_t fixed);
    void OnNetworkState(bool reachable);
    void ShowNetIcon(const char* path);
    void OnHideOfflineTimer();
    void CreateOfflineNotice();
    void PlaceOfflineNotice();
    void DestroyOfflineNotice();
    void CheckLivePreview();
    bool HandleKey(QKeyEvent* key);
    // The settings window (fenwixdlgsettings.cpp).
    void OnSettingsClicked();
    void SendNotice(unsigned code, std::intptr_t lParam);

    // Members in the order of the controller's data model; components of later stages are
    // added at their place.
    QIcon m_hIcon;
    FenwixStudentServer m_studentServer;       // the backend client, with the conference session
    CVideoDlg* m_pVideoDlg = nullptr;          // owned: destroyed by the shutdown sequence
    CPreviewDlg* m_pPreviewDlg = nullptr;      // owned
    CToolDlg* m_pToolDlg = nullptr;            // owned
    CScreenDlg* m_pScreenDlg = nullptr;        // owned
    std::unique_ptr<CHeartbeat> m_pHeartbeat;  // owned: started at start-up, ended at shutdown
    std::unique_ptr<CZorbel> m_pZorbel;        // owned: started after the first registration
    COfflineDlg* m_pOfflineDlg = nullptr;      // owned: shown while the network is lost in class
    CMyMsgTipCtrl* m_msgTip = nullptr;
    bool m_bEntering = false;
    CMyButtonCtrl* m_btnDeviceCheck = nullptr;
    CMyButtonCtrl* m_btnUpdate = nullptr;
    CMyStaticCtrl* m_picNew = nullptr;
    CMyTimerButtonCtrl* m_btnEnterClass = nullptr;
    QLabel* m_staticId = nullptr;
    QLabel* m_staticVersion = nullptr;
    CMyStaticCtrl* m_picNet = nullptr;
    CMyStaticCtrl* m_picLogo = nullptr;
    CMyStaticCtrl* m_picStudent = nullptr;
    QPoint m_ptPanel{0, 0};
    QSystemTrayIcon* m_trayIcon = nullptr;  // the tray icon record: removed at shutdown
    QMenu* m_trayMenu = nullptr;
    QFont m_font;
    bool m_bNetConnected = false;
    bool m_bUninitDone = false;
    QString m_strUpdaterName;
    std::string m_strInstallUrl;
    std::string m_strInstallerPath;
    // The installer digest of the latest offer; empty when the backend sent none.
    std::string m_strInstallSha256;
    CUpdateDlg m_UpdateDlg;  // no parent, reused for every attempt
    int m_bRegistered = 0;
    bool m_bRegisterRetryPending = false;  // a failed registration waits to be sent again
    int m_bAudioDevicesApplied = 0;
    int m_bFixSucceeded = 0;
    int m_nFixAttempts = 0;
    int m_nCameraState = 0;
    int m_nMicState = 0;
    int m_nLoginPhase = 0;

    // How this window system carries the controller's events and timers.
    std::shared_ptr<QtMainWindowChannel> m_channel;
    std::unique_ptr<QtTerminalUi> m_terminalUi;  // served through m_channel
    std::map<int, QTimer*> m_timers;
    std::unique_ptr<fenwix::platform::TerminationRequests> m_termination;
    QSocketNotifier* m_terminationNotifier = nullptr;
    std::function<std::int64_t()> m_wallClock;
    bool m_bClosingByUs = false;

    // The class flow's peers: the controller's own forwarding, or a test's fakes.
    std::unique_ptr<ClassFlowPeers> m_ownPeers;
    ClassFlowPeers* m_peers = nullptr;
    std::function<void(int)> m_sleep;
    // Unreachable reports counted since the last network change shown, and whether any report
    // has been shown yet. One controller per process, so these live here.
    int m_nDisconnects = 0;
    bool m_bFirstNetReport = true;
    // Where the updater is copied from (the program folder when empty) and how it is started.
    std::string m_updaterFolder;
    std::function<bool(const UpdateHandOver&)> m_startUpdater;
    std::function<bool(const std::string&)> m_killForTesting;

    // How earlier runs ended and whether this one is in safe mode (app/fenwixdlgrunguard).
    void BeginRunGuard();
    void EndRunGuard();          // the shutdown sequence ran: a deliberate exit
    void ConfirmUpdateTrial();   // the backend answered
    void EndUnconfirmedTrial();  // the trial's bound passed without an answer
    void ShowSafeModeNotice();
    std::unique_ptr<CrashGuard> m_crashGuard;
    std::unique_ptr<UpdateTrial> m_updateTrial;
    QLabel* m_safeModeNotice = nullptr;

    friend class ControllerPeers;
};
