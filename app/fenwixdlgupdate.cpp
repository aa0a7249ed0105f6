// The controller's self-update: download the offered installer in the progress window, hand over
// to the updater, show the failure tip, stop a download when a class begins.
#include <QRect>
#include <chrono>
#include <memory>

#include "app/fenwixdlg.h"
#include "app/qtmainwindowchannel.h"
#include "app/updatehandover.h"
#include "logging/log4z.h"
#include "platform/filecopy.h"
#include "platform/process.h"
#include "platform/shellopen.h"
#include "service/crashguard.h"
#include "service/mainwindowevents.h"
#include "ui/mybuttonctrl.h"
#include "ui/mystaticctrl.h"
#include "ui/tip1dlg.h"
#include "updater/platformsystem.h"
#include "updater/processkiller.h"

namespace {

const char* const kImageUpdate = "./images/main/update_normal.png";
const char* const kImageNew = "./images/main/new.png";

// Where the device check button sits on the panel, if it is missing.
constexpr QPoint kDeviceCheckOffset{0, 300};
constexpr QSize kButtonSize{32, 40};
constexpr QSize kBadgeSize{32, 18};
constexpr QPoint kBadgeOffset{2, 12};
constexpr std::chrono::milliseconds kLogFlushBeforeHandOver{2000};

// The retry counter of ending a process lives for the whole run.
fenwix::updater::ProcessKiller& processKiller() {
    static fenwix::updater::PlatformSystem system;
    static fenwix::updater::ProcessKiller killer(system);
    return killer;
}

bool startUpdater(const UpdateHandOver& handOver) {
    return fenwix::platform::shellOpen(handOver.program, handOver.arguments);
}

}  // namespace

void CFenwixDlg::CreateUpdateControls() {
    // Right below the device check button, both hidden until the first offer.
    const QRect deviceCheck = m_btnDeviceCheck != nullptr
                                  ? m_btnDeviceCheck->geometry()
                                  : QRect(m_ptPanel + kDeviceCheckOffset, kButtonSize);
    m_btnUpdate =
        new CMyButtonCtrl(this, QRect(QPoint(0, 0), kButtonSize), QString::fromUtf8(kImageUpdate),
                          QString::fromUtf8(kImageUpdate), QString(), ID_UPDATE, m_channel.get());
    m_picNew = new CMyStaticCtrl(this, QRect(QPoint(0, 0), kBadgeSize),
                                 QString::fromUtf8(kImageNew), true, ID_NONE, m_channel.get());
    m_btnUpdate->move(deviceCheck.left(), deviceCheck.top() + deviceCheck.height());
    m_btnUpdate->hide();
    const QRect button = m_btnUpdate->geometry();
    m_picNew->move(button.left() + button.width() + kBadgeOffset.x(),
                   button.top() + kBadgeOffset.y());
    m_picNew->hide();
}

void CFenwixDlg::setUpdateHandOverForTesting(std::string updaterFolder,
                                             std::function<bool(const UpdateHandOver&)> start,
                                             std::function<bool(const std::string&)> kill) {
    m_updaterFolder = std::move(updaterFolder);
    m_startUpdater = std::move(start);
    m_killForTesting = std::move(kill);
}

void CFenwixDlg::OnUpdateOffered(std::intptr_t address) {
    // The notice carries the sender's text, valid while this handler runs.
    const auto* url =
        reinterpret_cast<const std::string*>(address);  // NOLINT(performance-no-int-to-ptr)
    if (url == nullptr) {
        return;
    }
    if (m_btnUpdate != nullptr) {
        m_btnUpdate->show();
    }
    if (m_picNew != nullptr) {
        m_picNew->show();
    }
    m_strInstallUrl = *url;
    m_strInstallSha256 = m_studentServer.offeredInstallerSha256();
    updateStart();
}

void CFenwixDlg::updateStart() {
    LOGI("updateStart");
    const std::string installerImage = installerImageName(fenwix::platform::executableName());
    m_strInstallerPath = fenwix::platform::tempFolder() + programFileOfImage(installerImage);
    // An installer still running from an earlier attempt would hold its file.
    killProcess(installerImage);
    if (m_UpdateDlg.isVisible()) {
        LOGE("m_UpdateDlg is not null");
        return;
    }
    m_UpdateDlg.SetUrlAndPath(m_strInstallUrl, m_strInstallerPath);
    m_UpdateDlg.SetExpectedSha256(m_strInstallSha256);
    m_UpdateDlg.DoModal();
}

void CFenwixDlg::updateFinish() {
    LOGI("updateFinish");
    const std::string updaterImage = m_strUpdaterName.toStdString();
    // An updater left running holds the file that is replaced next.
    killProcess(updaterImage);
    const std::string updaterFile = programFileOfImage(updaterImage);
    const std::string target = fenwix::platform::tempFolder() + updaterFile;
    const std::string folder =
        m_updaterFolder.empty() ? fenwix::platform::programFolder() : m_updaterFolder;
    if (!fenwix::platform::copyFileReplacing(folder + updaterFile, target)) {
        LOGE("copy FenwixUpdate.exe to system temp failed");
        return;
    }
    const UpdateHandOver handOver =
        makeUpdateHandOver(target, fenwix::platform::executableName(), m_strInstallerPath);
    const std::string parameters = handOver.parameterText();
    if (utf16Units(parameters) > kMaxHandOverParameterUnits) {
        LOGE("update hand-over refused, its command line is too long: " << utf16Units(parameters)
                                                                        << " characters");
        return;
    }
    LOGI("start updater " << target << " " << parameters);
    // The updater ends this process with SIGKILL: recorded first, so it is not taken for a crash.
    if (m_crashGuard) {
        m_crashGuard->markHandOver();
    }
    // The kill gives the log writer no chance to write what is still queued: the download and
    // its verification would be missing from the log of the version that was replaced.
    log4z::Log4zManager::instance().flush(kLogFlushBeforeHandOver);
    const bool started = m_startUpdater ? m_startUpdater(handOver) : startUpdater(handOver);
    if (!started) {
        LOGE("updater cannot be started: " << target);
        if (m_crashGuard) {
            m_crashGuard->markRunning();
        }
    }
    // The updater ends this process; until then the terminal runs on as before.
}

void CFenwixDlg::updateError() {
    LOGI("updateError");
    CTip1Dlg tip(this);
    tip.exec();
}

void CFenwixDlg::updateStop() {
    LOGI("updateStop");
    if (m_UpdateDlg.isVisible()) {
        m_UpdateDlg.WaitAndClose();
    }
}

bool CFenwixDlg::killProcess(const std::string& imageName) {
    if (m_killForTesting) {
        return m_killForTesting(imageName);
    }
    return processKiller().killByImageName(imageName);
}
