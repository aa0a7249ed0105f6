// The backend client's reply handling without a backend: settings from a registration reply,
// the update offer, the report reply's conference-logs switch, the choice of devices by name
// fragments, the event texts and the routing of request outcomes to the sink.
#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "service/fenwixstudentserver.h"
#include "service/fenwixstudentsink.h"
#include "service/heartbeat.h"
#include "service/terminalui.h"
#include "support/backendfixture.h"
#include "support/logcapture.h"

namespace {

using fenwixtest::BackendConfig;
using fenwixtest::EventRecorder;

Json::Value parse(const std::string& text) {
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(text);
    if (!Json::parseFromStream(builder, in, &value, &errors)) {
        ADD_FAILURE() << "not JSON: " << text;
    }
    return value;
}

class FakeUi : public TerminalUi {
public:
    void showDeviceTip() override { ++tips; }
    void closeTipWindows() override {}
    std::uintptr_t mainWindowHandle() const override { return 0; }
    int tips = 0;
};

// The backend client with the conference session answered by the test.
class TestServer : public FenwixStudentServer {
public:
    std::vector<std::string> microphones;
    std::vector<std::string> speakers;
    std::vector<std::string> selectedMicrophones;
    std::vector<std::string> selectedSpeakers;
    std::vector<std::string> raisedSpeakers;

    bool EnsureSpeakerVolume(const std::string& name) override {
        raisedSpeakers.push_back(name);
        return true;
    }

protected:
    std::string queryEndpointId() override { return "endpoint-1"; }
    std::vector<std::string> queryMicrophoneNames() override { return microphones; }
    std::vector<std::string> querySpeakerNames() override { return speakers; }
    void selectMicrophoneByName(const std::string& name) override {
        selectedMicrophones.push_back(name);
    }
    void selectSpeakerByName(const std::string& name) override { selectedSpeakers.push_back(name); }
};

class BackendClientUnit : public ::testing::Test {
protected:
    BackendConfig env;
    EventRecorder recorder;
    LogCapture log;
    TestServer server;

    CComConfig& config() { return env.config(); }

    // onRegisterReply runs on the UI thread in the terminal; so it does here.
    void registerReply(const std::string& payloadText) {
        const Json::Value payload = parse(payloadText);
        recorder.window().runOnUi([&] { server.onRegisterReply(payload); });
    }
};

// ---- Registration reply ----

TEST_F(BackendClientUnit, ReplyWithoutSettingKeepsLocalSettingsAndStillSignalsRegistered) {
    config().setVideoMode(2);
    config().setCheckAudioOut(true);
    registerReply(R"({"applicationId":"A-17","logoUrl":"","uniqueno":""})");
    EXPECT_EQ(config().getApplicationId(), "A-17");
    EXPECT_EQ(config().getVideoMode(), 2);
    EXPECT_TRUE(config().getCheckAudioOut());
    const auto notices = recorder.notices(NOTICE_REGISTERED);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].lParam, 1) << "no logo address: the controller reloads the logo itself";
    EXPECT_TRUE(log.contains("读取配置文件后 ，设置信息: video = 2 videoMute=0"));
    EXPECT_TRUE(log.contains("读取服务器配置后 ，设置信息: video = 2"));
}

struct SettingCase {
    const char* name;
    const char* setting;  // the "setting" object of the reply
    std::function<void(CComConfig&)> before;
    std::function<void(const CComConfig&)> check;
};

class SettingKeys : public BackendClientUnit, public ::testing::WithParamInterface<SettingCase> {};

TEST_P(SettingKeys, AreAppliedByTheirRules) {
    const SettingCase& c = GetParam();
    config().setVideoMode(2);
    config().setAudioInMode(2);
    config().setAudioOutMode(2);
    config().setCheckAudioIn(true);
    config().setCheckAudioOut(true);
    config().setAudioInNames({"local-in"});
    config().setAudioOutNames({"local-out"});
    config().setMaxMicVolume(1310);
    config().setDefMicVolume(655);
    if (c.before) {
        c.before(config());
    }
    registerReply(std::string(R"({"applicationId":"X","setting":)") + c.setting + "}");
    c.check(config());
    EXPECT_EQ(recorder.notices(NOTICE_REGISTERED).size(), 1u) << "the reply is always completed";
}

const SettingCase kSettingCases[] = {
    {"ModesSetFromNumbers", R"({"video":1,"audioin":0,"audioout":3})", nullptr,
     [](const CComConfig& c) {
         EXPECT_EQ(c.getVideoMode(), 1);
         EXPECT_EQ(c.getAudioInMode(), 0);
         EXPECT_EQ(c.getAudioOutMode(), 3);
     }},
    {"MinusOneKeepsAMode", R"({"video":-1,"audioin":-1,"audioout":-1})", nullptr,
     [](const CComConfig& c) {
         EXPECT_EQ(c.getVideoMode(), 2);
         EXPECT_EQ(c.getAudioInMode(), 2);
         EXPECT_EQ(c.getAudioOutMode(), 2);
     }},
    {"MissingModeCountsAsZero", R"({})", nullptr,
     [](const CComConfig& c) {
         EXPECT_EQ(c.getVideoMode(), 0);
         EXPECT_EQ(c.getAudioInMode(), 0);
         EXPECT_EQ(c.getAudioOutMode(), 0);
     }},
    {"NullModeCountsAsMissing", R"({"video":null})", nullptr,
     [](const CComConfig& c) { EXPECT_EQ(c.getVideoMode(), 0); }},
    {"ModeAsTextIsIgnored", R"({"video":"1","audioin":true,"audioout":1.5})", nullptr,
     [](const CComConfig& c) {
         EXPECT_EQ(c.getVideoMode(), 2);
         EXPECT_EQ(c.getAudioInMode(), 2);
         EXPECT_EQ(c.getAudioOutMode(), 2);
     }},
    {"MissingDriverChecksSwitchTheChoiceOff", R"({})", nullptr,
     [](const CComConfig& c) {
         EXPECT_FALSE(c.getCheckAudioIn());
         EXPECT_FALSE(c.getCheckAudioOut());
         EXPECT_TRUE(c.getAudioInNames().empty());
         EXPECT_TRUE(c.getAudioOutNames().empty());
     }},
    {"DriverChecksAndNamesTakenInOrder",
     R"({"checkaudioindriver":true,"checkaudiooutdriver":true,
         "checkaudioindrivernames":["usb","麦克风"],"checkaudiooutdrivernames":["hdmi","","spk"]})",
     [](CComConfig& c) {
         c.setCheckAudioIn(false);
         c.setCheckAudioOut(false);
     },
     [](const CComConfig& c) {
         EXPECT_TRUE(c.getCheckAudioIn());
         EXPECT_TRUE(c.getCheckAudioOut());
         EXPECT_EQ(c.getAudioInNames(), (std::vector<std::string>{"usb", "麦克风"}));
         EXPECT_EQ(c.getAudioOutNames(), (std::vector<std::string>{"hdmi", "", "spk"}));
     }},
    {"DriverCheckAsNumberIsIgnored", R"({"checkaudiooutdriver":1})", nullptr,
     [](const CComConfig& c) { EXPECT_TRUE(c.getCheckAudioOut()); }},
    {"NameListNotAnArrayIsIgnored", R"({"checkaudioindrivernames":"usb"})", nullptr,
     [](const CComConfig& c) {
         EXPECT_EQ(c.getAudioInNames(), (std::vector<std::string>{"local-in"}));
     }},
    {"NonTextNamesAreLeftOut", R"({"checkaudiooutdrivernames":["a",3,null,"b"]})", nullptr,
     [](const CComConfig& c) {
         EXPECT_EQ(c.getAudioOutNames(), (std::vector<std::string>{"a", "b"}));
     }},
    {"PreviewOpenSet", R"({"previewopen":true})", nullptr,
     [](const CComConfig& c) { EXPECT_TRUE(c.getPreviewOpen()); }},
    {"MicVolumesSetTogether", R"({"maxmicvolume":2000,"defmicvolume":900})", nullptr,
     [](const CComConfig& c) {
         EXPECT_EQ(c.getMaxMicVolume(), 2000);
         EXPECT_EQ(c.getDefMicVolume(), 900);
     }},
    {"MissingDefaultMicVolumeCountsAsZero", R"({"maxmicvolume":2000})", nullptr,
     [](const CComConfig& c) {
         EXPECT_EQ(c.getMaxMicVolume(), 2000);
         EXPECT_EQ(c.getDefMicVolume(), 0);
     }},
    {"DefaultMicVolumeAloneChangesNothing", R"({"defmicvolume":900})", nullptr,
     [](const CComConfig& c) {
         EXPECT_EQ(c.getMaxMicVolume(), 1310);
         EXPECT_EQ(c.getDefMicVolume(), 655);
     }},
    {"MaxMicVolumeAsTextIsIgnored", R"({"maxmicvolume":"2000","defmicvolume":900})", nullptr,
     [](const CComConfig& c) {
         EXPECT_EQ(c.getMaxMicVolume(), 1310);
         EXPECT_EQ(c.getDefMicVolume(), 655);
     }},
    {"IsPullCanSwitchThePushOff", R"({"ispull":0})", [](CComConfig& c) { c.setIsPull(true); },
     [](const CComConfig& c) { EXPECT_FALSE(c.getIsPull()); }},
    {"IsPullNeverSwitchesThePushOn", R"({"ispull":1})", [](CComConfig& c) { c.setIsPull(false); },
     [](const CComConfig& c) { EXPECT_FALSE(c.getIsPull()); }},
    {"IsPullMissingKeepsThePush", R"({})", [](CComConfig& c) { c.setIsPull(true); },
     [](const CComConfig& c) { EXPECT_TRUE(c.getIsPull()); }},
    {"IsPullAsBooleanIsIgnored", R"({"ispull":false})", [](CComConfig& c) { c.setIsPull(true); },
     [](const CComConfig& c) { EXPECT_TRUE(c.getIsPull()); }},
    {"SettingNullIsAbsent", R"(null)", nullptr,
     [](const CComConfig& c) {
         EXPECT_EQ(c.getVideoMode(), 2);
         EXPECT_TRUE(c.getCheckAudioOut());
     }},
    {"SettingNotAnObjectIsAbsent", R"([1,2])", nullptr,
     [](const CComConfig& c) {
         EXPECT_EQ(c.getVideoMode(), 2);
         EXPECT_TRUE(c.getCheckAudioOut());
     }},
};

INSTANTIATE_TEST_SUITE_P(Registration, SettingKeys, ::testing::ValuesIn(kSettingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BackendClientUnit, SettingLogLinesCarryTheAppliedValues) {
    config().setIsPull(true);
    registerReply(R"({"setting":{"video":1,"audioin":1,"audioout":0,"checkaudiooutdriver":true,
        "checkaudiooutdrivernames":["a","b"],"maxmicvolume":1000,"defmicvolume":500,"ispull":0,
        "previewopen":true}})");
    EXPECT_TRUE(log.contains("本地设置 ，MicMaxVolume = 1310 MicDefVolume=655"));
    EXPECT_TRUE(log.contains("读取服务器配置后 ，MicMaxVolumn = 1000 MicDefVolumn=500"));
    EXPECT_TRUE(log.contains("网络指令本机是否推流=0"));
    EXPECT_TRUE(log.contains(
        "读取服务器配置后 ，设置信息: video = 1 videoMute=0   audioIn=1 audioInMute=0   "
        "audioOut=0 audioOutMute=0   checkaudioindriver=0   checkaudiooutdriver=1   "
        "checkaudioindrivernames=0   checkaudiooutdrivernames=2   previewopen=1"));
}

TEST_F(BackendClientUnit, AdoptedUniqueNumberRenewsTheKeysAndIsStoredForTheNextStart) {
    ASSERT_TRUE(config().getIsFirst());
    registerReply(R"({"applicationId":"A","uniqueno":"SRV-42"})");
    EXPECT_EQ(config().getUniqueNo(), "SRV-42");
    EXPECT_EQ(config().getDeviceKey(), "DSK_SRV-42");
    EXPECT_EQ(config().getPushKey().rfind("UDSK_SRV-42", 0), 0u);

    CComConfig& next = env.reload();
    EXPECT_EQ(next.getUniqueNo(), "SRV-42");
    EXPECT_FALSE(next.getIsFirst());
    EXPECT_EQ(next.getDeviceKeySource(), CComConfig::kFromRegistry);
}

TEST_F(BackendClientUnit, EmptyUniqueNumberKeepsAndStoresTheCurrentOne) {
    const std::string before = config().getUniqueNo();
    registerReply(R"({"applicationId":"A","uniqueno":""})");
    EXPECT_EQ(config().getUniqueNo(), before);
    EXPECT_EQ(env.reload().getUniqueNo(), before);
}

TEST_F(BackendClientUnit, PayloadOfWrongShapeStillCompletesTheRegistration) {
    for (const char* payload :
         {"null", "[]", "\"text\"", "7", R"({"applicationId":5,"logoUrl":[],"uniqueno":{}})"}) {
        recorder.clear();
        registerReply(payload);
        EXPECT_EQ(config().getApplicationId(), "") << payload;
        const auto notices = recorder.notices(NOTICE_REGISTERED);
        ASSERT_EQ(notices.size(), 1u) << payload;
        EXPECT_EQ(notices[0].lParam, 1) << payload;
    }
}

// ---- Update reply ----

struct UpdateCase {
    const char* payload;
    bool offered;
};

class UpdateReplies : public BackendClientUnit, public ::testing::WithParamInterface<UpdateCase> {};

TEST_P(UpdateReplies, OfferTheInstallerOnlyWhenAnUpdateWithAnAddressIsAnnounced) {
    server.onUpdateReply(parse(GetParam().payload));
    const auto offers = recorder.notices(NOTICE_UPDATE_OFFERED);
    if (GetParam().offered) {
        ASSERT_EQ(offers.size(), 1u);
        EXPECT_EQ(offers[0].text, "http://h/setup.bin");
    } else {
        EXPECT_TRUE(offers.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Update, UpdateReplies,
    ::testing::Values(UpdateCase{R"({"isupdate":true,"installUrl":"http://h/setup.bin"})", true},
                      UpdateCase{R"({"isupdate":false,"installUrl":"http://h/setup.bin"})", false},
                      UpdateCase{R"({"installUrl":"http://h/setup.bin"})", false},
                      UpdateCase{R"({"isupdate":null})", false},
                      UpdateCase{R"({"isupdate":"true","installUrl":"http://h/setup.bin"})", false},
                      UpdateCase{R"({"isupdate":1,"installUrl":"http://h/setup.bin"})", false},
                      UpdateCase{R"({"isupdate":true,"installUrl":""})", false},
                      UpdateCase{R"({"isupdate":true,"installUrl":7})", false},
                      UpdateCase{R"({"isupdate":true})", false}, UpdateCase{R"(null)", false},
                      UpdateCase{R"([true])", false}));

// ---- Report reply ----

struct ReportCase {
    const char* name;
    int appStatus;
    bool enabledBefore;
    const char* payload;
    bool enabledAfter;
    bool noticeSent;
};

class ReportReplies : public BackendClientUnit, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(ReportReplies, SwitchTheConferenceStateReport) {
    const ReportCase& c = GetParam();
    config().setAppStatus(c.appStatus);
    config().setConfLogsEnabled(c.enabledBefore);
    server.onReportReply(parse(c.payload));
    EXPECT_EQ(config().getConfLogsEnabled(), c.enabledAfter);
    EXPECT_EQ(recorder.notices(NOTICE_CONF_LOGS_ON).size(), c.noticeSent ? 1u : 0u);
}

const ReportCase kReportCases[] = {
    {"OnInClass", 3, false, R"({"conferenceLogs":true})", true, true},
    {"NotOnWhileIdle", 1, false, R"({"conferenceLogs":true})", false, false},
    {"NotOnWhileEntering", 2, false, R"({"conferenceLogs":true})", false, false},
    {"AlreadyOnSendsNoSecondNotice", 3, true, R"({"conferenceLogs":true})", true, false},
    {"OffInClass", 3, true, R"({"conferenceLogs":false})", false, false},
    {"OffWhileIdle", 1, true, R"({"conferenceLogs":false})", false, false},
    {"MissingChangesNothing", 3, true, R"({})", true, false},
    {"NullChangesNothing", 3, false, R"({"conferenceLogs":null})", false, false},
    {"TextChangesNothing", 3, false, R"({"conferenceLogs":"true"})", false, false},
    {"NumberChangesNothing", 3, true, R"({"conferenceLogs":0})", true, false},
    {"PayloadNotAnObject", 3, true, R"([false])", true, false},
};

INSTANTIATE_TEST_SUITE_P(Reports, ReportReplies, ::testing::ValuesIn(kReportCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BackendClientUnit, ReportReplyLogsTheValueAndStatus) {
    config().setAppStatus(3);
    server.onReportReply(parse(R"({"conferenceLogs":true})"));
    EXPECT_TRUE(log.contains("会议状态日志上报:1 AppStatus = 3"));
    EXPECT_TRUE(log.contains("开始会议状态日志上报"));
}

// ---- Event texts ----

TEST(EventText, IsAOneElementArrayWithSortedKeysAndALineFeed) {
    Json::Value event;
    event["type"] = 5;
    event["videoStatus"] = "fixScreened";
    event["appStatus"] = 0;
    event["from"] = 0;
    EXPECT_EQ(FenwixStudentServer::eventText(event),
              "[{\"appStatus\":0,\"from\":0,\"type\":5,\"videoStatus\":\"fixScreened\"}]\n");
}

TEST(EventText, KeepsUtf8AsIs) {
    Json::Value event;
    event["size"] = "张老师";
    EXPECT_EQ(FenwixStudentServer::eventText(event), "[{\"size\":\"张老师\"}]\n");
}

// ---- Choice of devices by name fragments ----

struct DriverCase {
    const char* name;
    std::vector<std::string> inNames;
    std::vector<std::string> outNames;
    std::vector<std::string> selectedMics;
    std::vector<std::string> selectedSpeakers;
    bool tip;
};

class DriverNames : public BackendClientUnit, public ::testing::WithParamInterface<DriverCase> {};

TEST_P(DriverNames, SelectEveryMatchAndAskForDevicesWhenOneKindFound) {
    const DriverCase& c = GetParam();
    FakeUi ui;
    server.setTerminalUi(&ui);
    server.microphones = {"Same as system", "USB Audio MIC", "Built-in Microphone"};
    server.speakers = {"Same as system", "HDMI Output", "Speakers (USB Audio)"};
    config().setAudioInNames(c.inNames);
    config().setAudioOutNames(c.outNames);
    server.applyDriverNames();
    EXPECT_EQ(server.selectedMicrophones, c.selectedMics);
    EXPECT_EQ(server.selectedSpeakers, c.selectedSpeakers);
    EXPECT_EQ(server.raisedSpeakers, c.selectedSpeakers) << "every selected speaker is made loud";
    EXPECT_EQ(ui.tips, c.tip ? 1 : 0);
}

const DriverCase kDriverCases[] = {
    {"CaseIgnoredFullNameSelected",
     {"mic"},
     {"hdmi"},
     {"USB Audio MIC", "Built-in Microphone"},
     {"HDMI Output"},
     false},
    {"EmptyFragmentMatchesEverythingLastWins",
     {""},
     {""},
     {"Same as system", "USB Audio MIC", "Built-in Microphone"},
     {"Same as system", "HDMI Output", "Speakers (USB Audio)"},
     false},
    {"FragmentsInListOrder",
     {"built", "usb"},
     {"usb"},
     {"Built-in Microphone", "USB Audio MIC"},
     {"Speakers (USB Audio)"},
     false},
    {"NoSpeakerMatchShowsTheTip", {"usb"}, {"bluetooth"}, {"USB Audio MIC"}, {}, true},
    {"NoMicrophoneMatchShowsTheTip", {"webcam"}, {"hdmi"}, {}, {"HDMI Output"}, true},
    {"EmptyListsShowTheTip", {}, {}, {}, {}, true},
};

INSTANTIATE_TEST_SUITE_P(Devices, DriverNames, ::testing::ValuesIn(kDriverCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Outcomes to the sink ----

class RecordingSink : public FenwixStudentSink {
public:
    void httpFail(int type) override { calls.push_back("fail " + std::to_string(type)); }
    void httpBack(const std::string& reply, int type) override {
        calls.push_back("back " + std::to_string(type) + " " + reply);
    }
    void sysRegisterBack(const std::string&) override { calls.push_back("sys"); }
    void downloadBack(int type) override { calls.push_back("download " + std::to_string(type)); }
    std::vector<std::string> calls;
};

TEST(RequestOutcomes, ReachTheSinkByKind) {
    LogCapture log;
    RecordingSink sink;
    FenwixStudentServer::setSink(&sink);
    FenwixStudentServer::onRequestDone(true, "{\"success\":true}", 4);
    FenwixStudentServer::onRequestDone(false, "", 1);
    FenwixStudentServer::onDownloadDone(true, 15);
    FenwixStudentServer::onDownloadDone(false, 15);
    FenwixStudentServer::setSink(nullptr);
    FenwixStudentServer::onRequestDone(true, "later", 9);  // no sink: dropped
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"back 4 {\"success\":true}", "fail 1",
                                                    "download 15", "fail 15"}));
    EXPECT_EQ(log.count("DownLoading failed"), 1u);
}

// ---- Heartbeat reply ----

struct AliveCase {
    bool ok;
    const char* reply;
    bool alive;
};

class HeartbeatReplies : public ::testing::TestWithParam<AliveCase> {};

TEST_P(HeartbeatReplies, CountAsAliveOnlyForSuccessTrue) {
    EXPECT_EQ(CHeartbeat::isAlive(GetParam().ok, GetParam().reply), GetParam().alive)
        << GetParam().reply;
}

INSTANTIATE_TEST_SUITE_P(
    Heartbeat, HeartbeatReplies,
    ::testing::Values(AliveCase{true, R"({"success":true,"payload":null})", true},
                      AliveCase{true, R"({"success":false,"message":"x"})", false},
                      AliveCase{false, R"({"success":true})", false},
                      AliveCase{true, R"({"payload":{}})", false},
                      AliveCase{true, R"({"success":null})", false},
                      AliveCase{true, R"({"success":"true"})", false},
                      AliveCase{true, R"({"success":1})", false},
                      AliveCase{true, "<html>ok</html>", false}, AliveCase{true, "", false},
                      AliveCase{true, "[true]", false}));

}  // namespace
