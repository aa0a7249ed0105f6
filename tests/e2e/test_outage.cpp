// A backend outage during a class, end to end: the real terminal in class against fenwix-sim,
// which goes down (its listener closes) for a while and comes back on the same port. The
// terminal must stay up, show that it is offline, pick the backend up again by itself and leave
// no thread or file descriptor behind. FENWIX_OUTAGE_SECONDS sets the length of the outage
// (default 60; scripts/outage runs longer ones).
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "support/simprocess.h"
#include "support_checks.h"
#include "support_terminalprocess.h"

namespace {

using namespace std::chrono_literals;
using e2e::TerminalProcess;
using e2e::TerminalSandbox;
using fenwixtest::SimProcess;

int outageSeconds() {
    const char* text = std::getenv("FENWIX_OUTAGE_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 60;
}

// What a process holds for good, read from /proc. The thread pools' on-demand workers (GLib's
// "pool-*", Qt's "Thread (pooled)") come and go with work and end when idle: left out. Sockets
// are counted on their own: the HTTP client keeps a bounded pool of idle handles, each with its
// connection and its wake-up socket pair, whose size follows the most requests that ever ran
// at once.
struct Holdings {
    int threads = 0;
    int fds = 0;  // every descriptor but sockets
    int sockets = 0;
};

Holdings holdingsOf(pid_t pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    Holdings h;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(proc + "/task", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::ifstream comm(it->path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name.rfind("pool-", 0) != 0 && name != "Thread (pooled)") {
            ++h.threads;
        }
    }
    for (auto it = std::filesystem::directory_iterator(proc + "/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::error_code linkError;
        const std::string target = std::filesystem::read_symlink(it->path(), linkError).string();
        ++(target.rfind("socket:[", 0) == 0 ? h.sockets : h.fds);
    }
    return h;
}
// What the process holds, for a failure message: its threads' names and its descriptors' targets.
std::string describeHoldings(pid_t pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    std::string out = "threads:";
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(proc + "/task", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::ifstream comm(it->path() / "comm");
        std::string name;
        std::getline(comm, name);
        out += " [" + name + "]";
    }
    out += "\nfds:";
    for (auto it = std::filesystem::directory_iterator(proc + "/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::error_code linkError;
        out += " " + std::filesystem::read_symlink(it->path(), linkError).string();
    }
    return out;
}

// The lasting holdings: the least seen over a few seconds, so that a request's short-lived
// worker thread or descriptor caught in one sample does not count.
Holdings settledHoldings(pid_t pid) {
    Holdings least{1 << 30, 1 << 30, 1 << 30};
    const auto end = std::chrono::steady_clock::now() + 6s;
    while (std::chrono::steady_clock::now() < end) {
        const Holdings h = holdingsOf(pid);
        least.threads = std::min(least.threads, h.threads);
        least.fds = std::min(least.fds, h.fds);
        least.sockets = std::min(least.sockets, h.sockets);
        std::this_thread::sleep_for(50ms);
    }
    return least;
}

std::string queryValue(const Json::Value& request, const std::string& name) {
    const std::string query = "&" + request["query"].asString();
    const auto at = query.find("&" + name + "=");
    if (at == std::string::npos) {
        return "";
    }
    const auto start = at + name.size() + 2;
    return query.substr(start, query.find('&', start) - start);
}

Json::Value command(const std::string& deviceKey, const char* type) {
    Json::Value c;
    c["deviceKey"] = deviceKey;
    c["type"] = type;
    return c;
}

Json::Value loginCommand(const std::string& deviceKey) {
    Json::Value c = command(deviceKey, "vLogin");
    c["data"]["roomId"] = "R-1001";
    c["data"]["username"] = "classroom01";
    c["data"]["password"] = "secret";
    c["data"]["roomKey"] = "room-7";
    c["data"]["displayName"] = "一号教室";
    return c;
}

class Outage : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display";
        }
        ASSERT_TRUE(e2e::displayAnswers());
        sim_ = std::make_unique<SimProcess>();
        sandbox_ = std::make_unique<TerminalSandbox>();
        sandbox_->useBackend(sim_->baseUrl());
        setenv("FENWIX_VIRTUAL_CAMERA", "1", 1);
    }

    void TearDown() override {
        if (terminal_ != nullptr && terminal_->running()) {
            terminal_->signal(SIGTERM);
            terminal_->waitExit(40s);
        }
        if (HasFailure() && terminal_ != nullptr) {
            std::cerr << "---- terminal log ----\n"
                      << log() << "---- sim log ----\n"
                      << sim_->log();
        }
    }

    std::string log() const { return e2e::terminalLog(*sandbox_, terminal_->pid()); }
    bool waitLogged(const std::string& text, std::chrono::milliseconds bound, int times = 1) {
        return e2e::waitUntil([&] { return e2e::countIn(log(), text) >= times; }, bound);
    }

    // The recorded requests of a path that came after the request numbered `seq`.
    Json::Value requestsAfter(const std::string& path, int seq) const {
        Json::Value out(Json::arrayValue);
        for (const Json::Value& r : sim_->requests(path)) {
            if (r["seq"].asInt() > seq) {
                out.append(r);
            }
        }
        return out;
    }
    int lastSeq() const {
        const Json::Value all = sim_->requests();
        return all.empty() ? 0 : all[all.size() - 1]["seq"].asInt();
    }
    bool simAnswers() const {
        try {
            sim_->admin("GET", "/admin/settings");
            return true;
        } catch (const std::runtime_error&) {
            return false;
        }
    }

    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<TerminalSandbox> sandbox_;
    std::unique_ptr<TerminalProcess> terminal_;
};

TEST_F(Outage, TerminalStaysUpShowsOfflineAndPicksTheBackendUpAgain) {
    terminal_ = std::make_unique<TerminalProcess>(*sandbox_);
    ASSERT_GE(sim_->waitForRequests("/api/getData", 1, 30000).size(), 1u)
        << "the push channel never asked for data";
    const std::string deviceKey =
        sim_->admin("GET", "/admin/devices")["devices"][0]["deviceKey"].asString();
    sim_->admin("POST", "/admin/push", loginCommand(deviceKey));
    ASSERT_TRUE(waitLogged("用户模式登录成功", 40s));
    ASSERT_TRUE(waitLogged("网络已连接", 10s));
    const Holdings before = settledHoldings(terminal_->pid());
    const std::string heldBefore = describeHoldings(terminal_->pid());
    const Json::Value polls = sim_->requests("/api/getData");
    const std::string tokenBefore = queryValue(polls[polls.size() - 1], "token");
    ASSERT_FALSE(tokenBefore.empty());
    const int seqBefore = lastSeq();
    const int offlineBefore = e2e::countIn(log(), "网络已断开");
    const int onlineBefore = e2e::countIn(log(), "网络已连接");

    const int seconds = outageSeconds();
    sim_->down(seconds * 1000);
    ASSERT_TRUE(waitLogged("网络已断开", 30s, offlineBefore + 1)) << "no offline state shown";
    const auto back = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < back) {
        ASSERT_TRUE(terminal_->running()) << "the terminal ended during the outage";
        std::this_thread::sleep_for(1s);
    }
    ASSERT_TRUE(e2e::waitUntil([&] { return simAnswers(); }, 30s));

    // Measured from the first good heartbeat after the outage.
    ASSERT_TRUE(waitLogged("网络已连接", 30s, onlineBefore + 1)) << "never online again";
    EXPECT_TRUE(e2e::waitUntil(
        [&] {
            const Json::Value after = requestsAfter("/api/getData", seqBefore);
            return !after.empty() && queryValue(after[after.size() - 1], "token") != tokenBefore &&
                   !requestsAfter("/api/business/app/reportMsg", seqBefore).empty();
        },
        5s))
        << "no new push token or no report within 5 s of the first good heartbeat";

    // It obeys pushed commands again: out of the class and back in (so that it holds what it
    // held before), and a volume command.
    const int logoutsBefore = e2e::countIn(log(), "OnAnalyzeLogoutSuccess");
    sim_->admin("POST", "/admin/push", command(deviceKey, "vLogout"));
    ASSERT_TRUE(waitLogged("OnAnalyzeLogoutSuccess", 30s, logoutsBefore + 1));
    sim_->admin("POST", "/admin/push", loginCommand(deviceKey));
    ASSERT_TRUE(waitLogged("用户模式登录成功", 40s, 2));
    Json::Value volume = command(deviceKey, "desktopRoomCmd");
    volume["data"]["fenwixcmd"] = "speakerVolumnChange";
    volume["data"]["volumn"] = "23456";
    sim_->admin("POST", "/admin/push", volume);
    EXPECT_TRUE(waitLogged("zorbel 设置扬声器音量: 23456", 20s));

    ASSERT_TRUE(terminal_->running());
    const Holdings after = settledHoldings(terminal_->pid());
    const std::string held = heldBefore + "\n" + describeHoldings(terminal_->pid());
    EXPECT_EQ(after.threads, before.threads) << held;
    EXPECT_EQ(after.fds, before.fds) << held;
    // At most 16 idle HTTP handles, three sockets each, can have joined the pool.
    EXPECT_LE(after.sockets, before.sockets + 16 * 3) << held;
    std::cout << "outage " << seconds << " s: threads " << before.threads << " -> " << after.threads
              << ", descriptors " << before.fds << " -> " << after.fds << ", sockets "
              << before.sockets << " -> " << after.sockets << "\n";
}

}  // namespace
