#include "app/fenwixdlg.h"

#include <json/json.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "app/classflowpeers.h"
#include "app/controllerpeers.h"
#include "app/keyfilter.h"
#include "app/qtmainwindowchannel.h"
#include "app/qtterminalui.h"
#include "app/quickclickcounter.h"
#include "conference/sessionrecords.h"
#include "jsontext/jsontext.h"
#include "logging/log4z.h"
#include "platform/debugtrace.h"
#include "platform/singleinstance.h"
#include "platform/terminationrequests.h"
#include "service/commonutil.h"
#include "service/crashguard.h"
#include "service/heartbeat.h"
#include "service/mainwindowevents.h"
#include "service/replyenvelope.h"
#include "service/updatetrial.h"
#include "service/zorbel.h"
#include "ui/mystaticctrl.h"
#include "ui/splashwnd.h"

#ifndef FENWIX_VERSION
#define FENWIX_VERSION "0.0.0.0"
#endif

namespace {

const char* const kTitle = "芬维学生端";
const char* const kTrayTip = "双师课堂学生端";
const char* const kNetworkFailed = "网络连接失败，请检查网络是否连接";
const char* const kImageBg = "./images/main/bg.png";
const char* const kImagePanel = "./images/main/bg1.png";
const char* const kImageDecoration = "./images/main/bg2.png";
const char* const kImageNetError = "./images/main/net_error.png";
const char* const kImageLogo = "./images/main/logo.png";
const char* const kImageStudent = "./images/main/student.png";
const char* const kAppIcon = "./images/main/fenwix.png";

constexpr QPoint kDecorationOffset{430, 173};
constexpr QPoint kNetIconOffset{389, 45};
constexpr QPoint kLogoOffset{155, 100};
constexpr QPoint kStudentOffset{436, 185};

// Request types of the backend client's completions.
constexpr int kTypeRegister = 1;
constexpr int kTypePlanRoom = 3;
constexpr int kTypeReport = 4;
constexpr int kTypeMicOption = 8;
constexpr int kTypeUpdateCheck = 9;
constexpr int kTypeLogo = 15;

// A live push that never confirms its stop holds the shutdown up this many seconds at most.
constexpr int kLiveStopWaits = 21;
const char* const kLiveLogFolder = "./log/";
constexpr int kRegisterRetryMs = 3000;  // a failed registration is sent again after this

// Process-wide state of the call-drop timer and of the student picture's quick clicks.
int g_callDropTicks = 0;
CQuickClickCounter g_studentClicks;

QString local(const char* text) {
    return QString::fromUtf8(text);
}

std::int64_t wallClockMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

// The named lock of the single-instance rule; held until the process ends.
std::unique_ptr<fenwix::platform::SingleInstanceLock>& instanceLock() {
    static std::unique_ptr<fenwix::platform::SingleInstanceLock> lock;
    return lock;
}

std::string versionLine(bool testMode) {
    std::string line = std::string("芬维学生端 V") + FENWIX_VERSION +
                       "    Copyright © 2026 Fenwix Education. All rights reserved.";
    if (testMode) {
        line += " (test)";
    }
    return line;
}

}  // namespace

CFenwixDlg::CFenwixDlg(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint),
      m_hIcon(local(kAppIcon)),
      m_strUpdaterName(QStringLiteral("FenwixUpdate.exe")),
      m_channel(std::make_shared<QtMainWindowChannel>(
          [this](unsigned msg, std::uintptr_t w, std::intptr_t l) {
              return WindowProc(msg, w, l);
          })),
      m_wallClock(wallClockMs),
      m_ownPeers(std::make_unique<ControllerPeers>(*this)),
      m_peers(m_ownPeers.get()),
      m_sleep([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // the background is painted, never erased first
}

CFenwixDlg::~CFenwixDlg() {
    qApp->removeEventFilter(this);
    m_channel->shutdown();
    Uninit();
    EndRunGuard();
    LOGI("CFenwixDlg::~CFenwixDlg()");
}

MainWindowChannel& CFenwixDlg::channel() {
    return *m_channel;
}

TerminalUi* CFenwixDlg::terminalUi() const {
    return m_terminalUi.get();
}

void CFenwixDlg::setWallClockForTesting(std::function<std::int64_t()> clock) {
    m_wallClock = std::move(clock);
}

void CFenwixDlg::setClassPeersForTesting(ClassFlowPeers* peers) {
    m_peers = peers != nullptr ? peers : m_ownPeers.get();
}

void CFenwixDlg::setSleepForTesting(std::function<void(int)> sleep) {
    m_sleep = std::move(sleep);
}

ClassFlowPeers& CFenwixDlg::classPeers() {
    return *m_peers;
}

void CFenwixDlg::Sleep(int ms) {
    m_sleep(ms);
}

int CFenwixDlg::DoModal() {
    if (!OnInitDialog()) {
        return 0;
    }
    const int result = exec();
    // The main window is gone: threads still sending are released and get 0.
    m_channel->shutdown();
    return result;
}

bool CFenwixDlg::OnInitDialog() {
    setWindowIcon(m_hIcon);
    auto& lock = instanceLock();
    lock = std::make_unique<fenwix::platform::SingleInstanceLock>("FenwixStudent");
    if (lock->state() == fenwix::platform::InstanceLockState::HeldElsewhere) {
        LOGI("Find other FenwixStuDesktop.exe thread, exit");
        // Whoever started this copy by hand sees why it ends at once, not only the log.
        std::fprintf(stderr, "FenwixStuDesktop: another copy is running (%s), this one ends\n",
                     lock->path().c_str());
        log4z::Log4zManager::instance().stop();  // the line must reach the file before we go
        std::_Exit(-1);
    }
    if (!lock->acquired()) {
        // An unattended terminal that refuses to start is worse than one without the guard.
        LOGE("single-instance lock " << lock->path() << " cannot be created (errno "
                                     << lock->error() << "), starting without the guard");
    }
    BeginRunGuard();
    StartUp();
    return true;
}

void CFenwixDlg::StartUp() {
    qApp->installEventFilter(this);
    CSplashWnd::EnableSplash(true);
    CSplashWnd::ShowSplash(this);
    m_font = QFont(local("宋体"));
    m_font.setPointSize(16);
    AddTrayIcon();
    CComConfig::getInstance()->loadLocalConfig();
    m_pHeartbeat = std::make_unique<CHeartbeat>();
    m_pHeartbeat->start();
    CreateAuxWindows();
    CreateOfflineNotice();
    ShowTerminalStatus(0);
    if (!SafeMode()) {
        StartConference();
    }
    FenwixStudentServer::setSink(this);
    publishMainWindow(m_channel);
    m_terminalUi = std::make_unique<QtTerminalUi>(*m_channel, this);
    m_studentServer.setTerminalUi(m_terminalUi.get());
    // Its notices are posted to the published main window. A terminal in safe mode takes no
    // class, so it loads no media library either.
    if (!SafeMode()) {
        m_studentServer.mediaBiz().init(m_terminalUi.get(), kLiveLogFolder);
    }
    // The push-poll client starts after the first successful registration (notice 0).
    m_pZorbel = std::make_unique<CZorbel>(m_studentServer);
    ReadConferenceVolumes();
    setWindowTitle(local(kTitle));
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        setGeometry(screen->geometry());
    }
    showMaximized();
    PlaceAuxWindows();
    PlaceOfflineNotice();
    LayoutControls();
    ShowSafeModeNotice();
    CSplashWnd::HideSplash();
    CComConfig::getInstance()->setAppStatus(1);
    m_studentServer.reportAppStatus();
    m_studentServer.setLayout(1);
    WatchTerminationRequests();
}

void CFenwixDlg::WaitForLiveStop() {
    CComConfig* config = CComConfig::getInstance();
    if (!config->getIsPull()) {
        return;
    }
    for (int waits = 0; waits < kLiveStopWaits; ++waits) {
        if (!config->getLivePushRunning() || config->getLiveStopConfirmed()) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}

void CFenwixDlg::Uninit() {
    // Comes before the once-only test: a second run waits again.
    WaitForLiveStop();
    if (m_bUninitDone) {
        return;
    }
    m_bUninitDone = true;
    // The window is gone, so no completion is left waiting on it; detaching waits for those
    // still calling this controller, which is about to be destroyed.
    FenwixStudentServer::setSink(nullptr);
    m_studentServer.mediaBiz().release();
    LOGI("CFenwixDlg::Uninit()");
    m_studentServer.reportExit();
    CComConfig* config = CComConfig::getInstance();
    config->setAppStatus(0);
    config->setScreenFixed(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    DestroyOfflineNotice();
    m_pZorbel.reset();  // its destructor stops the polling thread
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    SendLastStatusReport();
    CComConfig::releaseInstance();
    DestroyAuxWindows();
    m_pHeartbeat.reset();  // its destructor ends the thread
    m_studentServer.destroyVidyo();
    RemoveTrayIcon();
}

// The backend hears that the terminal has gone: idle status with the screen released, sent
// synchronously because the process is about to end.
void CFenwixDlg::SendLastStatusReport() {
    Json::Value event(Json::objectValue);
    event["type"] = 5;
    event["appStatus"] = 0;
    event["videoStatus"] = "fixScreened";
    event["from"] = 0;
    m_studentServer.reportDynamicInfoSync(FenwixStudentServer::eventText(event));
}

void CFenwixDlg::AddTrayIcon() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        LOGW("no system tray on this desktop, the terminal runs without a tray icon");
        return;
    }
    m_trayMenu = new QMenu(this);
    QAction* quit = m_trayMenu->addAction(local("退出"));
    connect(quit, &QAction::triggered, this, [this] { EndDialog(RESULT_CANCEL); });
    m_trayIcon = new QSystemTrayIcon(m_hIcon, this);
    m_trayIcon->setToolTip(local(kTrayTip));
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick) {
                    WindowProc(WM_TRAY_NOTIFY, TRAY_ICON_ID, TRAY_LEFT_DOUBLE_CLICK);
                } else if (reason == QSystemTrayIcon::Context) {
                    WindowProc(WM_TRAY_NOTIFY, TRAY_ICON_ID, TRAY_RIGHT_BUTTON_UP);
                }
            });
    m_trayIcon->show();
}

void CFenwixDlg::RemoveTrayIcon() {
    if (m_trayIcon != nullptr) {
        m_trayIcon->hide();
        delete m_trayIcon;
        m_trayIcon = nullptr;
    }
}

void CFenwixDlg::WatchTerminationRequests() {
    m_termination = std::make_unique<fenwix::platform::TerminationRequests>();
    if (m_termination->descriptor() < 0) {
        return;
    }
    m_terminationNotifier =
        new QSocketNotifier(m_termination->descriptor(), QSocketNotifier::Read, this);
    connect(m_terminationNotifier, &QSocketNotifier::activated, this, [this] {
        if (m_termination->take()) {
            LOGI("termination requested by the system, closing the main window");
            EndDialog(RESULT_CANCEL);
        }
    });
}

void CFenwixDlg::EndDialog(int result) {
    m_bClosingByUs = true;
    if (isHidden()) {
        // A class screen has the idle window hidden, and a hidden dialog's modal run does not
        // end: it is shown off screen first so the close is not lost.
        setAttribute(Qt::WA_DontShowOnScreen, true);
        QWidget::setVisible(true);  // NOLINT(bugprone-parent-virtual-call): on purpose
    }
    done(result);
}

void CFenwixDlg::closeEvent(QCloseEvent* event) {
    // Only the terminal's own exits close it, never the window manager.
    if (m_bClosingByUs) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
}

void CFenwixDlg::reject() {
    if (m_bClosingByUs) {
        QDialog::reject();
    }
}

void CFenwixDlg::accept() {
    if (m_bClosingByUs) {
        QDialog::accept();
    }
}

// ---- layout and painting of the idle screen ----

void CFenwixDlg::LayoutControls() {
    const int w = width();
    const int h = height();
    const QImage panel(local(kImagePanel));
    if (!panel.isNull()) {
        m_ptPanel = QPoint(static_cast<int>((w - panel.width()) * 0.5),
                           static_cast<int>((h - panel.height()) * 0.45));
    }
    CreateMainButtons();  // device check and countdown; the update button and badge come between
    m_picNet = new CMyStaticCtrl(this, QRect(0, 0, 46, 46), local(kImageNetError), true, ID_NONE,
                                 m_channel.get());
    const QString labelStyle =
        QStringLiteral("color: rgb(255, 255, 255); background: transparent;");
    m_staticId = new QLabel(local("ID："), this);
    m_staticId->setGeometry(0, 0, 200, 40);
    m_staticId->setFont(m_font);
    m_staticId->setStyleSheet(labelStyle);
    m_staticId->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_staticId->show();
    const bool testMode = CComConfig::getInstance()->getTestMode();
    m_staticVersion = new QLabel(QString::fromStdString(versionLine(testMode)), this);
    m_staticVersion->setGeometry(0, h - 50, w, 40);
    m_staticVersion->setFont(m_font);
    m_staticVersion->setStyleSheet(labelStyle);
    m_staticVersion->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_staticVersion->show();
    m_picLogo = new CMyStaticCtrl(this, QRect(0, 0, 128, 128), local(kImageLogo), false, ID_NONE,
                                  m_channel.get());
    m_picStudent = new CMyStaticCtrl(this, QRect(0, 0, 95, 117), local(kImageStudent), true,
                                     ID_STUDENT_PICTURE, m_channel.get());
    CreateMessageBar();
    PlaceMainButtons();
    CreateUpdateControls();
    m_picNet->move(m_ptPanel + kNetIconOffset);
    m_staticId->move(20, 20);
    m_staticVersion->move(0, h - 120);
    m_picLogo->move(m_ptPanel + kLogoOffset);
    m_picStudent->move(m_ptPanel + kStudentOffset);
}

bool CFenwixDlg::ReloadLogo() {
    const QImage logo(local(kImageLogo));
    if (logo.isNull()) {
        LOGE("logo加载失败");
        return false;
    }
    const QImage panel(local(kImagePanel));
    if (panel.isNull()) {
        LOGE("bg1.png加载失败");
        return false;
    }
    if (m_picLogo == nullptr) {
        return false;
    }
    m_picLogo->setGeometry(
        QRect(m_ptPanel + QPoint((panel.width() - logo.width()) / 2, 100), logo.size()));
    m_picLogo->SetImage(local(kImageLogo));
    return true;
}

void CFenwixDlg::paintEvent(QPaintEvent*) {
    if (isMinimized()) {
        return;
    }
    QPainter painter(this);
    const QImage background(local(kImageBg));
    if (!background.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), background);
    } else {
        painter.fillRect(rect(), Qt::black);
    }
    const QImage panel(local(kImagePanel));
    if (!panel.isNull()) {
        painter.drawImage(m_ptPanel, panel);
    }
    const QImage decoration(local(kImageDecoration));
    if (!decoration.isNull()) {
        painter.drawImage(m_ptPanel + kDecorationOffset, decoration);
    }
}

QString CFenwixDlg::idText() const {
    return m_staticId != nullptr ? m_staticId->text() : QString();
}

QString CFenwixDlg::versionText() const {
    return m_staticVersion != nullptr ? m_staticVersion->text() : QString();
}

// ---- keys ----

bool CFenwixDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && widget->window() == this) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (event->type() == QEvent::ShortcutOverride) {
                // Claim our keys so no shortcut takes them first.
                if (classifyMainWindowKey(key->key(), key->modifiers()) != MainKeyAction::PassOn) {
                    event->accept();
                    return true;
                }
                return false;
            }
            return HandleKey(key);
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool CFenwixDlg::HandleKey(QKeyEvent* key) {
    switch (classifyMainWindowKey(key->key(), key->modifiers())) {
        case MainKeyAction::PassOn:
            return false;
        case MainKeyAction::Swallow:
            return true;
        case MainKeyAction::Close:
            EndDialog(RESULT_OK);
            return true;
        case MainKeyAction::EnterClass:
            OnCtrlClicked(ID_ENTER_CLASS);
            return true;
        case MainKeyAction::DeviceCheck:
            OnCtrlClicked(ID_DEVICE_CHECK);
            return true;
    }
    return false;
}

// ---- events ----

std::intptr_t CFenwixDlg::WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (msg) {
        case WM_TRAY_NOTIFY:
            OnTrayNotify(wParam, lParam);
            break;
        case WM_CTRL_CLICKED:
            OnCtrlClicked(static_cast<unsigned>(wParam));
            break;
        case WM_PUSH_MESSAGE:
            OnPushMessage(reinterpret_cast<const std::string*>(lParam));
            break;
        case WM_CALL_DROPPED:
            SetMainTimer(TIMER_CALL_DROPPED, 5000);
            break;
        case WM_PICTURE_CLICKED:
            OnPictureClicked(static_cast<unsigned>(wParam));
            break;
        case WM_NOTICE:
            OnNotice(static_cast<unsigned>(wParam), lParam);
            break;
        case QtTerminalUi::kCallEvent:
            return QtTerminalUi::RunCall(lParam);
        default:
            if (msg >= WM_CONF_JOINED && msg <= WM_CONF_LOGGED_OUT_QUEUED) {
                OnConferenceEvent(msg, lParam);
            }
            break;
    }
    return 0;
}

void CFenwixDlg::OnTrayNotify(std::uintptr_t iconId, std::intptr_t mouseMessage) {
    if (iconId != TRAY_ICON_ID) {
        return;
    }
    if (mouseMessage == TRAY_LEFT_DOUBLE_CLICK) {
        raise();
        activateWindow();
    } else if (mouseMessage == TRAY_RIGHT_BUTTON_UP && m_trayMenu != nullptr) {
        m_trayMenu->popup(QCursor::pos());
    }
}

void CFenwixDlg::OnCtrlClicked(unsigned id) {
    fenwix::platform::debugTrace("OnCtrlClicked id = " + std::to_string(id) + "\n");
    switch (id) {
        case ID_TOOL_PREVIEW:
            OnTogglePreview();
            break;
        case ID_TOOL_CAMERA:
        case ID_TOOL_SPEAKER:
        case ID_TOOL_MIC:
            OnToggleMute(id);
            break;
        case ID_DEVICE_CHECK:
            OnDeviceCheck();
            break;
        case ID_UPDATE:
            updateStart();
            break;
        case ID_TOOL_QUIT:
            OnLeaveClassClicked();
            break;
        case ID_TOOL_SETTINGS:
            OnSettingsClicked();
            break;
        case ID_ENTER_CLASS:
            OnEnterClassClicked();
            break;
        default:
            break;
    }
}

void CFenwixDlg::OnPictureClicked(unsigned id) {
    if (id != ID_STUDENT_PICTURE) {
        return;
    }
    if (g_studentClicks.click(m_wallClock())) {
        EndDialog(RESULT_OK);
    }
}

void CFenwixDlg::SendNotice(unsigned code, std::intptr_t lParam) {
    m_channel->send(WM_NOTICE, code, lParam);
}

void CFenwixDlg::OnNotice(unsigned code, std::intptr_t lParam) {
    switch (code) {
        case NOTICE_REGISTERED:
            OnRegistered(lParam);
            break;
        case NOTICE_REGISTER_FAILED:
            OnRegisterFailed();
            break;
        case NOTICE_CONF_LOGS_ON:
            SetMainTimer(TIMER_CONF_STATE, 5000);
            break;
        case NOTICE_LOGO_RELOAD:
            ReloadLogo();
            break;
        case NOTICE_CAMERA_OPENED:
        case NOTICE_CAMERA_FAILED:
            m_nCameraState = code == NOTICE_CAMERA_OPENED ? 1 : 2;
            EvaluateCameraState();
            break;
        case NOTICE_MIC_OPENED:
        case NOTICE_MIC_FAILED:
            m_nMicState = code == NOTICE_MIC_OPENED ? 1 : 2;
            EvaluateCameraState();
            break;
        case NOTICE_CONF_TOOLBAR:
            ShowToolBarForConference();
            SetMainTimer(TIMER_HIDE_TOOLBAR, 5000);
            break;
        case NOTICE_LOGIN_BEGINS:
            OnLoginBegins();
            break;
        case NOTICE_ENTER_ROOM_DONE:
            OnEnterRoomDone();
            break;
        case NOTICE_CURTAIN:
            OnCurtain(lParam);
            break;
        case NOTICE_NETWORK_STATE:
            OnNetworkState(lParam != 0);
            if (lParam != 0) {
                ConfirmUpdateTrial();
            }
            break;
        case NOTICE_ENTERING_CLASS:
            OnEnteringClass();
            break;
        case NOTICE_ENTER_TIMEOUT:
            OnEnterTimeout();
            break;
        case NOTICE_ROOM_UNAVAILABLE:
        case NOTICE_MESSAGE:
            ShowTipText(lParam);
            break;
        case NOTICE_UPDATE_OFFERED:
            OnUpdateOffered(lParam);
            break;
        case NOTICE_UPDATE_DOWNLOADED:
            updateFinish();
            break;
        case NOTICE_UPDATE_FAILED:
            updateError();
            break;
        case NOTICE_UPDATE_STOPPED:
            updateStop();
            break;
        case NOTICE_REGISTER_REPLY:
            if (lParam != 0) {
                const Json::Value payload = *reinterpret_cast<const Json::Value*>(lParam);
                m_studentServer.onRegisterReply(payload);
            }
            break;
        default:
            break;  // codes outside the table are ignored
    }
}

void CFenwixDlg::OnRegistered(std::intptr_t noLogoAddress) {
    if (m_bRegistered != 0) {
        return;
    }
    CComConfig* config = CComConfig::getInstance();
    if (m_staticId != nullptr) {
        m_staticId->setText(local("ID：") + QString::fromStdString(config->getApplicationId()));
    }
    if (noLogoAddress != 0) {
        ReloadLogo();
    }
    m_bRegistered = 1;
    if (m_pZorbel) {
        m_pZorbel->start();
    }
    config->setVideoMode(2);
    config->setAudioInMode(2);
    config->setAudioOutMode(2);
    RearrangeToolBar();
    ApplyAudioDevicesOnce();
    m_studentServer.checkUpdate();
}

void CFenwixDlg::OnRegisterFailed() {
    ReloadLogo();
    ApplyAudioDevicesOnce();
    if (m_bNetConnected && !m_bRegisterRetryPending) {
        // Paced at the heartbeat's period: a backend that keeps refusing the request would
        // otherwise get it again as fast as each failure comes back.
        m_bRegisterRetryPending = true;
        QTimer::singleShot(kRegisterRetryMs, this, [this] {
            m_bRegisterRetryPending = false;
            if (m_bNetConnected && m_bRegistered == 0) {
                classPeers().registerDevice();
            }
        });
    }
}

void CFenwixDlg::ApplyAudioDevicesOnce() {
    if (CComConfig::getInstance()->getCheckAudioOut() && m_bAudioDevicesApplied == 0) {
        m_bAudioDevicesApplied = 1;
        classPeers().applyDriverNames();
    }
}

void CFenwixDlg::OnConferenceEvent(unsigned msg, std::intptr_t lParam) {
    const auto* text = reinterpret_cast<const std::string*>(lParam);
    switch (msg) {
        case WM_CONF_JOINED:
            OnClassJoined();
            break;
        case WM_CONF_DEVICE_MUTE:
            OnDeviceMuteChanged(text);
            break;
        case WM_CONF_FIX_RESULT:
            OnFixResult(text);
            break;
        case WM_CONF_LOGGED_OUT:
            OnAnalyzeLogoutSuccess();
            break;
        case WM_CONF_LOGIN_FAILED:
            OnLoginFailed();
            break;
        case WM_CONF_JOIN_FAILED:
            OnJoinFailed();
            break;
        case WM_CONF_FIXED_SOURCE_LOST:
            OnFixedSourceLost();
            break;
        case WM_CONF_LOGGED_OUT_QUEUED:
            OnAnalyzeLogoutSuccessBack();
            break;
        case WM_CONF_CHAT:
            if (text != nullptr) {
                m_studentServer.onChatMessage(*text);
            }
            fenwix::platform::debugTrace("chat\n");
            break;
        case WM_CONF_SOURCE_REMOVED:
            OnSourceRemoved(text);
            break;
        default:
            LOGD("conference event " << msg << " has no handler in this build");
            break;
    }
}

// A push command: the payload text is the push client's and only valid during this call, so the
// backend client gets its own parsed copy.
void CFenwixDlg::OnPushMessage(const std::string* text) {
    Json::Value message;
    if (text == nullptr || !jsontext::parseJson(*text, message)) {
        LOGW("push message is not JSON; ignored");
        return;
    }
    m_studentServer.onPushMessage(message);
}

// A participant's source left the conference; the backend client checks whether it is the one
// the screen is fixed on.
void CFenwixDlg::OnSourceRemoved(const std::string* text) {
    std::string uri;
    if (text == nullptr || !readRemovedSourceUri(*text, uri)) {
        return;
    }
    m_studentServer.onRemoteSourceRemoved(uri);
}

// ---- timers ----

void CFenwixDlg::SetMainTimer(int id, int periodMs) {
    QTimer*& timer = m_timers[id];
    if (timer == nullptr) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
    }
    timer->start(periodMs);  // restarts the period of a running timer
}

void CFenwixDlg::KillMainTimer(int id) {
    auto it = m_timers.find(id);
    if (it != m_timers.end()) {
        it->second->stop();
    }
}

bool CFenwixDlg::isTimerActive(int id) const {
    auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive();
}

void CFenwixDlg::OnTimer(int id) {
    switch (id) {
        case TIMER_CALL_DROPPED:
            LOGI("TimerProc");
            ++g_callDropTicks;
            if (g_callDropTicks >= 4 || CComConfig::getInstance()->getNetOk()) {
                KillMainTimer(TIMER_CALL_DROPPED);
                g_callDropTicks = 0;
            }
            break;
        case TIMER_START_FIX:
            OnStartFixTimer();
            break;
        case TIMER_CONF_STATE:
            if (!CComConfig::getInstance()->getConfLogsEnabled()) {
                KillMainTimer(TIMER_CONF_STATE);
            } else {
                m_studentServer.reportConferenceState();
            }
            break;
        case TIMER_HIDE_OFFLINE:
            OnHideOfflineTimer();
            break;
        case TIMER_HIDE_TOOLBAR:
            KillMainTimer(TIMER_HIDE_TOOLBAR);
            HideToolBar();
            break;
        default:
            break;
    }
}

// ---- FenwixStudentSink (HTTP worker threads) ----

void CFenwixDlg::httpFail(int type) {
    if (type == kTypeRegister) {
        SendNotice(NOTICE_REGISTER_FAILED, 0);
    } else if (type == kTypePlanRoom) {
        SendNotice(NOTICE_ENTER_ROOM_DONE, 0);
    } else if (type == kTypeLogo) {
        LOGI("logo下载失败");
        SendNotice(NOTICE_LOGO_RELOAD, 0);
    }
    LOGI("httpFail back " << type);
    const std::string text = kNetworkFailed;
    SendNotice(NOTICE_MESSAGE, reinterpret_cast<std::intptr_t>(&text));
}

void CFenwixDlg::httpBack(const std::string& reply, int type) {
    LOGI(reply << " 类型:" << type);
    BusinessReply parsed;
    if (!readBusinessReply(reply, parsed)) {
        return;
    }
    if (parsed.success == ReplySuccess::Missing) {
        LOGI("返回错误 success is null " << reply << " 类型:" << type);
        return;
    }
    const Json::Value& payload = parsed.payload;
    if (parsed.success == ReplySuccess::Accepted) {
        if (type == kTypeRegister) {
            SendNotice(NOTICE_REGISTER_REPLY, reinterpret_cast<std::intptr_t>(&payload));
        } else if (type == kTypePlanRoom) {
            m_studentServer.onPlanRoomReply(payload);
            SendNotice(NOTICE_ENTER_ROOM_DONE, 0);
        } else if (type == kTypeReport || type == kTypeMicOption) {
            m_studentServer.onReportReply(payload);
        } else if (type == kTypeUpdateCheck) {
            m_studentServer.onUpdateReply(payload);
        }
        return;
    }
    if (type == kTypePlanRoom) {
        SendNotice(NOTICE_ENTER_ROOM_DONE, 0);
    }
    SendNotice(NOTICE_MESSAGE, reinterpret_cast<std::intptr_t>(&parsed.message));
}

void CFenwixDlg::sysRegisterBack(const std::string& text) {
    fenwix::platform::debugTrace("sysRegisterBack back " + text + " \n");
}

void CFenwixDlg::downloadBack(int type) {
    if (type == kTypeLogo) {
        LOGI("logo下载完成");
        SendNotice(NOTICE_LOGO_RELOAD, 0);
    }
}
