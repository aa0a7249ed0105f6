// The push-poll client against the real fenwix-sim in strict mode: token registration, commands
// delivered through the long poll to the main window's UI thread, token loss and re-registration,
// and stopping the client while a data reply waits for the UI thread.
#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "service/mainwindowevents.h"
#include "service/zorbel.h"
#include "support/backendfixture.h"
#include "support/logcapture.h"
#include "support/simprocess.h"
#include "support/testmainwindow.h"

using fenwixtest::simParseJson;
using fenwixtest::SimProcess;

namespace {

using namespace std::chrono_literals;

// Polls `condition` until it holds or `timeout` has passed; its last value.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 15s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// What the main window received as WM_PUSH_MESSAGE, and on which thread.
struct ReceivedPush {
    std::string text;
    std::thread::id thread;
    bool duringClose = false;
};

class PushChannel : public ::testing::Test {
protected:
    PushChannel()
        : sim_({"--strict", "--hold-ms", "500"}),
          terminal_(sim_.baseUrl()),
          pushKey_(terminal_.config().getPushKey()) {}

    void SetUp() override {
        window_ = std::make_shared<TestMainWindow>(
            [this](unsigned msg, std::uintptr_t, std::intptr_t lParam) -> std::intptr_t {
                if (msg == WM_PUSH_MESSAGE) {
                    onPush(*reinterpret_cast<const std::string*>(lParam));
                }
                return 0;
            });
        publishMainWindow(window_);
    }

    void TearDown() override {
        zorbel_.reset();
        publishMainWindow(nullptr);
        window_.reset();
        EXPECT_EQ(sim_.deviations().size(), 0u) << fenwixtest::simJsonText(sim_.deviations());
    }

    virtual void onPush(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        pushes_.push_back({text, std::this_thread::get_id(), closing_.load()});
    }

    std::vector<ReceivedPush> pushes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return pushes_;
    }

    CZorbel& startZorbel() {
        zorbel_ = std::make_unique<CZorbel>([this] { ++reports_; });
        zorbel_->start();
        return *zorbel_;
    }

    Json::ArrayIndex registrations() const { return sim_.requests("/api/register").size(); }

    // The push requests the sim saw, for failure messages.
    std::string pushTrail() const {
        std::string trail;
        for (const Json::Value& r : sim_.requests()) {
            trail += r["path"].asString() + "?" + r["query"].asString() + "\n";
        }
        return trail + fenwixtest::simJsonText(sim_.admin("GET", "/admin/push"));
    }

    // Commands queued for this terminal and not yet handed to a data reply.
    int pendingCommands() const {
        for (const Json::Value& user : sim_.admin("GET", "/admin/push")["users"]) {
            if (user["userId"].asString() == pushKey_) {
                return static_cast<int>(user["pending"].size());
            }
        }
        return 0;
    }

    // The token is process-wide and outlives a test: wait until this sim has seen a poll with
    // the current one, which proves it was issued here.
    bool waitForToken() {
        return waitUntil([this] {
            const std::string token = CZorbel::token();
            if (token.empty()) {
                return false;
            }
            for (const Json::Value& poll : sim_.requests("/api/getData")) {
                if (poll["query"].asString() == "token=" + token + "&userid=" + pushKey_) {
                    return true;
                }
            }
            return false;
        });
    }

    void pushRaw(const Json::Value& payload) const {
        Json::Value body;
        body["userId"] = pushKey_;
        body["payload"] = payload;
        sim_.admin("POST", "/admin/push", body);
    }

    static Json::Value command(const std::string& type, Json::Value data = Json::Value()) {
        Json::Value m;
        m["type"] = type;
        if (!data.isNull()) {
            m["data"] = std::move(data);
        }
        return m;
    }

    SimProcess sim_;
    fenwixtest::BackendConfig terminal_;
    std::string pushKey_;
    std::shared_ptr<TestMainWindow> window_;
    std::unique_ptr<CZorbel> zorbel_;
    std::atomic<int> reports_{0};
    std::atomic<bool> closing_{false};
    std::mutex mutex_;
    std::vector<ReceivedPush> pushes_;
};

TEST_F(PushChannel, RegistersWithTheFixedQueryThenPollsWithItsToken) {
    startZorbel();
    ASSERT_TRUE(waitForToken());
    const Json::Value polls = sim_.waitForRequests("/api/getData", 1);
    ASSERT_GE(polls.size(), 1u);

    const Json::Value registration = sim_.requests("/api/register")[0];
    EXPECT_EQ(registration["method"].asString(), "GET");
    EXPECT_EQ(registration["query"].asString(),
              "appkey=C7a2e49d0b15c46f3a8e92d5b01c7f6e4&appsecret=C5d8b13f06e2a4c97b1f3e8a20d6c5b91"
              "&userid=" +
                  pushKey_);
    EXPECT_EQ(polls[0]["method"].asString(), "GET");
    EXPECT_EQ(polls[0]["query"].asString(), "token=" + CZorbel::token() + "&userid=" + pushKey_);
}

TEST_F(PushChannel, PollsAboutEveryTwoSecondsAndReportsBetweenPolls) {
    startZorbel();
    ASSERT_TRUE(waitForToken());
    ASSERT_GE(sim_.waitForRequests("/api/getData", 3).size(), 3u);
    zorbel_->close();
    const Json::ArrayIndex polls = sim_.requests("/api/getData").size();
    // One report follows each poll that had a second to wait for it.
    EXPECT_GE(reports_.load(), static_cast<int>(polls) - 1);
    EXPECT_LE(reports_.load(), static_cast<int>(polls));
    EXPECT_EQ(registrations(), 1u);
}

TEST_F(PushChannel, CommandsReachTheMainWindowOnItsUiThreadInOrder) {
    startZorbel();
    ASSERT_TRUE(waitForToken());
    Json::Value volume;
    volume["fenwixcmd"] = "micVolumnChange";
    volume["volumn"] = "70";
    sim_.push(pushKey_, command("desktopRoomCmd", volume));
    sim_.push(pushKey_, command("vLogout"));
    Json::Value login;
    login["roomId"] = "R-1";
    login["displayName"] = "一年级二班";
    sim_.push(pushKey_, command("vLogin", login));

    ASSERT_TRUE(waitUntil([this] { return pushes().size() >= 3; }));
    const auto received = pushes();
    ASSERT_EQ(received.size(), 3u);
    const Json::Value first = simParseJson(received[0].text);
    EXPECT_EQ(first["type"].asString(), "desktopRoomCmd");
    EXPECT_EQ(first["data"], volume);
    EXPECT_EQ(simParseJson(received[1].text)["type"].asString(), "vLogout");
    const Json::Value third = simParseJson(received[2].text);
    EXPECT_EQ(third["type"].asString(), "vLogin");
    EXPECT_EQ(third["data"]["displayName"].asString(), "一年级二班");
    for (const auto& push : received) {
        EXPECT_EQ(push.thread, window_->uiThreadId());
    }
    EXPECT_EQ(registrations(), 1u);
}

TEST_F(PushChannel, PayloadWithoutATextTypeIsDroppedAndTheTokenKept) {
    startZorbel();
    ASSERT_TRUE(waitForToken());
    const std::string token = CZorbel::token();
    Json::Value numericType;
    numericType["type"] = 5;
    pushRaw(numericType);
    pushRaw(Json::Value("vLogout"));  // not even an object
    sim_.push(pushKey_, command("vUpdate"));

    ASSERT_TRUE(waitUntil([this] { return !pushes().empty(); }));
    std::this_thread::sleep_for(300ms);
    const auto received = pushes();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(simParseJson(received[0].text)["type"].asString(), "vUpdate");
    EXPECT_EQ(CZorbel::token(), token);
    EXPECT_EQ(registrations(), 1u);
}

TEST_F(PushChannel, RevokedTokenIsDroppedAndTheClientRegistersAgain) {
    startZorbel();
    ASSERT_TRUE(waitForToken());
    sim_.admin("POST", "/admin/push/expire", Json::Value(Json::objectValue));
    ASSERT_GE(sim_.waitForRequests("/api/register", 2).size(), 2u) << pushTrail();
    ASSERT_TRUE(waitForToken());

    // The new token carries commands again.
    sim_.push(pushKey_, command("vLogout"));
    ASSERT_TRUE(waitUntil([this] { return !pushes().empty(); }));
    const Json::Value polls = sim_.requests("/api/getData");
    EXPECT_EQ(polls[polls.size() - 1]["query"].asString(),
              "token=" + CZorbel::token() + "&userid=" + pushKey_);
}

TEST_F(PushChannel, ServiceDownLogsTheFailureAndTheChannelRecoversWithoutRestart) {
    LogCapture log;
    startZorbel();
    ASSERT_TRUE(waitForToken());
    sim_.down(2500);
    // The held poll is dropped: the token goes, registration fails while the service is away.
    ASSERT_TRUE(waitUntil([] { return CZorbel::token().empty(); }, 10s));
    ASSERT_TRUE(waitUntil([&log] { return log.contains("zorbel net failed"); }, 10s));
    ASSERT_TRUE(waitForToken());

    sim_.push(pushKey_, command("vLogout"));
    ASSERT_TRUE(waitUntil([this] { return !pushes().empty(); }));
    EXPECT_GE(registrations(), 2u);
}

TEST_F(PushChannel, EveryStartRegistersAnew) {
    startZorbel();
    ASSERT_TRUE(waitForToken());
    zorbel_->close();
    EXPECT_FALSE(zorbel_->isRunning());
    EXPECT_FALSE(CZorbel::token().empty());  // closing keeps the token...

    zorbel_->start();  // ...but the next run does not trust it
    ASSERT_GE(sim_.waitForRequests("/api/register", 2).size(), 2u) << pushTrail();
    ASSERT_TRUE(waitForToken());
}

// close() on the UI thread while a data reply is blocked handing its command to that very
// thread: close keeps the UI thread serving events, so the worker is released and the polling
// thread joined.
TEST_F(PushChannel, CloseOnTheUiThreadServesAWorkerBlockedInItsSend) {
    startZorbel();
    ASSERT_TRUE(waitForToken());

    std::atomic<bool> closed{false};
    std::atomic<bool> queued{false};
    std::promise<void> busy;
    std::future<void> uiBusy = busy.get_future();
    window_->startOnUi([&] {
        busy.set_value();
        // Keep the UI thread away from its queue until the worker's send is waiting in it.
        waitUntil([&] { return queued.load() && pendingCommands() == 0; }, 10s);
        std::this_thread::sleep_for(500ms);
        closing_ = true;
        zorbel_->close();
        closed = true;
    });
    uiBusy.wait();
    sim_.push(pushKey_, command("vLogout"));
    queued = true;
    ASSERT_TRUE(waitUntil([&] { return closed.load(); }, 30s));
    const auto received = pushes();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_TRUE(received[0].duringClose);
    EXPECT_EQ(received[0].thread, window_->uiThreadId());
    EXPECT_FALSE(zorbel_->isRunning());
}

// The data replies' outcomes, fed straight to the completion while a token is held.
struct DataReplyCase {
    const char* name;
    bool ok;
    const char* reply;
    bool tokenKept;
    bool delivered;
};

class DataReplies : public PushChannel, public ::testing::WithParamInterface<DataReplyCase> {};

TEST_P(DataReplies, DropTheTokenOnlyOnFailureOrRefusal) {
    const DataReplyCase& c = GetParam();
    startZorbel();
    ASSERT_TRUE(waitForToken());
    zorbel_->close();
    const std::string token = CZorbel::token();
    const auto before = pushes().size();

    CZorbel::onDataReply(c.ok, c.reply, 14);

    EXPECT_EQ(CZorbel::token(), c.tokenKept ? token : std::string());
    const auto received = pushes();
    ASSERT_EQ(received.size(), before + (c.delivered ? 1 : 0));
    if (c.delivered) {
        EXPECT_EQ(simParseJson(received.back().text)["type"].asString(), "vUpdate");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, DataReplies,
    ::testing::Values(
        DataReplyCase{"TransportFailure", false, "", false, false},
        DataReplyCase{"NotJson", true, "<html>busy</html>", false, false},
        DataReplyCase{"JsonButNoObject", true, "[1,2]", false, false},
        DataReplyCase{"SuccessMissing", true, R"({"payload":{"type":"vUpdate"}})", true, false},
        DataReplyCase{"SuccessNull", true, R"({"success":null,"payload":{"type":"vUpdate"}})", true,
                      false},
        DataReplyCase{"Refused", true, R"({"success":false,"message":"token invalid"})", false,
                      false},
        DataReplyCase{"SuccessOfTheWrongType", true, R"({"success":"yes","payload":{}})", false,
                      false},
        DataReplyCase{"Command", true, R"({"success":true,"payload":{"type":"vUpdate"}})", true,
                      true},
        DataReplyCase{"NumericType", true, R"({"success":true,"payload":{"type":7}})", true, false},
        DataReplyCase{"NoPayload", true, R"({"success":true})", true, false},
        DataReplyCase{"PayloadText", true, R"({"success":true,"payload":"vUpdate"})", true, false}),
    [](const ::testing::TestParamInfo<DataReplyCase>& info) { return info.param.name; });

}  // namespace
