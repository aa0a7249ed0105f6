// Status reports and the heartbeat against the real fenwix-sim in strict mode: the exact forms,
// the report reply switching the conference state report, the heartbeat's pings, its notices and
// its close, and the unified report's cadence behind the push-poll thread.
#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "service/commonutil.h"
#include "service/fenwixstudentserver.h"
#include "service/heartbeat.h"
#include "service/zorbel.h"
#include "support/backendfixture.h"
#include "support/logcapture.h"
#include "support/routingsink.h"
#include "support/simprocess.h"

namespace {

using namespace std::chrono_literals;
using fenwixtest::BackendConfig;
using fenwixtest::EventRecorder;
using fenwixtest::RoutingSink;
using fenwixtest::SimProcess;
using fenwixtest::TestBackendServer;
using Clock = std::chrono::steady_clock;

using Form = std::vector<std::pair<std::string, std::string>>;

Form formOf(const Json::Value& request) {
    Form out;
    for (const Json::Value& field : request["form"]) {
        out.emplace_back(field["name"].asString(), field["value"].asString());
    }
    return out;
}

long long msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count();
}

class Reports : public ::testing::Test {
protected:
    SimProcess sim{{"--strict"}};
    BackendConfig env{sim.baseUrl()};
    EventRecorder recorder;
    LogCapture log;
    TestBackendServer server;
    RoutingSink sink{server, recorder};

    void TearDown() override {
        EXPECT_EQ(sim.deviations().size(), 0u) << fenwixtest::simJsonText(sim.deviations());
    }

    std::string deviceKey() { return env.config().getDeviceKey(); }

    // The one request to `path`, waited for.
    Json::Value onlyRequest(const std::string& path) {
        const Json::Value list = sim.waitForRequests(path, 1);
        EXPECT_EQ(list.size(), 1u) << path;
        return list.empty() ? Json::Value() : list[0];
    }

    // The backend stops answering for `ms`; returns when it answers again.
    void downFor(std::chrono::milliseconds ms, const std::function<void()>& whileDown) {
        sim.down(static_cast<int>(ms.count()));
        const auto until = Clock::now() + ms;
        whileDown();
        std::this_thread::sleep_until(until + 300ms);
    }

    void failPath(const std::string& path, int status, const std::string& body) {
        Json::Value reply;
        reply["path"] = path;
        reply["status"] = status;
        reply["body"] = body;
        sim.setReply(reply);
    }
};

// ---- Unified report ----

struct UnifiedCase {
    const char* name;
    std::function<void(CComConfig&)> setup;
    Form expectedTail;  // every parameter after appKey and deviceKey, localTimeStamp left out
};

class UnifiedReport : public Reports, public ::testing::WithParamInterface<UnifiedCase> {};

TEST_P(UnifiedReport, CarriesTheTerminalStateInTheExactForm) {
    CComConfig& config = env.config();
    GetParam().setup(config);
    const std::uint32_t before = CComConfig::currentTimeMs32();
    server.sendUnifiedReport();
    ASSERT_EQ(sink.waitFor("back", 4, 1), 1);
    const std::uint32_t after = CComConfig::currentTimeMs32();

    Form form = formOf(onlyRequest("/api/business/app/reportMsg"));
    ASSERT_EQ(form.size(), 17u);
    EXPECT_EQ(form[0], (std::pair<std::string, std::string>{"appKey", config.getAppKey()}));
    EXPECT_EQ(form[1], (std::pair<std::string, std::string>{"deviceKey", deviceKey()}));
    ASSERT_EQ(form[9].first, "localTimeStamp");
    const unsigned long long stamp = std::stoull(form[9].second);
    if (before <= after) {
        EXPECT_GE(stamp, before);
        EXPECT_LE(stamp, after);
    }
    form.erase(form.begin() + 9);
    EXPECT_EQ(Form(form.begin() + 2, form.end()), GetParam().expectedTail);
    EXPECT_TRUE(log.contains("统一信息上报 uri: " + sim.baseUrl() +
                             "/api/business/app/reportMsg   data: appKey="));
}

INSTANTIATE_TEST_SUITE_P(Reports, UnifiedReport,
                         ::testing::Values(UnifiedCase{"IdleBeforeAnyRoom",
                                                       [](CComConfig& c) {
                                                           c.setAppStatus(1);
                                                           c.setMicVolume(0);
                                                           c.setSpeakerVolume(0);
                                                       },
                                                       {{"appStatus", "1"},
                                                        {"videoStatus", "fixScreened"},
                                                        {"micVolumn", "0"},
                                                        {"speakerVolumn", "0"},
                                                        {"speakerIsOpen", "1"},
                                                        {"micIsOpen", "1"},
                                                        {"cameraIsOpen", "1"},
                                                        {"roomId", ""},
                                                        {"route", ""},
                                                        {"isGuest", "0"},
                                                        {"masterPushAddr", ""},
                                                        {"masterIsOpen", "1"},
                                                        {"slavePushAddr", ""},
                                                        {"slaveIsOpen", "1"}}},
                                           UnifiedCase{"InClassFixedAndMuted",
                                                       [](CComConfig& c) {
                                                           c.setAppStatus(3);
                                                           c.setScreenFixed(true);
                                                           c.setMicVolume(700);
                                                           c.setSpeakerVolume(32768);
                                                           c.setSpeakerMuted(true);
                                                           c.setMicMuted(true);
                                                           c.setCameraMuted(true);
                                                           c.setRoomId("R-1");
                                                           c.setRoute("路由1");
                                                           c.setIsGuest(true);
                                                       },
                                                       {{"appStatus", "3"},
                                                        {"videoStatus", "fixed"},
                                                        {"micVolumn", "700"},
                                                        {"speakerVolumn", "32768"},
                                                        {"speakerIsOpen", "0"},
                                                        {"micIsOpen", "0"},
                                                        {"cameraIsOpen", "0"},
                                                        {"roomId", "R-1"},
                                                        {"route", "路由1"},
                                                        {"isGuest", "1"},
                                                        {"masterPushAddr", ""},
                                                        {"masterIsOpen", "1"},
                                                        {"slavePushAddr", ""},
                                                        {"slaveIsOpen", "1"}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Reports, ServerMicrophoneOptionFollowsTheReportInClass) {
    CComConfig& config = env.config();
    config.setAppStatus(3);
    config.setRoomId("R-5");
    config.setChangeMuteMicFromServer(true);
    server.sendUnifiedReport();
    const Json::Value option = onlyRequest("/api/business/desktop/optionAudio");
    EXPECT_EQ(formOf(option), (Form{{"conferenceId", "R-5"},
                                    {"participantId", "p-1"},
                                    {"audioStatus", "1"},
                                    {"deviceKey", deviceKey()}}));
    EXPECT_TRUE(log.contains("  getAppStatus=3getChangeMuteMicFromServer=1"));

    sim.clearRequests();
    config.setAppStatus(1);
    server.sendUnifiedReport();
    ASSERT_EQ(sim.waitForRequests("/api/business/app/reportMsg", 1).size(), 1u);
    ASSERT_EQ(sink.waitFor("back", 4, 2), 2);
    EXPECT_EQ(sim.requests("/api/business/desktop/optionAudio").size(), 0u) << "only in class";
}

TEST_F(Reports, ReportReplySwitchesTheConferenceStateReportInClassOnly) {
    CComConfig& config = env.config();
    config.setAppStatus(1);
    server.sendUnifiedReport();  // the sim asks for the conference state report by default
    ASSERT_EQ(sink.waitFor("back", 4, 1), 1);
    EXPECT_FALSE(config.getConfLogsEnabled());

    config.setAppStatus(3);
    server.sendUnifiedReport();
    ASSERT_EQ(sink.waitFor("back", 4, 2), 2);
    EXPECT_TRUE(config.getConfLogsEnabled());
    EXPECT_EQ(recorder.notices(NOTICE_CONF_LOGS_ON).size(), 1u);

    Json::Value spec;
    spec["path"] = "reportMsg";
    spec["payload"]["conferenceLogs"] = false;
    sim.setBusiness(spec);
    server.sendUnifiedReport();
    ASSERT_EQ(sink.waitFor("back", 4, 3), 3);
    EXPECT_FALSE(config.getConfLogsEnabled());
}

TEST_F(Reports, FailedReportReachesTheSinkWithItsType) {
    failPath("/api/business/app/reportMsg", 500, "down");
    server.sendUnifiedReport();
    EXPECT_EQ(sink.waitFor("fail", 4, 1), 1);
}

// ---- Event reports ----

TEST_F(Reports, ApplicationStatusEventIsACompactOneElementArray) {
    env.config().setAppStatus(3);
    env.config().setScreenFixed(true);
    server.reportAppStatus();
    const Json::Value request = onlyRequest("/api/business/app/reportConferenceInfo");
    EXPECT_EQ(
        formOf(request),
        (Form{{"deviceKey", deviceKey()},
              {"str", "[{\"appStatus\":3,\"from\":0,\"type\":5,\"videoStatus\":\"fixed\"}]\n"},
              {"temp", ""}}));
    EXPECT_EQ(sink.waitFor("back", 10, 1), 1);
    EXPECT_TRUE(log.contains(
        "动态信息上报 uri: " + sim.baseUrl() +
        "/api/business/app/reportConferenceInfo   data: deviceKey=" + deviceKey() + "&str=[{"));
}

TEST_F(Reports, SynchronousEventIsSentBeforeTheCallReturns) {
    server.reportDynamicInfoSync(
        "[{\"appStatus\":0,\"from\":0,\"type\":5,\"videoStatus\":\"fixScreened\"}]\n");
    const Json::Value list = sim.requests("/api/business/app/reportConferenceInfo");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(formOf(list[0])[1].second,
              "[{\"appStatus\":0,\"from\":0,\"type\":5,\"videoStatus\":\"fixScreened\"}]\n");
    EXPECT_EQ(sink.count("back", 10), 0) << "the synchronous reply goes to no sink";
}

TEST_F(Reports, CameraStateSendsTheLocalThenTheServerStateAndKeepsTheLatter) {
    server.cameraMutedLocally = true;
    server.cameraMutedByServer = false;
    server.reportCameraState();
    const Json::Value list = sim.waitForRequests("/api/business/app/reportConferenceInfo", 2);
    ASSERT_EQ(list.size(), 2u);
    std::vector<std::string> texts{formOf(list[0])[1].second, formOf(list[1])[1].second};
    std::sort(texts.begin(), texts.end());  // two workers: arrival order is not fixed
    EXPECT_EQ(texts, (std::vector<std::string>{"[{\"from\":0,\"status\":false,\"type\":0}]\n",
                                               "[{\"from\":1,\"status\":true,\"type\":0}]\n"}));
    EXPECT_FALSE(env.config().getCameraMuted());

    sim.clearRequests();
    server.cameraMutedLocally = false;
    server.cameraMutedByServer = false;
    server.reportCameraState();
    EXPECT_EQ(sim.waitForRequests("/api/business/app/reportConferenceInfo", 2).size(), 2u)
        << "two events even when both states agree";
}

TEST_F(Reports, ConferenceStateReportCarriesTheStatisticsText) {
    server.reportConferenceState();
    const Json::Value request = onlyRequest("/api/business/app/reportLogsInfo");
    EXPECT_EQ(formOf(request),
              (Form{{"deviceKey", deviceKey()}, {"logs", server.conferenceJson}, {"temp", ""}}));
    EXPECT_EQ(sink.waitFor("back", 13, 1), 1);
}

TEST_F(Reports, ExitReportIsSentBeforeTheCallReturns) {
    server.reportExit();
    const Json::Value list = sim.requests("/api/business/app/destroy");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(formOf(list[0]), (Form{{"deviceKey", deviceKey()}}));
    EXPECT_TRUE(sim.device(deviceKey())["exited"].asBool());
    EXPECT_TRUE(log.contains("程序退出上报 uri: " + sim.baseUrl() +
                             "/api/business/app/destroy   data: deviceKey=" + deviceKey() +
                             "  type:5"));
}

TEST_F(Reports, ExitReportToAnUnreachableBackendReturnsWithinTheTimeOuts) {
    long long took = 0;
    downFor(3000ms, [&] {
        const auto start = Clock::now();
        server.reportExit();
        took = msBetween(start, Clock::now());
    });
    EXPECT_LT(took, 10000);
    EXPECT_EQ(sim.requests("/api/business/app/destroy").size(), 0u);
}

// ---- Unified report cadence behind the push-poll thread ----

TEST_F(Reports, UnifiedReportFollowsEveryPollAboutEveryTwoSeconds) {
    CZorbel zorbel(server);
    zorbel.start();
    std::vector<Clock::time_point> arrivals;
    Json::ArrayIndex seen = 0;
    const auto deadline = Clock::now() + 15s;
    while (arrivals.size() < 4 && Clock::now() < deadline) {
        const Json::ArrayIndex now = sim.requests("/api/business/app/reportMsg").size();
        for (; seen < now; ++seen) {
            arrivals.push_back(Clock::now());
        }
        std::this_thread::sleep_for(20ms);
    }
    zorbel.close();
    ASSERT_GE(arrivals.size(), 4u);
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        const long long gap = msBetween(arrivals[i - 1], arrivals[i]);
        EXPECT_GE(gap, 1500) << i;
        EXPECT_LE(gap, 2800) << i;
    }
}

// ---- Heartbeat ----

class Heartbeat : public Reports {};

TEST_F(Heartbeat, PingsEveryThreeSecondsAndReportsTheBackendReachable) {
    CHeartbeat heartbeat;
    heartbeat.start();
    EXPECT_EQ(heartbeat.pingUrl(), sim.baseUrl() + "/api/business/desktop/ping");
    const auto notices = recorder.waitForNotices(NOTICE_NETWORK_STATE, 3, 12s);
    heartbeat.close();
    ASSERT_GE(notices.size(), 3u);
    for (std::size_t i = 0; i < notices.size(); ++i) {
        EXPECT_EQ(notices[i].lParam, 1) << i;
        if (i > 0) {
            const long long gap = msBetween(notices[i - 1].at, notices[i].at);
            EXPECT_GE(gap, 2900) << i;
            EXPECT_LE(gap, 3800) << i;
        }
    }
    const Json::Value pings = sim.requests("/api/business/desktop/ping");
    ASSERT_GE(pings.size(), 3u);
    EXPECT_EQ(pings[0]["method"].asString(), "POST");
    EXPECT_EQ(pings[0]["bodyLength"].asUInt64(), 1u) << "an empty form: the zero byte alone";
}

struct PingFault {
    const char* name;
    int status;
    const char* body;
};

class HeartbeatFaults : public Reports, public ::testing::WithParamInterface<PingFault> {};

TEST_P(HeartbeatFaults, CountAsUnreachableUntilTheBackendAnswersAgain) {
    Json::Value reply;
    reply["path"] = "/api/business/desktop/ping";
    reply["status"] = GetParam().status;
    reply["body"] = GetParam().body;
    reply["times"] = 1;
    sim.setReply(reply);
    CHeartbeat heartbeat;
    heartbeat.start();
    const auto notices = recorder.waitForNotices(NOTICE_NETWORK_STATE, 2, 10s);
    heartbeat.close();
    ASSERT_GE(notices.size(), 2u);
    EXPECT_EQ(notices[0].lParam, 0);
    EXPECT_EQ(notices[1].lParam, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, HeartbeatFaults,
    ::testing::Values(PingFault{"ServerError", 500, "{\"success\":true}"},
                      PingFault{"Redirect", 302, ""}, PingFault{"NotJson", 200, "pong"},
                      PingFault{"Refused", 200, "{\"success\":false,\"message\":\"no\"}"},
                      PingFault{"NoSuccess", 200, "{\"payload\":{}}"},
                      PingFault{"SuccessAsText", 200, "{\"success\":\"true\"}"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Heartbeat, UnreachableBackendGivesZero) {
    std::vector<fenwixtest::SeenEvent> notices;
    downFor(2000ms, [&] {
        CHeartbeat heartbeat;
        heartbeat.start();
        notices = recorder.waitForNotices(NOTICE_NETWORK_STATE, 1, 12s);
        heartbeat.close();
    });
    ASSERT_GE(notices.size(), 1u);
    EXPECT_EQ(notices[0].lParam, 0);
}

TEST_F(Heartbeat, CloseWhileSleepingIsPrompt) {
    CHeartbeat heartbeat;
    heartbeat.start();
    ASSERT_EQ(recorder.waitForNotices(NOTICE_NETWORK_STATE, 1, 10s).size(), 1u);
    const auto start = Clock::now();
    heartbeat.close();
    EXPECT_LT(msBetween(start, Clock::now()), 500);
    EXPECT_FALSE(heartbeat.isRunning());
    std::this_thread::sleep_for(3500ms);
    EXPECT_EQ(recorder.notices(NOTICE_NETWORK_STATE).size(), 1u) << "no ping after close";
}

// The UI thread closes the heartbeat while the heartbeat thread waits for the UI thread to take
// its notice: close() must keep handling events or both would wait for each other.
TEST_F(Heartbeat, CloseOnTheUiThreadLetsAPendingNoticeThrough) {
    CHeartbeat heartbeat;
    long long closeMs = -1;
    recorder.window().runOnUi([&] {
        heartbeat.start();
        // The ping is answered while this thread is busy, so the notice is left waiting.
        sim.waitForRequests("/api/business/desktop/ping", 1);
        std::this_thread::sleep_for(300ms);
        const auto start = Clock::now();
        heartbeat.close();
        closeMs = msBetween(start, Clock::now());
    });
    EXPECT_GE(closeMs, 0);
    EXPECT_LT(closeMs, 2000);
    EXPECT_FALSE(heartbeat.isRunning());
}

}  // namespace
