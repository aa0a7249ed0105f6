// The heartbeat: a thread of its own that pings the backend every three seconds and tells the
// main window after each ping whether the backend answered (WM_NOTICE, NOTICE_NETWORK_STATE).
// It runs from start-up to shutdown, independent of registration.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>

class CHeartbeat {
public:
    static constexpr std::chrono::milliseconds kPingPeriod{3000};
    // close() waits at most this long for a ping in progress (the HTTP time-outs bound it).
    static constexpr std::chrono::milliseconds kCloseWait{15000};

    CHeartbeat();
    // Another period between pings (tests).
    explicit CHeartbeat(std::chrono::milliseconds period);
    ~CHeartbeat();  // close()

    CHeartbeat(const CHeartbeat&) = delete;
    CHeartbeat& operator=(const CHeartbeat&) = delete;

    // Takes the ping URL (apiBaseUrl + pingPath) once and starts the thread. A second call while
    // the thread runs changes nothing.
    void start();

    // Stops the thread. On the UI thread it keeps handling main-window events while it waits, so
    // a thread blocked in its notice can finish; after kCloseWait a thread still in a ping is left
    // to end on its own, touching nothing of this object and sending no further notice.
    void close();

    bool isRunning() const;
    std::string pingUrl() const;

    // Whether one ping's outcome means the backend is reachable: the request succeeded, the reply
    // parses and its `success` is true.
    static bool isAlive(bool requestOk, const std::string& reply);

private:
    struct Shared;
    static void run(const std::shared_ptr<Shared>& shared);

    std::chrono::milliseconds m_period;
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};
