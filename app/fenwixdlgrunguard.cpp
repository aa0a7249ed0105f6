// The controller's side of the crash guard and of an update's trial: the record of this run,
// the safe mode's notice on the idle screen, the timer after which a run counts as clean, and
// the bound within which a freshly updated version has to reach the backend.
#include <QLabel>
#include <QTimer>
#include <chrono>
#include <cstdlib>

#include "app/fenwixdlg.h"
#include "logging/log4z.h"
#include "platform/process.h"
#include "service/commonutil.h"
#include "service/crashguard.h"
#include "service/updatetrial.h"

#ifndef FENWIX_VERSION
#define FENWIX_VERSION "0.0.0.0"
#endif

namespace {

const char* const kSafeModeText = "安全模式：终端多次异常退出，暂不进入课堂。等待恢复或升级…";

std::int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void CFenwixDlg::BeginRunGuard() {
    // The client version is part of the build's identity: an update may change only that.
    const std::string version =
        std::string(FENWIX_VERSION) + "/" + CComConfig::getInstance()->getClientVersion();
    m_crashGuard =
        std::make_unique<CrashGuard>(ConfigSources::standard().iniFolder, version, nowSeconds);
    m_crashGuard->begin();
    QTimer::singleShot(CrashGuard::kCleanRunMs, this, [this] {
        if (m_crashGuard) {
            m_crashGuard->markCleanRun();
        }
    });
    m_updateTrial = std::make_unique<UpdateTrial>(fenwix::platform::programFolder());
    if (!m_updateTrial->pending()) {
        m_updateTrial.reset();  // nothing to confirm: later heartbeats cost nothing here
        return;
    }
    LOGI("this version is on trial until it reaches the backend");
    QTimer::singleShot(UpdateTrial::kReachBackendMs, this, [this] { EndUnconfirmedTrial(); });
}

void CFenwixDlg::ConfirmUpdateTrial() {
    if (m_updateTrial) {
        m_updateTrial->confirm();
        m_updateTrial.reset();
    }
}

void CFenwixDlg::EndUnconfirmedTrial() {
    if (!m_updateTrial || !m_updateTrial->pending()) {
        return;
    }
    LOGE("the new version did not reach the backend within " << UpdateTrial::kReachBackendMs / 1000
                                                             << " s");
    // Without a supervisor nobody would start it again: a terminal that runs beats none.
    const char* supervised = std::getenv("FENWIX_SUPERVISED");
    if (supervised == nullptr || std::string(supervised) != "1") {
        return;
    }
    if (m_crashGuard) {
        m_crashGuard->markDeliberateExit();
    }
    log4z::Log4zManager::instance().stop();
    std::_Exit(UpdateTrial::kExitUnconfirmed);
}

void CFenwixDlg::EndRunGuard() {
    if (m_crashGuard) {
        m_crashGuard->markDeliberateExit();
    }
}

bool CFenwixDlg::SafeMode() const {
    return m_crashGuard && m_crashGuard->safeMode();
}

void CFenwixDlg::ShowSafeModeNotice() {
    m_studentServer.setClassesBlocked(SafeMode());
    if (!SafeMode()) {
        return;
    }
    if (m_safeModeNotice == nullptr) {
        m_safeModeNotice = new QLabel(QString::fromUtf8(kSafeModeText), this);
        m_safeModeNotice->setObjectName(QStringLiteral("safeModeNotice"));
        m_safeModeNotice->setAlignment(Qt::AlignCenter);
        m_safeModeNotice->setStyleSheet(QStringLiteral(
            "QLabel { background: #b03a2e; color: white; font-size: 20px; padding: 8px; }"));
    }
    m_safeModeNotice->setGeometry(0, 0, width(), 48);
    m_safeModeNotice->show();
    m_safeModeNotice->raise();
}
