// fenwix-sim's business face, driven over loopback the way the terminal drives it.
#include "support/simprocess.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

using fenwixtest::simParseJson;
using fenwixtest::SimProcess;
using fenwixtest::terminalRequest;

namespace {

class SimBusiness : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sim_ = std::make_unique<SimProcess>(); }
    static void TearDownTestSuite() { sim_.reset(); }
    void SetUp() override { sim_->reset(); }

    // POSTs a terminal form and returns the parsed envelope.
    static Json::Value post(const std::string& path, const std::string& form) {
        auto reply = terminalRequest(sim_->port(), "POST", path, form);
        EXPECT_TRUE(reply.ok) << path;
        EXPECT_EQ(reply.status, 200) << path;
        return simParseJson(reply.body);
    }

    static std::string registration(const std::string& unique) {
        return "appkey=3f1c9a7e52b04d6c8e2a1f0b7d9c4e65&devicekey=DSK_" + unique +
               "&uniqueno=" + unique + "&clientversion=20190128&pushkey=UDSK_" + unique +
               "77&pushType=zorbel&eid=e&localTime=12&isfirst=true";
    }

    static std::string report(const std::string& key, int appStatus, int micVolume) {
        return "appKey=3f1c9a7e52b04d6c8e2a1f0b7d9c4e65&deviceKey=" + key +
               "&appStatus=" + std::to_string(appStatus) +
               "&videoStatus=fixed&micVolumn=" + std::to_string(micVolume) +
               "&speakerVolumn=40&speakerIsOpen=1&micIsOpen=1&cameraIsOpen=0&localTimeStamp=9&"
               "roomId=R1&route=rt&isGuest=0&masterPushAddr=&masterIsOpen=1&slavePushAddr=&"
               "slaveIsOpen=1";
    }

    static std::unique_ptr<SimProcess> sim_;
};
std::unique_ptr<SimProcess> SimBusiness::sim_;

// Each path answers with the envelope and the payload keys the terminal reads.
struct EnvelopeCase {
    const char* path;
    const char* form;
    std::function<void(const Json::Value& payload)> checkPayload;
};

class SimBusinessEnvelope : public SimBusiness,
                            public ::testing::WithParamInterface<EnvelopeCase> {};

TEST_P(SimBusinessEnvelope, AnswersSuccessWithThePayloadTheTerminalReads) {
    const EnvelopeCase& c = GetParam();
    const Json::Value reply = post(c.path, c.form);
    ASSERT_TRUE(reply["success"].isBool());
    EXPECT_TRUE(reply["success"].asBool());
    EXPECT_TRUE(reply["message"].isString());
    ASSERT_TRUE(reply.isMember("payload"));
    c.checkPayload(reply["payload"]);
}

INSTANTIATE_TEST_SUITE_P(
    EveryPath, SimBusinessEnvelope,
    ::testing::Values(
        EnvelopeCase{"/api/business/app/register",
                     "appkey=3f1c9a7e52b04d6c8e2a1f0b7d9c4e65&devicekey=DSK_u1&uniqueno=u1&"
                     "clientversion=20190128&pushkey=UDSK_u11&pushType=zorbel&eid=e&"
                     "localTime=1&isfirst=false",
                     [](const Json::Value& p) {
                         EXPECT_FALSE(p["applicationId"].asString().empty());
                         EXPECT_TRUE(p["logoUrl"].isString());
                         EXPECT_TRUE(p["uniqueno"].isString());
                         const Json::Value& s = p["setting"];
                         EXPECT_TRUE(s["video"].isInt());
                         EXPECT_TRUE(s["checkaudiooutdriver"].isBool());
                         EXPECT_TRUE(s["checkaudioindrivernames"].isArray());
                         EXPECT_TRUE(s["checkaudiooutdrivernames"].isArray());
                         EXPECT_EQ(s["maxmicvolume"].asInt(), 1310);
                         EXPECT_EQ(s["defmicvolume"].asInt(), 655);
                         EXPECT_TRUE(s["ispull"].isInt());
                     }},
        EnvelopeCase{"/api/business/desktop/enterRoom", "deviceKey=DSK_u1",
                     [](const Json::Value& p) {
                         EXPECT_FALSE(p["valid"].asBool());
                         EXPECT_FALSE(p["data"]["errorstring"].asString().empty());
                     }},
        EnvelopeCase{"/api/business/app/updateVersion",
                     "appkey=3f1c9a7e52b04d6c8e2a1f0b7d9c4e65&clientversion=20190128&uniqueno=u1",
                     [](const Json::Value& p) {
                         EXPECT_TRUE(p["isupdate"].isBool());
                         EXPECT_FALSE(p["isupdate"].asBool());
                         EXPECT_TRUE(p["installUrl"].isString());
                     }},
        EnvelopeCase{"/api/business/app/reportMsg", "deviceKey=DSK_u1&appStatus=1",
                     [](const Json::Value& p) { EXPECT_TRUE(p["conferenceLogs"].isBool()); }},
        EnvelopeCase{"/api/business/desktop/optionAudio",
                     "conferenceId=c&participantId=-1&audioStatus=1&deviceKey=DSK_u1",
                     [](const Json::Value& p) { EXPECT_TRUE(p["conferenceLogs"].isBool()); }},
        EnvelopeCase{"/api/business/desktop/startConferenceLive", "deviceKey=DSK_u1&type=1&temp=",
                     [](const Json::Value& p) {
                         EXPECT_EQ(p["url"].asString().rfind("rtmp://", 0), 0u);
                         EXPECT_NE(p["liveStatus"].asInt(), 0);
                         EXPECT_TRUE(p["liveId"].isInt());
                         EXPECT_TRUE(p.isMember("streamId"));
                         EXPECT_TRUE(p.isMember("data"));
                     }},
        EnvelopeCase{"/api/business/desktop/stopConferenceLive",
                     "deviceKey=DSK_u1&liveId=3&name=&type=1&temp=", [](const Json::Value&) {}},
        EnvelopeCase{
            "/api/business/app/reportConferenceInfo",
            "deviceKey=DSK_u1&str=[{\"from\":0,\"type\":5}]\n&temp=", [](const Json::Value&) {}},
        EnvelopeCase{"/api/business/app/reportLogsInfo",
                     "deviceKey=DSK_u1&logs={}&temp=", [](const Json::Value&) {}},
        EnvelopeCase{"/api/business/app/destroy", "deviceKey=DSK_u1", [](const Json::Value&) {}},
        EnvelopeCase{"/api/business/desktop/ping", "", [](const Json::Value&) {}}));

TEST_F(SimBusiness, UnknownPathGetsAFailedEnvelopeAnd404) {
    auto reply = terminalRequest(sim_->port(), "POST", "/api/business/app/nothing", "a=1");
    ASSERT_TRUE(reply.ok);
    EXPECT_EQ(reply.status, 404);
    EXPECT_FALSE(simParseJson(reply.body)["success"].asBool());
}

TEST_F(SimBusiness, RegistrationKeepsTheApplicationIdOfADeviceAndRecordsItsIdentity) {
    const std::string first =
        post("/api/business/app/register", registration("m1"))["payload"]["applicationId"]
            .asString();
    const std::string again =
        post("/api/business/app/register", registration("m1"))["payload"]["applicationId"]
            .asString();
    const std::string other =
        post("/api/business/app/register", registration("m2"))["payload"]["applicationId"]
            .asString();
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
    const Json::Value device = sim_->device("DSK_m1");
    EXPECT_EQ(device["uniqueNo"].asString(), "m1");
    EXPECT_EQ(device["pushKey"].asString(), "UDSK_m177");
    EXPECT_EQ(device["registrations"].asInt(), 2);
}

TEST_F(SimBusiness, DeviceOverrideWinsOverGlobalOverrideWhichWinsOverBuiltIn) {
    Json::Value global;
    global["path"] = "register";
    global["merge"] = true;
    global["payload"]["setting"]["ispull"] = 0;
    global["payload"]["setting"]["checkaudiooutdrivernames"].append("USB");
    sim_->setBusiness(global);
    Json::Value refused;
    refused["path"] = "/api/business/app/register";
    refused["deviceKey"] = "DSK_bad";
    refused["success"] = false;
    refused["message"] = "设备未授权";
    sim_->setBusiness(refused);

    const Json::Value merged = post("/api/business/app/register", registration("ok"));
    EXPECT_TRUE(merged["success"].asBool());
    EXPECT_EQ(merged["payload"]["setting"]["ispull"].asInt(), 0);
    EXPECT_EQ(merged["payload"]["setting"]["checkaudiooutdrivernames"][0].asString(), "USB");
    EXPECT_EQ(merged["payload"]["setting"]["maxmicvolume"].asInt(), 1310);  // kept by the merge

    const Json::Value bad = post("/api/business/app/register", registration("bad"));
    EXPECT_FALSE(bad["success"].asBool());
    EXPECT_EQ(bad["message"].asString(), "设备未授权");

    sim_->admin("DELETE", "/admin/business?path=register&deviceKey=DSK_bad");
    EXPECT_TRUE(post("/api/business/app/register", registration("bad"))["success"].asBool());
}

TEST_F(SimBusiness, ReplacedPayloadsReachTheirPathsOnly) {
    Json::Value room;
    room["path"] = "enterRoom";
    room["payload"]["valid"] = true;
    room["payload"]["data"]["roomId"] = "R9";
    room["payload"]["data"]["logintype"] = 4;
    sim_->setBusiness(room);
    Json::Value offer;
    offer["path"] = "updateVersion";
    offer["payload"]["isupdate"] = true;
    offer["payload"]["installUrl"] = "http://127.0.0.1/files/setup.bin";
    sim_->setBusiness(offer);
    Json::Value logsOff;
    logsOff["path"] = "reportMsg";
    logsOff["payload"]["conferenceLogs"] = false;
    sim_->setBusiness(logsOff);

    const Json::Value r = post("/api/business/desktop/enterRoom", "deviceKey=DSK_a")["payload"];
    EXPECT_TRUE(r["valid"].asBool());
    EXPECT_EQ(r["data"]["roomId"].asString(), "R9");
    const Json::Value u = post("/api/business/app/updateVersion", "uniqueno=a")["payload"];
    EXPECT_TRUE(u["isupdate"].asBool());
    EXPECT_EQ(u["installUrl"].asString(), "http://127.0.0.1/files/setup.bin");
    EXPECT_FALSE(
        post("/api/business/app/reportMsg", report("DSK_a", 1, 1))["payload"]["conferenceLogs"]
            .asBool());
    // The microphone option has its own reply.
    EXPECT_TRUE(
        post("/api/business/desktop/optionAudio", "deviceKey=DSK_a")["payload"]["conferenceLogs"]
            .asBool());
}

TEST_F(SimBusiness, LatestUnifiedReportIsKeptPerDevice) {
    post("/api/business/app/reportMsg", report("DSK_r1", 1, 10));
    post("/api/business/app/reportMsg", report("DSK_r2", 2, 20));
    post("/api/business/app/reportMsg", report("DSK_r1", 3, 30));

    const Json::Value r1 = sim_->admin("GET", "/admin/report?deviceKey=DSK_r1");
    EXPECT_EQ(r1["report"]["appStatus"].asString(), "3");
    EXPECT_EQ(r1["report"]["micVolumn"].asString(), "30");
    EXPECT_EQ(r1["count"].asInt(), 2);
    const Json::Value r2 = sim_->admin("GET", "/admin/report?deviceKey=DSK_r2");
    EXPECT_EQ(r2["report"]["appStatus"].asString(), "2");
    EXPECT_THROW(sim_->admin("GET", "/admin/report?deviceKey=DSK_none"), std::runtime_error);
}

TEST_F(SimBusiness, EventsStatisticsLivePushAndExitShowOnTheDevice) {
    post("/api/business/app/reportConferenceInfo",
         "deviceKey=DSK_e&str=[{\"from\":1,\"size\":\"70\",\"type\":3}]\n&temp=");
    post("/api/business/app/reportLogsInfo", "deviceKey=DSK_e&logs={\"cpu\":7}\n&temp=");
    const int liveId = post("/api/business/desktop/startConferenceLive",
                            "deviceKey=DSK_e&type=1&temp=")["payload"]["liveId"]
                           .asInt();
    post("/api/business/desktop/stopConferenceLive",
         "deviceKey=DSK_e&liveId=" + std::to_string(liveId) + "&name=&type=1&temp=");
    post("/api/business/app/destroy", "deviceKey=DSK_e");

    const Json::Value d = sim_->device("DSK_e");
    ASSERT_EQ(d["events"].size(), 1u);
    EXPECT_EQ(d["events"][0]["str"][0]["size"].asString(), "70");
    EXPECT_EQ(d["lastLogs"]["cpu"].asInt(), 7);
    EXPECT_EQ(d["liveId"].asInt(), liveId);
    EXPECT_EQ(d["liveStarts"].asInt(), 1);
    EXPECT_EQ(d["liveStops"].asInt(), 1);
    EXPECT_TRUE(d["exited"].asBool());
}

TEST_F(SimBusiness, EveryStartReplyCarriesAFreshLiveId) {
    const Json::Value a =
        post("/api/business/desktop/startConferenceLive", "deviceKey=DSK_l&type=1&temp=");
    const Json::Value b =
        post("/api/business/desktop/startConferenceLive", "deviceKey=DSK_l&type=1&temp=");
    EXPECT_NE(a["payload"]["liveId"].asInt(), b["payload"]["liveId"].asInt());

    Json::Value noLive;
    noLive["path"] = "startConferenceLive";
    noLive["merge"] = true;
    noLive["payload"]["liveStatus"] = 0;
    sim_->setBusiness(noLive);
    EXPECT_EQ(post("/api/business/desktop/startConferenceLive",
                   "deviceKey=DSK_l&type=1&temp=")["payload"]["liveStatus"]
                  .asInt(),
              0);
}

TEST_F(SimBusiness, RequestsWithoutADeviceKeyAreAnsweredButCreateNoDevice) {
    EXPECT_TRUE(post("/api/business/app/destroy", "x=1")["success"].asBool());
    EXPECT_TRUE(post("/api/business/desktop/ping", "")["success"].asBool());
    EXPECT_EQ(sim_->admin("GET", "/admin/devices")["devices"].size(), 0u);
}

bool validUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80         ? 1
                         : (c >> 5) == 6  ? 2
                         : (c >> 4) == 14 ? 3
                         : (c >> 3) == 30 ? 4
                                          : 0;
        if (n == 0 || i + n > s.size()) {
            return false;
        }
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += n;
    }
    return true;
}

TEST_F(SimBusiness, BrokenUtf8InReportsStillGivesValidAdminJson) {
    post("/api/business/app/reportConferenceInfo",
         "deviceKey=DSK_b&str=[{\"name\":\"\xE5\xBC\",\"type\":5}]\n&temp=");
    post("/api/business/app/reportMsg", "deviceKey=DSK_b&roomId=\xFF\xFE");
    auto c = sim_->client();
    for (const char* path : {"/admin/device?deviceKey=DSK_b", "/admin/requests"}) {
        auto r = c.Get(path);
        ASSERT_TRUE(r) << path;
        EXPECT_TRUE(validUtf8(r->body)) << path;
        EXPECT_NO_THROW(simParseJson(r->body)) << path;
    }
    const Json::Value d = sim_->device("DSK_b");
    EXPECT_EQ(d["lastReport"]["roomId"].asString(), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(d["events"][0]["str"][0]["type"].asInt(), 5);
}

}  // namespace
