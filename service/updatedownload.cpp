#include "service/updatedownload.h"

#include <chrono>
#include <cstdint>
#include <fstream>
#include <vector>

#include "logging/log4z.h"
#include "platform/debugtrace.h"
#include "service/filedigest.h"
#include "platform/threadname.h"
#include "service/httpblockreader.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"

namespace {

constexpr long kStatusOk = 200;
// Each wait of stopAndWait() is bounded only so that it can be repeated; the wait as a whole is
// not.
constexpr std::chrono::hours kWaitSlice{1};

}  // namespace

UpdateDownload::UpdateDownload(UpdateDownloadView& view) : m_view(view) {}

UpdateDownload::~UpdateDownload() {
    stopAndWait();
    joinThread();
}

void UpdateDownload::joinThread() {
    if (m_hThread.joinable()) {
        m_hThread.join();
    }
}

void UpdateDownload::start(const std::string& url, const std::string& filePath,
                           const std::string& expectedSha256) {
    if (m_hThread.joinable()) {
        stopAndWait();
        joinThread();
    }
    // Set before the thread exists, so a cancel or stop that comes first is never lost.
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bContinue = 1;
    }
    m_bRunning = true;
    m_ended = false;
    m_hThread = std::thread(&UpdateDownload::run, this, url, filePath, expectedSha256);
}

void UpdateDownload::cancel() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_bContinue = 0;
}

bool UpdateDownload::stopAndWait() {
    if (!m_bRunning.exchange(false) && m_ended) {
        joinThread();
        return true;
    }
    if (m_noticeInFlight == NOTICE_UPDATE_FAILED) {
        return false;
    }
    auto window = mainWindow();
    if (window && window->isUiThread()) {
        while (!window->waitPumping([this] { return m_ended.load(); }, kWaitSlice)) {
        }
    }
    joinThread();
    return true;
}

void UpdateDownload::sendNotice(unsigned code) {
    m_noticeInFlight = code;
    sendToMainWindow(WM_NOTICE, code, 0);
    m_noticeInFlight = 0;
}

void UpdateDownload::run(const std::string& url, const std::string& filePath,
                         const std::string& expectedSha256) {
    fenwix::platform::nameThisThread("fw-update");
    Outcome outcome = transfer(url, filePath);
    if (outcome == Outcome::Complete && !expectedSha256.empty()) {
        outcome = verify(filePath, expectedSha256);
    }
    bool handOver = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        handOver = outcome == Outcome::Complete && m_bContinue == 1;
    }
    // Sent after the lock is released: the UI thread may be waiting for it in cancel().
    if (handOver) {
        sendNotice(NOTICE_UPDATE_DOWNLOADED);
    }
    m_bRunning = false;
    fenwix::platform::debugTrace("update thread quit\n");
    m_view.onAttemptEnded();
    m_ended = true;
}

UpdateDownload::Outcome UpdateDownload::verify(const std::string& filePath,
                                               const std::string& expectedSha256) {
    const std::string actual = sha256HexOfFile(filePath);
    if (sameSha256(actual, expectedSha256)) {
        LOGI("update installer sha256 verified: " << actual);
        return Outcome::Complete;
    }
    // A damaged or foreign installer must never run: the failure tip, no hand-over.
    LOGE("update installer sha256 mismatch, expected " << expectedSha256 << " got "
                                                       << (actual.empty() ? "unreadable" : actual));
    sendNotice(NOTICE_UPDATE_FAILED);
    return Outcome::Failed;
}

UpdateDownload::Outcome UpdateDownload::transfer(const std::string& url,
                                                 const std::string& filePath) {
    HttpBlockReader reader(&m_bRunning);
    long status = 0;
    if (reader.open(url)) {
        status = reader.status();
    } else if (reader.stopped()) {
        return Outcome::Incomplete;  // stopped or cancelled while waiting for the server
    } else {
        LOGE("http CInternetException " << reader.error());
        sendNotice(NOTICE_UPDATE_FAILED);
    }
    if (status != kStatusOk) {
        LOGI("http请求异常: " << status);
        return Outcome::Failed;
    }
    // The length is taken as a 32-bit number, as the progress has always computed it.
    const auto announced = static_cast<std::uint32_t>(reader.announcedLength());
    std::ofstream file(filePath, std::ios::binary | std::ios::trunc);
    if (!file.is_open()) {
        LOGE("update file cannot be created: " << filePath);
        return Outcome::Failed;
    }
    std::vector<char> block(kBlockBytes);
    std::uint64_t received = 0;
    while (m_bRunning) {
        const long long got = reader.read(block.data(), block.size());
        if (got == HttpBlockReader::kStopped) {
            return Outcome::Incomplete;
        }
        if (got < 0) {
            LOGE("http CInternetException " << reader.error());
            sendNotice(NOTICE_UPDATE_FAILED);
            return Outcome::Failed;
        }
        file.write(block.data(), static_cast<std::streamsize>(got));
        if (!file) {
            LOGE("update file cannot be written: " << filePath);
            sendNotice(NOTICE_UPDATE_FAILED);
            return Outcome::Failed;
        }
        received += static_cast<std::uint64_t>(got);
        if (announced != 0) {
            m_view.onProgress(static_cast<double>(received) / static_cast<double>(announced));
        }
        if (static_cast<std::size_t>(got) < kBlockBytes) {
            file.close();
            if (file.fail()) {
                LOGE("update file cannot be written: " << filePath);
                sendNotice(NOTICE_UPDATE_FAILED);
                return Outcome::Failed;
            }
            return Outcome::Complete;
        }
    }
    return Outcome::Incomplete;
}
