// fenwix-sim --strict: exact terminal forms pass, anything else is recorded as a deviation.
#include "support/simprocess.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using fenwixtest::rawExchange;
using fenwixtest::SimProcess;
using fenwixtest::terminalRequest;

namespace {

const std::string kRegister =
    "appkey=3f1c9a7e52b04d6c8e2a1f0b7d9c4e65&devicekey=DSK_u9&uniqueno=u9&clientversion=20190128&"
    "pushkey=UDSK_u93123&pushType=zorbel&eid=e-1&localTime=-21&isfirst=true";
const std::string kReport =
    "appKey=3f1c9a7e52b04d6c8e2a1f0b7d9c4e65&deviceKey=DSK_u9&appStatus=3&videoStatus=fixScreened&"
    "micVolumn=655&speakerVolumn=80&speakerIsOpen=1&micIsOpen=0&cameraIsOpen=1&"
    "localTimeStamp=4294967295&roomId=&route=&isGuest=0&masterPushAddr=&masterIsOpen=1&"
    "slavePushAddr=&slaveIsOpen=1";
const std::string kLogs =
    "{\"actualRecvBwApplication\":0,\"actualRecvBwAudio\":0,\"actualRecvBwMax\":0,"
    "\"actualRecvBwVideo\":0,\"actualSendBwApplication\":0,\"actualSendBwAudio\":0,"
    "\"actualSendBwMax\":0,\"actualSendBwVideo\":0,\"availRecvBwMax\":0,\"availSendBwMax\":0,"
    "\"cpu\":3,\"d\":\"DSK_u9\",\"d3dheight\":0,\"d3dwidth\":0,\"desktype\":\"student\","
    "\"isGuest\":0,\"p\":\"http://p\",\"participantID\":\"-1\",\"participantRateArray\":[{"
    "\"name\":\"王老师\",\"width\":1}],\"r\":\"\",\"roomkey\":\"k\",\"videoCapture\":0,"
    "\"videoHeight\":0,\"videoSend\":0,\"videoWidth\":0}\n";
const char kPushQuery[] =
    "?appkey=C7a2e49d0b15c46f3a8e92d5b01c7f6e4&appsecret=C5d8b13f06e2a4c97b1f3e8a20d6c5b91&"
    "userid=UDSK_u93123";

class SimStrict : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim_ = std::make_unique<SimProcess>(std::vector<std::string>{"--strict"});
    }
    static void TearDownTestSuite() { sim_.reset(); }
    void SetUp() override { sim_->reset(); }
    static std::unique_ptr<SimProcess> sim_;
};
std::unique_ptr<SimProcess> SimStrict::sim_;

struct ExactCase {
    const char* name;
    const char* method;
    std::string target;
    std::string form;
};

class SimStrictExact : public SimStrict, public ::testing::WithParamInterface<ExactCase> {};

TEST_P(SimStrictExact, RecordsNoDeviation) {
    const ExactCase& c = GetParam();
    ASSERT_TRUE(terminalRequest(sim_->port(), c.method, c.target, c.form).ok);
    const Json::Value d = sim_->deviations();
    EXPECT_EQ(d.size(), 0u) << fenwixtest::simJsonText(d);
}

INSTANTIATE_TEST_SUITE_P(
    EveryTerminalRequest, SimStrictExact,
    ::testing::Values(
        ExactCase{"Register", "POST", "/api/business/app/register", kRegister},
        ExactCase{"EnterRoom", "POST", "/api/business/desktop/enterRoom", "deviceKey=DSK_u9"},
        ExactCase{"ReportMsg", "POST", "/api/business/app/reportMsg", kReport},
        ExactCase{"OptionAudio", "POST", "/api/business/desktop/optionAudio",
                  "conferenceId=R1&participantId=-1&audioStatus=1&deviceKey=DSK_u9"},
        ExactCase{"UpdateVersion", "POST", "/api/business/app/updateVersion",
                  "appkey=3f1c9a7e52b04d6c8e2a1f0b7d9c4e65&clientversion=20190128&uniqueno=u9"},
        ExactCase{"ConferenceInfo", "POST", "/api/business/app/reportConferenceInfo",
                  "deviceKey=DSK_u9&str=[{\"from\":1,\"size\":\"70\",\"type\":3}]\n&temp="},
        ExactCase{"LogsInfo", "POST", "/api/business/app/reportLogsInfo",
                  "deviceKey=DSK_u9&logs=" + kLogs + "&temp="},
        ExactCase{"Destroy", "POST", "/api/business/app/destroy", "deviceKey=DSK_u9"},
        ExactCase{"Ping", "POST", "/api/business/desktop/ping", ""},
        ExactCase{"StartLive", "POST", "/api/business/desktop/startConferenceLive",
                  "deviceKey=DSK_u9&type=1&temp="},
        ExactCase{"StopLive", "POST", "/api/business/desktop/stopConferenceLive",
                  "deviceKey=DSK_u9&liveId=5001&name=&type=1&temp="},
        ExactCase{"PushRegister", "GET", std::string("/api/register") + kPushQuery, ""},
        ExactCase{"GetData", "GET", "/api/getData?token=t1&userid=UDSK_u93123", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct DeviationCase {
    const char* name;
    const char* method;
    std::string target;
    std::string form;
    const char* expectedPart;  // text the deviation's "expected" must contain
    const char* gotPart;       // text its "got" must contain
};

class SimStrictDeviation : public SimStrict, public ::testing::WithParamInterface<DeviationCase> {};

TEST_P(SimStrictDeviation, IsRecordedWithPathExpectedAndGot) {
    const DeviationCase& c = GetParam();
    ASSERT_TRUE(terminalRequest(sim_->port(), c.method, c.target, c.form).ok);
    const Json::Value d = sim_->deviations();
    ASSERT_GE(d.size(), 1u);
    bool found = false;
    for (const auto& dev : d) {
        EXPECT_EQ(dev["path"].asString(), c.target.substr(0, c.target.find('?')));
        found = found || (dev["expected"].asString().find(c.expectedPart) != std::string::npos &&
                          dev["got"].asString().find(c.gotPart) != std::string::npos);
    }
    EXPECT_TRUE(found) << fenwixtest::simJsonText(d);
    EXPECT_NE(sim_->log().find("fenwix-sim strict:"), std::string::npos);
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimStrictDeviation,
    ::testing::Values(
        DeviationCase{"MisspelledName", "POST", "/api/business/app/register",
                      replaced(kRegister, "pushType=", "pushtype="), "pushType", "pushtype"},
        DeviationCase{"Misordered", "POST", "/api/business/desktop/optionAudio",
                      "participantId=-1&conferenceId=R1&audioStatus=1&deviceKey=DSK_u9",
                      "conferenceId&participantId", "participantId&conferenceId"},
        DeviationCase{"MissingFixedTail", "POST", "/api/business/app/reportMsg",
                      replaced(kReport, "&slavePushAddr=&slaveIsOpen=1", ""), "slaveIsOpen",
                      "masterIsOpen"},
        DeviationCase{"BooleanAsNumber", "POST", "/api/business/app/register",
                      replaced(kRegister, "isfirst=true", "isfirst=1"), "isfirst=true|false",
                      "isfirst=1"},
        DeviationCase{"TimeStampBeyond32Bits", "POST", "/api/business/app/reportMsg",
                      replaced(kReport, "4294967295", "4294967296"), "localTimeStamp",
                      "4294967296"},
        DeviationCase{"DeviceKeyNotFromUniqueNo", "POST", "/api/business/app/register",
                      replaced(kRegister, "devicekey=DSK_u9", "devicekey=DSK_other"),
                      "devicekey=DSK_u9", "DSK_other"},
        DeviationCase{"EventNotCompact", "POST", "/api/business/app/reportConferenceInfo",
                      "deviceKey=DSK_u9&str=[{\"type\": 3}]\n&temp=", "event", "compact"},
        DeviationCase{"EventWithoutLineFeed", "POST", "/api/business/app/reportConferenceInfo",
                      "deviceKey=DSK_u9&str=[{\"type\":3}]&temp=", "event", "line feed"},
        DeviationCase{"StatisticsWithBooleanGuest", "POST", "/api/business/app/reportLogsInfo",
                      "deviceKey=DSK_u9&logs=" +
                          replaced(kLogs, "\"isGuest\":0", "\"isGuest\":false") + "&temp=",
                      "statistics", "not an integer"},
        DeviationCase{"NameNotEmpty", "POST", "/api/business/desktop/stopConferenceLive",
                      "deviceKey=DSK_u9&liveId=1&name=x&type=1&temp=", "name=", "name=x"},
        DeviationCase{"WrongMethod", "GET", "/api/business/desktop/enterRoom?deviceKey=DSK_u9", "",
                      "method POST", "method GET"},
        DeviationCase{
            "PushSecretWrong", "GET",
            replaced(std::string("/api/register") + kPushQuery, "appsecret=C5d8", "appsecret=X5d8"),
            "", "appsecret=C5d8", "appsecret=X5d8"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimStrict, PostWithoutTheZeroByteIsADeviation) {
    const std::string body = "deviceKey=DSK_u9";
    const std::string request =
        "POST /api/business/app/destroy HTTP/1.1\r\nHost: h\r\nContent-Type: "
        "application/x-www-form-urlencoded\r\nContent-Length: " +
        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    ASSERT_TRUE(rawExchange(sim_->port(), request).ok);
    const Json::Value d = sim_->deviations();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_NE(d[0]["expected"].asString().find("zero byte"), std::string::npos);
}

TEST_F(SimStrict, OtherHttpVersionIsADeviation) {
    const std::string body = "deviceKey=DSK_u9" + std::string(1, '\0');
    const std::string request =
        "POST /api/business/app/destroy HTTP/1.0\r\nHost: h\r\nContent-Type: "
        "application/x-www-form-urlencoded\r\nContent-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body;
    ASSERT_TRUE(rawExchange(sim_->port(), request).ok);
    const Json::Value d = sim_->deviations();
    ASSERT_EQ(d.size(), 1u) << fenwixtest::simJsonText(d);
    EXPECT_EQ(d[0]["expected"].asString(), "HTTP/1.1");
    EXPECT_EQ(d[0]["got"].asString(), "HTTP/1.0");
}

TEST_F(SimStrict, UnknownApiPathIsADeviationButDownloadPathsAreNot) {
    ASSERT_TRUE(terminalRequest(sim_->port(), "POST", "/api/business/app/registr", "a=1").ok);
    ASSERT_TRUE(terminalRequest(sim_->port(), "GET", "/files/logo.png", "").ok);
    const Json::Value d = sim_->deviations();
    ASSERT_EQ(d.size(), 1u) << fenwixtest::simJsonText(d);
    EXPECT_EQ(d[0]["path"].asString(), "/api/business/app/registr");
}

TEST_F(SimStrict, GetWithoutBodyOrFormTypeIsADeviation) {
    const std::string request = std::string("GET /api/register") + kPushQuery +
                                " HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n";
    ASSERT_TRUE(rawExchange(sim_->port(), request).ok);
    const std::string all = fenwixtest::simJsonText(sim_->deviations());
    EXPECT_NE(all.find("Content-Length: 1"), std::string::npos) << all;
    EXPECT_NE(all.find("Content-Type: application/x-www-form-urlencoded"), std::string::npos);
}

TEST_F(SimStrict, CanBeSwitchedOffAndDeviationsCleared) {
    ASSERT_TRUE(
        terminalRequest(sim_->port(), "POST", "/api/business/app/destroy", "devicekey=x").ok);
    EXPECT_EQ(sim_->deviations().size(), 1u);
    sim_->admin("DELETE", "/admin/strict");
    sim_->admin("POST", "/admin/strict", fenwixtest::simParseJson(R"({"enabled":false})"));
    ASSERT_TRUE(
        terminalRequest(sim_->port(), "POST", "/api/business/app/destroy", "devicekey=x").ok);
    EXPECT_EQ(sim_->deviations().size(), 0u);
    sim_->admin("POST", "/admin/strict", fenwixtest::simParseJson(R"({"enabled":true})"));
}

}  // namespace
