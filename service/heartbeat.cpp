#include "service/heartbeat.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "jsontext/jsontext.h"
#include "logging/log4z.h"
#include "platform/debugtrace.h"
#include "platform/threadname.h"
#include "service/commonutil.h"
#include "service/httpclient.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "service/replyenvelope.h"

// What the thread shares with its owner. The thread keeps its own reference, so a thread given up
// by close() never reaches into a destroyed CHeartbeat.
struct CHeartbeat::Shared {
    std::string url;
    std::chrono::milliseconds period{kPingPeriod};

    // Guards `running` and every notice: once close() has cleared `running`, no notice follows.
    std::mutex mutex;
    std::condition_variable wake;
    bool running = false;
    std::atomic<bool> ended{false};

    bool isRunning() {
        std::lock_guard<std::mutex> lock(mutex);
        return running;
    }

    // Sleeps, but wakes at once when close() clears `running`. True while still running.
    bool pause() {
        std::unique_lock<std::mutex> lock(mutex);
        return !wake.wait_for(lock, period, [this] { return !running; });
    }
};

CHeartbeat::CHeartbeat() : CHeartbeat(kPingPeriod) {}

CHeartbeat::CHeartbeat(std::chrono::milliseconds period)
    : m_period(period), m_shared(std::make_shared<Shared>()) {}

CHeartbeat::~CHeartbeat() {
    close();
}

void CHeartbeat::start() {
    if (m_thread.joinable()) {
        return;
    }
    auto shared = std::make_shared<Shared>();
    const CComConfig& config = *CComConfig::getInstance();
    shared->url = config.getApiBaseUrl() + config.getPingPath();
    shared->period = m_period;
    // Set here rather than by the thread, so a close() right after start() still stops it.
    shared->running = true;
    m_shared = shared;
    m_thread = std::thread([shared] { run(shared); });
}

void CHeartbeat::run(const std::shared_ptr<Shared>& shared) {
    fenwix::platform::nameThisThread("fw-heartbeat");
    while (shared->isRunning()) {
        std::string reply;
        const bool ok = CHttpClient().post(shared->url, std::string(), reply);
        const bool alive = isAlive(ok, reply);
        // The notice is sent without holding the lock: the UI thread may be in close() meanwhile,
        // pumping events, and must be able to take the lock to stop this thread.
        if (!shared->isRunning()) {
            break;
        }
        sendToMainWindow(WM_NOTICE, NOTICE_NETWORK_STATE, alive ? 1 : 0);
        if (!shared->pause()) {
            break;
        }
    }
    shared->ended = true;
    shared->wake.notify_all();
}

void CHeartbeat::close() {
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_shared->mutex);
            m_shared->running = false;
        }
        m_shared->wake.notify_all();

        const std::shared_ptr<Shared> shared = m_shared;
        const auto ended = [shared] { return shared->ended.load(); };
        waitForWorker(ended, shared->mutex, shared->wake, kCloseWait);
        if (ended()) {
            m_thread.join();
        } else {
            LOGW("CHeartbeat: ping still in progress, thread left to end on its own");
            m_thread.detach();
        }
    }
    fenwix::platform::debugTrace("heartbeat Close Quit\n");
}

bool CHeartbeat::isRunning() const {
    return m_thread.joinable() && m_shared->isRunning();
}

std::string CHeartbeat::pingUrl() const {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->url;
}

bool CHeartbeat::isAlive(bool requestOk, const std::string& reply) {
    if (!requestOk) {
        return false;
    }
    Json::Value envelope;
    if (!jsontext::parseJson(reply, envelope)) {
        return false;
    }
    return replySuccess(envelope) == ReplySuccess::Accepted;
}
