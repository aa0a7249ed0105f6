#include "service/httpclient.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "logging/log4z.h"
#include "platform/threadname.h"
#include "service/httpsession.h"
#include "service/httptransfer.h"

namespace {

// Characters, not bytes: a UTF-8 sequence counts once.
std::size_t characterCount(const std::string& text) {
    std::size_t count = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

bool withinLimit(const char* what, const std::string& text, int type) {
    const std::size_t length = characterCount(text);
    if (length <= CHttpClient::kMaxTextChars) {
        return true;
    }
    LOGE("http请求被拒绝, " << what << "过长: " << length << " > " << CHttpClient::kMaxTextChars
                            << " requestType:" << type);
    return false;
}

struct RequestRecord {
    std::string method;
    std::string url;
    std::string data;
    HttpRequestCompletion completion;
    int type = 0;
};

struct DownloadRecord {
    std::string url;
    std::string path;
    HttpDownloadCompletion completion;
    int type = 0;
};

bool runRequest(const std::string& method, const std::string& url, const std::string& data,
                int type, std::string& reply) {
    reply.clear();
    if (!withinLimit("url", url, type)) {
        return false;
    }
    return performHttpRequest(method, url, data, type, reply);
}

bool runDownload(const DownloadRecord& record) {
    if (!withinLimit("url", record.url, record.type) ||
        !withinLimit("path", record.path, record.type)) {
        return false;
    }
    return performHttpDownload(record.url, record.path, record.type);
}

// A throwing completion must not take the process down from a worker thread.
template <typename Call>
void guarded(Call call, int type) {
    try {
        call();
    } catch (const std::exception& e) {
        LOGE("http completion threw: " << e.what() << " requestType:" << type);
    } catch (...) {
        LOGE("http completion threw requestType:" << type);
    }
}

void requestWorker(const std::shared_ptr<RequestRecord>& record) {
    std::string reply;
    const bool ok = runRequest(record->method, record->url, record->data, record->type, reply);
    if (record->completion) {
        guarded([&] { record->completion(ok, reply, record->type); }, record->type);
    }
}

void downloadWorker(const std::shared_ptr<DownloadRecord>& record) {
    const bool ok = runDownload(*record);
    if (record->completion) {
        guarded([&] { record->completion(ok, record->type); }, record->type);
    }
}

// Counts the workers still running, so the process end can give them a moment to finish
// instead of tearing down the logger and the TLS library under them.
class InFlightWorkers {
public:
    static InFlightWorkers& instance() {
        static auto* workers = new InFlightWorkers();  // outlives every worker
        return *workers;
    }
    void enter() {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_count;
    }
    void leave() {
        std::lock_guard<std::mutex> lock(m_lock);
        if (--m_count == 0) {
            m_idle.notify_all();
        }
    }
    bool drain(std::chrono::milliseconds bound) {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_idle.wait_for(lock, bound, [this] { return m_count == 0; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_idle;
    int m_count = 0;
};

// Long enough for a refused or answered request to finish, short enough not to hold up the end
// of the program behind a server that does not answer.
constexpr std::chrono::milliseconds kExitDrainBound{1000};

void drainWorkersAtExit() {
    InFlightWorkers::instance().drain(kExitDrainBound);
}

// The library's global set-up (TLS included) runs on the caller's thread before the first worker
// exists: done on a worker, it could still be running while the process ends, and the TLS
// library's own exit clean-up would pull its locks away under it. The exit handler is registered
// after that set-up and after the logger started, so it runs before their clean-up.
void prepareForWorkers() {
    static const bool prepared = [] {
        HttpSession::instance();
        InFlightWorkers::instance();
        std::atexit(&drainWorkersAtExit);
        return true;
    }();
    (void)prepared;
}

// Workers are detached: nobody joins them; the process end waits a bounded time for them.
// A worker owns its record (the caller lets go of its reference once the thread runs) and
// touches nothing of the client object that started it.
template <typename Record>
bool startDetached(void (*worker)(const std::shared_ptr<Record>&),
                   const std::shared_ptr<Record>& record) {
    prepareForWorkers();
    InFlightWorkers::instance().enter();
    try {
        std::thread([worker, record] {
            fenwix::platform::nameThisThread("fw-http");
            worker(record);
            InFlightWorkers::instance().leave();
        }).detach();
        return true;
    } catch (const std::system_error& e) {
        InFlightWorkers::instance().leave();
        LOGE("http worker thread could not start: " << e.what() << " requestType:" << record->type);
        return false;
    }
}

}  // namespace

bool CHttpClient::get(const std::string& url, const std::string& query, std::string& reply) {
    return runRequest("GET", url + query, std::string(), 0, reply);
}

bool CHttpClient::post(const std::string& url, const std::string& data, std::string& reply) {
    return runRequest("POST", url, data, 0, reply);
}

bool CHttpClient::getAsync(const std::string& url, const std::string& data,
                           HttpRequestCompletion completion, int type) {
    return startRequest("GET", url, data, std::move(completion), type);
}

bool CHttpClient::postAsync(const std::string& url, const std::string& data,
                            HttpRequestCompletion completion, int type) {
    return startRequest("POST", url, data, std::move(completion), type);
}

bool CHttpClient::startRequest(const char* method, const std::string& url, const std::string& data,
                               HttpRequestCompletion completion, int type) {
    auto record = std::make_shared<RequestRecord>(
        RequestRecord{method, url, data, std::move(completion), type});
    if (startDetached(&requestWorker, record)) {
        return true;
    }
    if (record->completion) {
        guarded([&] { record->completion(false, std::string(), type); }, type);
    }
    return false;
}

bool CHttpClient::download(const std::string& url, const std::string& path,
                           HttpDownloadCompletion completion, int type) {
    auto record =
        std::make_shared<DownloadRecord>(DownloadRecord{url, path, std::move(completion), type});
    if (startDetached(&downloadWorker, record)) {
        return true;
    }
    if (record->completion) {
        guarded([&] { record->completion(false, type); }, type);
    }
    return false;
}

bool CHttpClient::waitForWorkers(std::chrono::milliseconds bound) {
    return InFlightWorkers::instance().drain(bound);
}
