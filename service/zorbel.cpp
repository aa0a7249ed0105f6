#include "service/zorbel.h"

#include <json/json.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

#include "jsontext/jsontext.h"
#include "logging/log4z.h"
#include "platform/debugtrace.h"
#include "platform/threadname.h"
#include "service/commonutil.h"
#include "service/fenwixstudentserver.h"
#include "service/formdata.h"
#include "service/httpclient.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "service/replyenvelope.h"

namespace {

constexpr int kPushDataRequestType = 14;
constexpr std::chrono::milliseconds kPassPause{1000};

// The token is shared by the polling thread and the data replies' workers, which may outlive
// any one CZorbel: it lives for the process, behind its own lock.
std::mutex& tokenMutex() {
    static std::mutex m;
    return m;
}

std::string& tokenText() {
    static std::string token;
    return token;
}

void setToken(const std::string& value) {
    std::lock_guard<std::mutex> lock(tokenMutex());
    tokenText() = value;
}

void clearToken() {
    setToken(std::string());
}

}  // namespace

struct CZorbel::Shared {
    std::function<void()> unifiedReport;
    std::string baseUrl;
    std::string userId;

    // Guards `running` and every call of unifiedReport: once close() has cleared `running`, the
    // thread never reports again, even if close() gave up waiting for it.
    std::mutex mutex;
    std::condition_variable wake;
    bool running = false;
    std::atomic<bool> ended{false};

    bool isRunning() {
        std::lock_guard<std::mutex> lock(mutex);
        return running;
    }

    // Sleeps, but wakes at once when close() clears `running`. True while still running.
    bool pause(std::chrono::milliseconds duration) {
        std::unique_lock<std::mutex> lock(mutex);
        return !wake.wait_for(lock, duration, [this] { return !running; });
    }

    bool reportIfRunning() {
        std::lock_guard<std::mutex> lock(mutex);
        if (!running) {
            return false;
        }
        if (unifiedReport) {
            unifiedReport();
        }
        return true;
    }
};

CZorbel::CZorbel(FenwixStudentServer& server)
    : CZorbel([&server] { server.sendUnifiedReport(); }) {}

CZorbel::CZorbel(std::function<void()> unifiedReport) : m_shared(std::make_shared<Shared>()) {
    m_shared->unifiedReport = std::move(unifiedReport);
}

CZorbel::~CZorbel() {
    close();
}

bool CZorbel::start() {
    if (m_thread.joinable()) {
        return true;
    }
    LOGI("开始启动ZORBEL");
    // A thread given up by an earlier close() keeps its own state; this run gets a fresh one.
    auto shared = std::make_shared<Shared>();
    shared->unifiedReport = m_shared->unifiedReport;
    CComConfig* config = CComConfig::getInstance();
    shared->baseUrl = config->getPushBaseUrl();
    shared->userId = config->getPushKey();
    // Set here rather than by the thread, so a close() right after start() still stops it.
    shared->running = true;
    m_shared = shared;
    m_thread = std::thread([shared] { run(shared); });
    return true;
}

void CZorbel::close() {
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_shared->mutex);
            m_shared->running = false;
        }
        m_shared->wake.notify_all();

        const std::shared_ptr<Shared> shared = m_shared;
        const auto ended = [shared] { return shared->ended.load(); };
        for (int wakeUp = 0; wakeUp < kCloseWakeUps && !ended(); ++wakeUp) {
            waitForWorker(ended, shared->mutex, shared->wake,
                          std::chrono::milliseconds(kCloseWakeMs));
        }
        if (ended()) {
            m_thread.join();
        } else {
            LOGW("CZorbel: polling thread still busy, left to end on its own");
            m_thread.detach();
        }
    }
    fenwix::platform::debugTrace("CZorbel::Close Quit\n");
}

bool CZorbel::isRunning() const {
    return m_thread.joinable() && m_shared->isRunning();
}

std::string CZorbel::token() {
    std::lock_guard<std::mutex> lock(tokenMutex());
    return tokenText();
}

void CZorbel::run(const std::shared_ptr<Shared>& shared) {
    fenwix::platform::nameThisThread("fw-push");
    // Every start registers anew: a token of an earlier run may have been revoked meanwhile.
    clearToken();
    while (shared->isRunning()) {
        if (token().empty()) {
            registerPush(*shared);
        }
        if (!token().empty() && shared->isRunning()) {
            requestData(*shared);
            if (!shared->pause(kPassPause) || !shared->reportIfRunning()) {
                break;
            }
        }
        if (!shared->pause(kPassPause)) {
            break;
        }
    }
    fenwix::platform::debugTrace("CZorbel thread quit\n");
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->ended = true;
    }
    shared->wake.notify_all();
}

bool CZorbel::registerPush(const Shared& shared) {
    const std::string query = FormData()
                                  .add("appkey", kAppKey)
                                  .add("appsecret", kAppSecret)
                                  .add("userid", shared.userId)
                                  .queryText();
    std::string reply;
    const bool ok = CHttpClient().get(shared.baseUrl + ServicePath::kPushRegister, query, reply);
    clearToken();
    if (!ok) {
        LOGE("zorbel net failed");
        return false;
    }
    return acceptRegistration(reply);
}

bool CZorbel::acceptRegistration(const std::string& reply) {
    clearToken();
    Json::Value root;
    if (!jsontext::parseJson(reply, root) || replySuccess(root) != ReplySuccess::Accepted) {
        return false;
    }
    const Json::Value& payload = root["payload"];
    if (!payload.isObject() || !payload["token"].isString()) {
        return false;
    }
    setToken(payload["token"].asString());
    return !token().empty();
}

void CZorbel::requestData(const Shared& shared) {
    const std::string query =
        FormData().add("token", token()).add("userid", shared.userId).queryText();
    CHttpClient().getAsync(shared.baseUrl + ServicePath::kPushGetData + query, std::string(),
                           &CZorbel::onDataReply, kPushDataRequestType);
}

void CZorbel::onDataReply(bool ok, const std::string& reply, int /*type*/) {
    if (!ok) {
        clearToken();
        return;
    }
    Json::Value root;
    if (!jsontext::parseJson(reply, root) || !root.isObject()) {
        clearToken();
        return;
    }
    const ReplySuccess success = replySuccess(root);
    if (success == ReplySuccess::Missing) {
        return;
    }
    if (success == ReplySuccess::Refused) {
        clearToken();
        return;
    }
    const Json::Value& payload = root["payload"];
    if (!payload.isObject() || !payload["type"].isString()) {
        return;
    }
    // The handler reads the text while this thread waits, then the text goes away.
    const std::string message = jsontext::compactJson(payload);
    sendToMainWindow(WM_PUSH_MESSAGE, 0, reinterpret_cast<std::intptr_t>(&message));
}
