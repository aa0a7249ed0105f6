#include "ui/tooldlg.h"

#include <QTimer>
#include <vector>

#include "service/commonutil.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "ui/controlimage.h"
#include "ui/mybuttonctrl.h"
#include "ui/mytimestaticctrl.h"

namespace {

const char* const kPreviewImage = "./images/tool/preview_normal.png";
const char* const kCameraImage = "./images/tool/camera_normal.png";
const char* const kCameraMutedImage = "./images/tool/camera_mute.png";
const char* const kSpeakerImage = "./images/tool/speaker_nromal.png";
const char* const kSpeakerMutedImage = "./images/tool/speaker_mute.png";
const char* const kMicImage = "./images/tool/mic_normal.png";
const char* const kMicMutedImage = "./images/tool/mic_mute.png";
const char* const kToolImage = "./images/tool/tool_normal.png";
const char* const kClockImage = "./images/tool/time.png";
const char* const kQuitImage = "./images/tool/quit_normal.png";

const QRect kButtonRect(0, 0, 62, 62);
const QRect kClockRect(0, 0, 72, 62);
const QColor kBarColour(240, 240, 240);
constexpr int kMargin = 5;
constexpr int kTop = 5;

// The preview button's switch: a setting that no configuration ever turns on, so the button is
// made and kept hidden.
constexpr bool kPreviewButtonShown = false;

QString path(const char* text) {
    return QString::fromLatin1(text);
}

}  // namespace

// The tool bar's buttons report to the bar, which hands their ids on to the main window.
class CToolDlg::ButtonRelay : public MainWindowChannel {
public:
    explicit ButtonRelay(CToolDlg* bar) : m_bar(bar) {}

    std::intptr_t send(unsigned msg, std::uintptr_t wParam, std::intptr_t) override {
        if (msg == WM_CTRL_CLICKED) {
            m_bar->SendCommand(static_cast<unsigned>(wParam));
            return 1;  // handled
        }
        return 0;
    }
    bool post(unsigned, std::uintptr_t, std::intptr_t) override { return false; }
    bool waitPumping(const std::function<bool()>& done, std::chrono::milliseconds) override {
        return done();
    }
    bool isUiThread() const override { return true; }
    bool isClosed() const override { return false; }

private:
    CToolDlg* m_bar;
};

CToolDlg::CToolDlg(QWidget* owner, MainWindowChannel* mainWindow)
    : CPopupWindow(owner, true, Qt::Tool | Qt::WindowStaysOnTopHint),
      m_mainWindow(mainWindow),
      m_relay(std::make_unique<ButtonRelay>(this)),
      m_autoHideTimer(new QTimer(this)) {
    // The template's background shows behind the buttons; the bar draws nothing of its own.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kBarColour);
    setPalette(colours);
    setAutoFillBackground(true);
    resize(dialogUnitsToPixels(262, 53));
    m_autoHideTimer->setTimerType(Qt::PreciseTimer);
    connect(m_autoHideTimer, &QTimer::timeout, this, &CToolDlg::OnAutoHide);
    ArrangeButtons(true);
}

CToolDlg::~CToolDlg() {
    // The buttons hold the relay; they go before it.
    qDeleteAll(findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly));
}

void CToolDlg::CreateControls() {
    auto makeButton = [this](const char* normal, const char* second, unsigned id) {
        auto* button = new CMyButtonCtrl(this, kButtonRect, path(normal),
                                         second != nullptr ? path(second) : QString(), QString(),
                                         id, m_relay.get());
        button->SetBackground(kBarColour);
        watchKeysOf(button);
        return button;
    };
    m_btnPreview = makeButton(kPreviewImage, nullptr, ID_TOOL_PREVIEW);
    m_btnCamera = makeButton(kCameraImage, kCameraMutedImage, ID_TOOL_CAMERA);
    m_btnSpeaker = makeButton(kSpeakerImage, kSpeakerMutedImage, ID_TOOL_SPEAKER);
    m_btnMic = makeButton(kMicImage, kMicMutedImage, ID_TOOL_MIC);
    m_btnTool = makeButton(kToolImage, nullptr, ID_TOOL_SETTINGS);
    m_clock = new CMyTimeStaticCtrl(this, kClockRect, path(kClockImage), true, ID_NONE);
    watchKeysOf(m_clock);
    m_btnQuit = makeButton(kQuitImage, nullptr, ID_TOOL_QUIT);
}

void CToolDlg::ArrangeButtons(bool create) {
    if (create && m_btnQuit == nullptr) {  // made once; a second opening only arranges
        CreateControls();
    }
    if (m_btnQuit == nullptr) {
        return;
    }
    const CComConfig* config = CComConfig::getInstance();
    struct Slot {
        QWidget* control;
        bool shown;
        int steps;
    };
    const std::vector<Slot> order = {
        {m_btnPreview, kPreviewButtonShown, 1},
        {m_btnCamera, config->getVideoMode() == 1, 1},
        {m_btnSpeaker, config->getAudioOutMode() == 1, 1},
        {m_btnMic, config->getAudioInMode() == 1, 1},
        {m_btnTool, true, 1},
        {m_clock, true, 2},  // the clock is wider: it takes two steps
        {m_btnQuit, true, 1},
    };
    const int step = m_btnQuit->width() + 3;
    const int height = m_btnQuit->height() + 5;
    int m = 1;
    int k = 0;
    for (const Slot& slot : order) {
        if (!slot.shown) {
            slot.control->hide();
            continue;
        }
        slot.control->move(m * kMargin + k * step, kTop);
        slot.control->show();
        m += 1;
        k += slot.steps;
    }
    m += 1;
    resize(m * kMargin + k * step, height);
}

void CToolDlg::ShowToolBar() {
    if (m_bHiddenByTimer) {
        m_bHiddenByTimer = false;
        show();
        m_autoHideTimer->start(m_autoHideMs);
    }
    bringToTop();
}

void CToolDlg::OnAutoHide() {
    hide();
    m_autoHideTimer->stop();
    m_bHiddenByTimer = true;
}

bool CToolDlg::isAutoHideActive() const {
    return m_autoHideTimer->isActive();
}

void CToolDlg::StartClock() {
    if (m_clock != nullptr) {
        m_clock->StartClock();
    }
}

void CToolDlg::ShowMuteState(int device, bool muted) {
    CMyButtonCtrl* target = nullptr;
    switch (device) {
        case 0:
            target = m_btnCamera;
            break;
        case 1:
            target = m_btnMic;
            break;
        case 2:
            target = m_btnSpeaker;
            break;
        default:
            return;
    }
    if (target != nullptr) {
        target->SetState(muted ? 1 : 0);
    }
}

void CToolDlg::SendCommand(unsigned id) {
    if (m_mainWindow != nullptr) {
        m_mainWindow->send(WM_CTRL_CLICKED, id, 0);
    }
}

void CToolDlg::OnCommandKey(unsigned id) {
    SendCommand(id);
}

CMyButtonCtrl* CToolDlg::button(unsigned id) const {
    for (CMyButtonCtrl* candidate :
         {m_btnPreview, m_btnCamera, m_btnSpeaker, m_btnMic, m_btnTool, m_btnQuit}) {
        if (candidate != nullptr && candidate->id() == id) {
            return candidate;
        }
    }
    return nullptr;
}
