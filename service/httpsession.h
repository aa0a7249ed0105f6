// The process-wide part of the HTTP client: libcurl's global set-up, a shared cache of host-name
// lookups, and a free list of easy handles. A handle keeps its open connections between uses, so
// handing the stateless client's successive requests a recently used handle for the same server
// reuses its TCP connection.
//
// Connections themselves are not put in a libcurl share: libcurl does not support one shared
// connection cache used from concurrent threads (it races and crashes), and every asynchronous
// request here runs on a thread of its own. A handle is used by one thread at a time.
#pragma once

#include <curl/curl.h>

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class HttpSession {
public:
    // Created on first use and deliberately never destroyed: detached request workers may
    // still be inside libcurl while the process exits, so everything here must outlive them.
    static HttpSession& instance();

    class Easy {
    public:
        Easy() = default;
        Easy(CURL* handle, std::string origin) : m_handle(handle), m_origin(std::move(origin)) {}
        ~Easy();
        Easy(Easy&& other) noexcept;
        Easy& operator=(Easy&& other) noexcept;
        Easy(const Easy&) = delete;
        Easy& operator=(const Easy&) = delete;

        CURL* get() const { return m_handle; }
        explicit operator bool() const { return m_handle != nullptr; }

    private:
        CURL* m_handle = nullptr;
        std::string m_origin;
    };

    // A handle in its default state with the lookup cache attached, preferably one that last
    // talked to `origin` ("scheme://host:port"); empty if libcurl cannot make one.
    Easy acquire(const std::string& origin);

    // Header lists shared read-only by every request.
    const curl_slist* formHeaders() const { return m_formHeaders; }
    const curl_slist* downloadHeaders() const { return m_downloadHeaders; }

    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

private:
    struct Idle {
        CURL* handle;
        std::string origin;
    };

    HttpSession();
    ~HttpSession() = default;

    CURL* takeIdle(const std::string& origin);
    void release(CURL* handle, std::string origin);

    static void lockShare(CURL*, curl_lock_data data, curl_lock_access, void* self);
    static void unlockShare(CURL*, curl_lock_data data, void* self);

    bool m_ready = false;
    CURLSH* m_share = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> m_shareLocks;
    curl_slist* m_formHeaders = nullptr;
    curl_slist* m_downloadHeaders = nullptr;

    std::mutex m_idleLock;
    std::vector<Idle> m_idle;
};
