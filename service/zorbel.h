// The client of the push-poll service through which the backend drives the terminal: a thread
// that obtains a token and then keeps asking for data. Every command that arrives is handed to
// the main window (WM_PUSH_MESSAGE) and carried out there on the UI thread; between two polls the
// thread also triggers the unified status report.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

class FenwixStudentServer;

class CZorbel {
public:
    // The push service's fixed application credentials.
    static constexpr char kAppKey[] = "C7a2e49d0b15c46f3a8e92d5b01c7f6e4";
    static constexpr char kAppSecret[] = "C5d8b13f06e2a4c97b1f3e8a20d6c5b91";
    // close() gives up waiting for the thread after this many wake-ups of kCloseWakeMs each.
    static constexpr int kCloseWakeUps = 11;
    static constexpr int kCloseWakeMs = 1000;

    // The unified report of the backend client is sent between two polls.
    explicit CZorbel(FenwixStudentServer& server);
    // Same, with any report action (tests).
    explicit CZorbel(std::function<void()> unifiedReport);
    ~CZorbel();  // close()

    CZorbel(const CZorbel&) = delete;
    CZorbel& operator=(const CZorbel&) = delete;

    // Copies pushBaseUrl and pushKey from the configuration and starts the polling thread.
    // A second call while the thread runs changes nothing. Always true.
    bool start();

    // Stops the thread. On the UI thread it keeps handling main-window events while it waits,
    // so a data reply blocked in its WM_PUSH_MESSAGE can finish; it gives up after
    // kCloseWakeUps wake-ups, and a thread still running then ends on its own without touching
    // this object or sending another report.
    void close();

    bool isRunning() const;

    // Completion of the data requests, on the request's worker thread. It touches only the
    // process-wide token and the main window, so a reply that arrives after this object is gone
    // is still handled safely.
    static void onDataReply(bool ok, const std::string& reply, int type);

    // The process-wide push token; empty while the terminal is not registered with the service.
    static std::string token();

    // Takes the token from the reply of a push registration; false (and no token) when the reply
    // does not accept the registration or carries no token.
    static bool acceptRegistration(const std::string& reply);

private:
    struct Shared;
    static void run(const std::shared_ptr<Shared>& shared);
    static bool registerPush(const Shared& shared);
    static void requestData(const Shared& shared);

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};
