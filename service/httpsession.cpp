#include "service/httpsession.h"

#include <initializer_list>
#include <utility>

namespace {

// Enough for the terminal's usual handful of concurrent requests; beyond it handles are freed
// (with their connections).
constexpr std::size_t kMaxIdleHandles = 16;

curl_slist* appendAll(std::initializer_list<const char*> lines) {
    curl_slist* list = nullptr;
    for (const char* line : lines) {
        curl_slist* grown = curl_slist_append(list, line);
        if (grown == nullptr) {
            curl_slist_free_all(list);
            return nullptr;
        }
        list = grown;
    }
    return list;
}

}  // namespace

HttpSession& HttpSession::instance() {
    static HttpSession* session = new HttpSession();
    return *session;
}

HttpSession::HttpSession() {
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) {
        return;
    }
    // Three blanks after the colon, as the backend has always received it. "Accept:" and
    // "Expect:" stop libcurl from adding headers of its own (the 100-continue wait would
    // otherwise delay every body over 1 KiB).
    m_formHeaders =
        appendAll({"Content-Type:   application/x-www-form-urlencoded", "Accept:", "Expect:"});
    m_downloadHeaders = appendAll({"Accept:"});
    m_share = curl_share_init();
    if (m_share != nullptr) {
        curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, &HttpSession::lockShare);
        curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, &HttpSession::unlockShare);
        curl_share_setopt(m_share, CURLSHOPT_USERDATA, this);
        curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }
    m_ready = m_formHeaders != nullptr && m_downloadHeaders != nullptr;
}

void HttpSession::lockShare(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<HttpSession*>(self)->m_shareLocks.at(static_cast<std::size_t>(data)).lock();
}

void HttpSession::unlockShare(CURL*, curl_lock_data data, void* self) {
    static_cast<HttpSession*>(self)->m_shareLocks.at(static_cast<std::size_t>(data)).unlock();
}

HttpSession::Easy HttpSession::acquire(const std::string& origin) {
    if (!m_ready) {
        return {};
    }
    CURL* handle = takeIdle(origin);
    if (handle == nullptr) {
        handle = curl_easy_init();
        if (handle == nullptr) {
            return {};
        }
    }
    if (m_share != nullptr) {
        curl_easy_setopt(handle, CURLOPT_SHARE, m_share);
    }
    return Easy(handle, origin);
}

CURL* HttpSession::takeIdle(const std::string& origin) {
    std::lock_guard<std::mutex> lock(m_idleLock);
    if (m_idle.empty()) {
        return nullptr;
    }
    // Most recently returned first: its connection is the least likely to have gone stale.
    auto chosen = m_idle.end() - 1;
    for (auto it = m_idle.rbegin(); it != m_idle.rend(); ++it) {
        if (it->origin == origin) {
            chosen = std::next(it).base();
            break;
        }
    }
    CURL* handle = chosen->handle;
    m_idle.erase(chosen);
    return handle;
}

void HttpSession::release(CURL* handle, std::string origin) {
    // Reset drops the finished request's options so the next user starts clean; the handle's
    // open connections survive it.
    curl_easy_reset(handle);
    {
        std::lock_guard<std::mutex> lock(m_idleLock);
        if (m_idle.size() < kMaxIdleHandles) {
            m_idle.push_back(Idle{handle, std::move(origin)});
            return;
        }
    }
    curl_easy_cleanup(handle);
}

HttpSession::Easy::~Easy() {
    if (m_handle != nullptr) {
        HttpSession::instance().release(m_handle, std::move(m_origin));
    }
}

HttpSession::Easy::Easy(Easy&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_origin(std::move(other.m_origin)) {}

HttpSession::Easy& HttpSession::Easy::operator=(Easy&& other) noexcept {
    if (this != &other) {
        Easy old(std::move(*this));
        m_handle = std::exchange(other.m_handle, nullptr);
        m_origin = std::move(other.m_origin);
    }
    return *this;
}
