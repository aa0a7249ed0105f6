// The controller's windows beside the idle screen (tool bar, camera preview, video, screen) and
// the idle screen's class controls (device check button, enter-class countdown, message bar):
// their creation, placement and destruction, and the notices that show them.
#include <QImage>
#include <string>

#include "app/fenwixdlg.h"
#include "app/qtmainwindowchannel.h"
#include "logging/log4z.h"
#include "service/commonutil.h"
#include "service/mainwindowevents.h"
#include "ui/mybuttonctrl.h"
#include "ui/mymsgtipctrl.h"
#include "ui/mytimerbuttonctrl.h"
#include "ui/previewdlg.h"
#include "ui/screendlg.h"
#include "ui/tooldlg.h"
#include "ui/videodlg.h"

namespace {

const char* const kImagePanel = "./images/main/bg1.png";
const char* const kImageDeviceCheck = "./images/main/devicecheck_normal.png";
const char* const kImageDeviceCheckHover = "./images/main/devicecheck_hover.png";

constexpr QPoint kDeviceCheckOffset{0, 300};
constexpr int kEnterClassTop = 315;
constexpr int kEnterClassFallbackX = 90;
constexpr QPoint kMessageBarOffset{0, 490};

QString local(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

void CFenwixDlg::CreateAuxWindows() {
    m_pToolDlg = new CToolDlg(this, m_channel.get());
    m_pPreviewDlg = new CPreviewDlg(this);
    m_pVideoDlg = new CVideoDlg(this);
    m_pVideoDlg->SetLinkedWindow(m_pPreviewDlg);
    m_pScreenDlg = new CScreenDlg(this);
    m_pScreenDlg->SetToolBar(m_pToolDlg);
}

void CFenwixDlg::PlaceAuxWindows() {
    const int w = width();
    const int h = height();
    if (m_pPreviewDlg != nullptr) {
        m_pPreviewDlg->setGeometry(static_cast<int>(3 * w / 4.0), static_cast<int>(3 * h / 4.0),
                                   w / 4, h / 4);
    }
    // The offline notice window sits centred with its top at 0.75 H; the tool bar goes 10 pixels
    // below its bottom.
    const int offlineBottom = static_cast<int>(0.75 * h);
    if (m_pToolDlg != nullptr) {
        m_pToolDlg->move((w - m_pToolDlg->width()) / 2, offlineBottom + 10);
    }
}

void CFenwixDlg::DestroyAuxWindows() {
    delete m_pVideoDlg;
    m_pVideoDlg = nullptr;
    delete m_pPreviewDlg;
    m_pPreviewDlg = nullptr;
    delete m_pToolDlg;
    m_pToolDlg = nullptr;
    delete m_pScreenDlg;
    m_pScreenDlg = nullptr;
}

void CFenwixDlg::RearrangeToolBar() {
    if (m_pToolDlg == nullptr) {
        return;
    }
    m_pToolDlg->ArrangeButtons(false);
    m_pToolDlg->move((width() - m_pToolDlg->width()) / 2, static_cast<int>(0.79 * height()));
}

void CFenwixDlg::ShowToolBarForConference() {
    if (m_pToolDlg != nullptr) {
        m_pToolDlg->show();
        m_pToolDlg->bringToTop();
    }
}

void CFenwixDlg::HideToolBar() {
    if (m_pToolDlg != nullptr) {
        m_pToolDlg->hide();
    }
}

void CFenwixDlg::CreateMainButtons() {
    m_btnDeviceCheck = new CMyButtonCtrl(this, QRect(0, 0, 32, 40), local(kImageDeviceCheck),
                                         local(kImageDeviceCheckHover), QString(), ID_DEVICE_CHECK,
                                         m_channel.get());
    m_btnEnterClass =
        new CMyTimerButtonCtrl(this, QRect(0, 0, 230, 65), ID_ENTER_CLASS, m_channel.get());
}

void CFenwixDlg::CreateMessageBar() {
    m_msgTip = new CMyMsgTipCtrl(this, QRect(0, 0, 540, 50), ID_MSG_TIP);
}

void CFenwixDlg::PlaceMainButtons() {
    m_msgTip->move(m_ptPanel + kMessageBarOffset);
    m_btnDeviceCheck->move(m_ptPanel + kDeviceCheckOffset);
    const QImage panel(local(kImagePanel));
    int offset = kEnterClassFallbackX;
    if (!panel.isNull()) {
        offset = (panel.width() - m_btnEnterClass->width()) / 2;
    } else {
        LOGE("bg1.png加载失败");
    }
    m_btnEnterClass->move(m_ptPanel + QPoint(offset, kEnterClassTop));
}

void CFenwixDlg::ShowTip(const QString& text, bool autoHide) {
    if (m_msgTip != nullptr) {
        m_msgTip->ShowMessage(text, autoHide);
    }
}

void CFenwixDlg::ShowTipText(std::intptr_t text) {
    const auto* message = reinterpret_cast<const std::string*>(text);
    if (message == nullptr) {
        LOGW("message notice without its text; nothing shown");
        return;
    }
    ShowTip(QString::fromStdString(*message), true);
}
