// The live-push session against the real fenwix-sim in strict mode, with the media library
// replaced at its seam: the start and stop requests, what the replies do to the push, the stop
// after the library reports the push ended, and the notices for failures and capture events.
#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "livepush/mediabizserver.h"
#include "service/commonutil.h"
#include "service/mainwindowevents.h"
#include "service/terminalui.h"
#include "support/backendfixture.h"
#include "support/fakekelvramedia.h"
#include "support/logcapture.h"
#include "support/simprocess.h"

namespace {

using namespace std::chrono_literals;
using fenwixtest::BackendConfig;
using fenwixtest::EventRecorder;
using fenwixtest::FakeKelvraMedia;
using fenwixtest::SimProcess;

const char kStart[] = "/api/business/desktop/startConferenceLive";
const char kStop[] = "/api/business/desktop/stopConferenceLive";

// Counts how often the session asked to close the tip windows, and what the main window had
// seen by then.
class CountingUi : public TerminalUi {
public:
    explicit CountingUi(EventRecorder& recorder) : recorder_(recorder) {}
    void showDeviceTip() override {}
    void closeTipWindows() override {
        ++closes;
        eventsAtClose.push_back(recorder_.events().size());
    }
    std::uintptr_t mainWindowHandle() const override { return 0; }

    std::atomic<int> closes{0};
    std::vector<std::size_t> eventsAtClose;

private:
    EventRecorder& recorder_;
};

class LivePushSession : public ::testing::Test {
protected:
    void SetUp() override {
        session.init(&ui, "./log/");
        media.capture.clearCalls();
    }
    void TearDown() override {
        session.release();
        MediaSdkServer::setSink(nullptr);
        EXPECT_EQ(sim.deviations().size(), 0u) << fenwixtest::simJsonText(sim.deviations());
    }

    std::string deviceKey() const { return CComConfig::getInstance()->getDeviceKey(); }
    std::vector<std::string> pushUrls() const {
        std::vector<std::string> out;
        for (const auto& c : media.capture.calls()) {
            if (c.slot == 22) {
                out.push_back(c.text);
            }
        }
        return out;
    }
    bool pushStarted() const { return !pushUrls().empty(); }
    void mergeStartPayload(const Json::Value& fields) const {
        Json::Value spec;
        spec["path"] = "startConferenceLive";
        spec["merge"] = true;
        spec["payload"] = fields;
        sim.setBusiness(spec);
    }

    SimProcess sim{{"--strict"}};
    BackendConfig env{sim.baseUrl()};
    EventRecorder recorder;
    LogCapture log;
    FakeKelvraMedia media;
    CountingUi ui{recorder};
    MediaBizServer session;
};

TEST_F(LivePushSession, AnAllowedStartPushesAndTheEndedPushIsStoppedOnceWithItsLiveId) {
    ASSERT_TRUE(session.startLive());
    const Json::Value starts = sim.requests(kStart);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(fenwixtest::simFormValue(starts[0], "deviceKey"), deviceKey());
    EXPECT_EQ(fenwixtest::simFormValue(starts[0], "type"), "1");
    const Json::Value device = sim.device(deviceKey());
    const int liveId = device["liveId"].asInt();
    EXPECT_EQ(device["liveState"].asString(), "pushing");
    EXPECT_EQ(pushUrls(), std::vector<std::string>{device["liveUrl"].asString()});
    EXPECT_EQ(session.liveId(), liveId);
    EXPECT_TRUE(CComConfig::getInstance()->getLivePushRunning());
    EXPECT_FALSE(CComConfig::getInstance()->getLiveStopConfirmed());

    media.capture.deliver(1004);
    media.capture.deliver(1004);  // a second end of the same push asks for nothing
    const Json::Value stops = sim.requests(kStop);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(fenwixtest::simFormValue(stops[0], "liveId"), std::to_string(liveId));
    EXPECT_EQ(fenwixtest::simFormValue(stops[0], "name"), "");
    Json::Value ids(Json::arrayValue);
    ids.append(std::to_string(liveId));
    EXPECT_EQ(sim.device(deviceKey())["stopLiveIds"], ids);
    EXPECT_TRUE(CComConfig::getInstance()->getLiveStopConfirmed());
    EXPECT_TRUE(log.contains("结束推流操作: 1 "));
}

TEST_F(LivePushSession, StartRepliesThatDoNotAllowAPushLeaveItOffAndNeverAskForAStop) {
    struct Case {
        const char* what;
        Json::Value fields;  // merged into the start payload; null: a raw reply body instead
        const char* rawBody;
        const char* line;
    };
    Json::Value status0;
    status0["liveStatus"] = 0;
    Json::Value nullUrl;
    nullUrl["url"] = Json::nullValue;
    Json::Value textStatus;
    textStatus["liveStatus"] = "1";
    Json::Value nullId;
    nullId["liveId"] = Json::nullValue;
    const Case cases[] = {
        {"liveStatus 0", status0, nullptr, "直播云sdk推流地址：rtmp://"},
        {"url null", nullUrl, nullptr, "url is missing"},
        {"liveStatus a text", textStatus, nullptr, "liveStatus is of the wrong type"},
        {"liveId null", nullId, nullptr, "liveId is missing"},
        {"no success key", Json::Value(),
         R"({"payload":{"url":"rtmp://127.0.0.1/live/x","liveStatus":1,"liveId":9}})",
         R"(返回错误 success is null {"payload":{"url":"rtmp://127.0.0.1/live/x","liveStatus":1,"liveId":9}} 类型:11)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim.clearReplies();
        sim.admin("DELETE", "/admin/business");
        sim.clearRequests();
        media.capture.clearCalls();
        log.clear();
        if (c.rawBody != nullptr) {
            Json::Value reply;
            reply["path"] = kStart;
            reply["body"] = c.rawBody;
            reply["contentType"] = "application/json";
            sim.setReply(reply);
        } else {
            mergeStartPayload(c.fields);
        }
        EXPECT_TRUE(session.startLive());
        EXPECT_FALSE(pushStarted());
        EXPECT_FALSE(session.pushing());
        EXPECT_TRUE(log.contains(c.line));
        media.capture.deliver(1004);
        EXPECT_EQ(sim.requests(kStop).size(), 0u);
    }
    EXPECT_TRUE(recorder.notices(NOTICE_LIVE_REQUEST_FAILED).empty());
}

TEST_F(LivePushSession, HttpFailuresArePostedAsCode24AndAFailedStopLeavesItUnconfirmed) {
    Json::Value fault;
    fault["path"] = kStart;
    fault["status"] = 500;
    fault["body"] = "oops";
    fault["times"] = 1;
    sim.setReply(fault);
    EXPECT_FALSE(session.startLive());
    EXPECT_FALSE(pushStarted());
    EXPECT_TRUE(log.contains("httpFail back 11"));
    EXPECT_TRUE(log.contains("直播云sdk开始推流操作: 0 "));
    ASSERT_EQ(recorder.waitForNotices(NOTICE_LIVE_REQUEST_FAILED, 1, 5s).size(), 1u);

    ASSERT_TRUE(session.startLive());  // the fault was for one request only
    ASSERT_TRUE(pushStarted());
    fault["path"] = kStop;
    sim.setReply(fault);
    media.capture.deliver(1004);
    EXPECT_TRUE(log.contains("httpFail back 12"));
    EXPECT_TRUE(log.contains("结束推流操作: 0 "));
    EXPECT_EQ(recorder.waitForNotices(NOTICE_LIVE_REQUEST_FAILED, 2, 5s).size(), 2u);
    EXPECT_FALSE(CComConfig::getInstance()->getLiveStopConfirmed());
    // Nothing is retried.
    EXPECT_EQ(sim.requests(kStop).size(), 1u);
}

TEST_F(LivePushSession, CaptureEventsCloseTheTipWindowsThenPostTheirNotice) {
    struct Case {
        int event;
        unsigned notice;
    };
    const Case cases[] = {{1007, NOTICE_CAMERA_OPENED},  {2011, NOTICE_CAMERA_FAILED},
                          {1008, NOTICE_MIC_OPENED},     {2012, NOTICE_MIC_FAILED},
                          {2001, NOTICE_LIVE_NET_ERROR}, {2002, NOTICE_LIVE_NET_RESTORED}};
    std::size_t expected = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        const std::size_t before = recorder.events().size();
        media.capture.deliver(c.event);
        ++expected;
        ASSERT_EQ(recorder.waitForNotices(c.notice, 1, 5s).size(), 1u);
        EXPECT_EQ(ui.closes.load(), static_cast<int>(expected));
        EXPECT_EQ(ui.eventsAtClose.back(), before);  // closed before the notice went out
    }
    // Events that only log post nothing.
    const std::size_t seen = recorder.events().size();
    for (int event : {1001, 1002, 1003, 1005, 1006, 1016, 1017, 4242}) {
        media.capture.deliver(event);
    }
    EXPECT_EQ(recorder.events().size(), seen);
    EXPECT_EQ(ui.closes.load(), static_cast<int>(expected));
}

}  // namespace
