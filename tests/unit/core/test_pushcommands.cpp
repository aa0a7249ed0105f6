// The backend's push commands carried out by the backend client on the UI thread: log-in with its
// notices, record and configuration changes, refusal while a log-in runs, volume commands with
// their report, log-out, update check, unknown commands. The conference session is a recorder.
#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "service/mainwindowevents.h"
#include "service/terminalui.h"
#include "support/backendfixture.h"
#include "support/hookedstudentserver.h"
#include "support/logcapture.h"

namespace {

using fenwixtest::SeenEvent;

Json::Value json(const std::string& text) {
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(text);
    EXPECT_TRUE(Json::parseFromStream(builder, in, &value, &errors)) << text;
    return value;
}

class CountingTerminalUi : public TerminalUi {
public:
    void showDeviceTip() override {}
    void closeTipWindows() override { ++closed; }
    std::uintptr_t mainWindowHandle() const override { return 0; }
    std::atomic<int> closed{0};
};

class PushCommands : public ::testing::Test {
protected:
    PushCommands() : backend_("http://127.0.0.1:9") {
        server_.setTerminalUi(&ui_);
        config().setLoginIdle(true);
        config().setPushedLogin(false);
        config().setAppStatus(1);
    }

    CComConfig& config() { return backend_.config(); }

    void run(const std::string& messageText) {
        const Json::Value message = json(messageText);
        events_.window().runOnUi([&] { server_.onPushMessage(message); });
    }

    std::vector<unsigned> noticeCodes() const {
        std::vector<unsigned> codes;
        for (const SeenEvent& e : events_.events()) {
            if (e.msg == WM_NOTICE) {
                codes.push_back(static_cast<unsigned>(e.wParam));
            }
        }
        return codes;
    }

    // The dynamic-information reports the backend client logged, as their "str" texts.
    std::vector<std::string> reportedEvents() {
        std::vector<std::string> out;
        for (const std::string& line : log_.lines()) {
            const auto at = line.find("动态信息上报 uri: ");
            const auto str = line.find("&str=");
            if (at != std::string::npos && str != std::string::npos) {
                const auto end = line.find("&temp=", str);
                out.push_back(line.substr(str + 5, end - str - 5));
            }
        }
        return out;
    }

    LogCapture log_;
    fenwixtest::BackendConfig backend_;
    fenwixtest::EventRecorder events_;
    CountingTerminalUi ui_;
    fenwixtest::HookedStudentServer server_;
};

constexpr char kLogin[] = R"({"type":"vLogin","data":{"roomId":"R-17","portal":"vc.example.com",
    "username":"stu17","password":"pw","roomKey":"K17","displayName":"三年级一班",
    "gDisplayName":"一班","logintype":"4"}})";

TEST_F(PushCommands, LoginStopsTheUpdateBeginsTheAttemptAndQueuesTheRecord) {
    server_.micVolume = 900;
    server_.setChatSenderUri("teacher@old");
    config().setScreenFixed(true);

    run(kLogin);

    EXPECT_EQ(noticeCodes(), (std::vector<unsigned>{NOTICE_UPDATE_STOPPED, NOTICE_LOGIN_BEGINS,
                                                    NOTICE_ENTERING_CLASS}));
    EXPECT_EQ(ui_.closed.load(), 1);
    EXPECT_TRUE(config().getPushedLogin());
    EXPECT_EQ(config().getMicVolume(), 900);
    EXPECT_EQ(config().getPrevMicVolume(), 900);
    EXPECT_EQ(server_.chatSenderUri(), "");
    EXPECT_FALSE(config().getScreenFixed());
    EXPECT_TRUE(server_.screenFixNeeded());
    EXPECT_EQ(config().getRoomId(), "R-17");
    EXPECT_EQ(config().getPortal(), "http://vc.example.com");

    const auto users = server_.usersQueued();
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].portal, "http://vc.example.com");
    EXPECT_EQ(users[0].username, "stu17");
    EXPECT_EQ(users[0].password, "pw");
    EXPECT_EQ(users[0].roomKey, "K17");
    EXPECT_EQ(users[0].displayName, "三年级一班");
    EXPECT_EQ(users[0].gDisplayName, "一班");
    EXPECT_EQ(users[0].guest, 1);

    // The status report goes out with the screen already released.
    EXPECT_EQ(reportedEvents(),
              (std::vector<std::string>{
                  R"([{"appStatus":1,"from":0,"type":5,"videoStatus":"fixScreened"}])"
                  "\n"}));
    EXPECT_TRUE(log_.contains("zorbel 推送登录"));
    EXPECT_TRUE(log_.contains("ZORBEL GETDATA: {\"data\":{"));
}

TEST_F(PushCommands, LoginWhileALoginRunsChangesNothingButTheLog) {
    config().setLoginIdle(false);
    server_.setChatSenderUri("teacher@room");
    config().setScreenFixed(true);
    config().setMicVolume(5);

    run(kLogin);

    EXPECT_TRUE(log_.contains("正在登录，Zorbel登录不处理"));
    EXPECT_TRUE(noticeCodes().empty());
    EXPECT_TRUE(server_.usersQueued().empty());
    EXPECT_TRUE(reportedEvents().empty());
    EXPECT_FALSE(config().getPushedLogin());
    EXPECT_EQ(server_.chatSenderUri(), "teacher@room");
    EXPECT_TRUE(config().getScreenFixed());
    EXPECT_EQ(config().getMicVolume(), 5);
    EXPECT_EQ(config().getRoomId(), "");
    EXPECT_FALSE(server_.screenFixNeeded());
    EXPECT_FALSE(log_.contains("zorbel 推送登录"));
}

// How the log-in data becomes the user record.
struct LoginDataCase {
    const char* name;
    const char* data;
    const char* portal;
    int guest;
    const char* groupName;
};

class LoginData : public PushCommands, public ::testing::WithParamInterface<LoginDataCase> {};

TEST_P(LoginData, BecomesTheQueuedRecord) {
    const LoginDataCase& c = GetParam();
    run(std::string(R"({"type":"vLogin","data":)") + c.data + "}");
    const auto users = server_.usersQueued();
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].portal, c.portal);
    EXPECT_EQ(config().getPortal(), c.portal);
    EXPECT_EQ(users[0].guest, c.guest);
    EXPECT_EQ(users[0].gDisplayName, c.groupName);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, LoginData,
    ::testing::Values(
        LoginDataCase{"BareHost", R"({"portal":"h1","username":"u","logintype":"1"})", "http://h1",
                      0, "u"},
        LoginDataCase{"HttpKept", R"({"portal":"http://h2:8080","username":"u"})", "http://h2:8080",
                      0, "u"},
        LoginDataCase{"OtherSchemeGetsHttpToo", R"({"portal":"https://h3","username":"u"})",
                      "http://https://h3", 0, "u"},
        LoginDataCase{"HttpAnywhereCounts", R"({"portal":"x/http://h4","username":"u"})",
                      "x/http://h4", 0, "u"},
        LoginDataCase{"GuestTwo", R"({"portal":"h","username":"u","logintype":"2"})", "http://h", 1,
                      "u"},
        LoginDataCase{"GuestFourWithLeadingZero",
                      R"({"portal":"h","username":"u","logintype":"04"})", "http://h", 1, "u"},
        LoginDataCase{"GuestAsNumber", R"({"portal":"h","username":"u","logintype":4})", "http://h",
                      1, "u"},
        LoginDataCase{"UserThree", R"({"portal":"h","username":"u","logintype":"3"})", "http://h",
                      0, "u"},
        LoginDataCase{"NoLoginTypeIsUser", R"({"portal":"h","username":"u"})", "http://h", 0, "u"},
        LoginDataCase{"GroupNameNullFallsBack",
                      R"({"portal":"h","username":"u","gDisplayName":null})", "http://h", 0, "u"},
        LoginDataCase{"GroupNameKept", R"({"portal":"h","username":"u","gDisplayName":"G"})",
                      "http://h", 0, "G"},
        LoginDataCase{"NoDataAtAll", R"(null)", "http://", 0, ""}),
    [](const ::testing::TestParamInfo<LoginDataCase>& info) { return info.param.name; });

// Volume commands: what reaches the conference and the configuration, and the event reported.
struct VolumeCase {
    const char* name;
    const char* command;
    const char* volume;
    std::vector<int> micSet;
    std::vector<int> speakerSet;
    const char* reported;
};

class VolumeCommands : public PushCommands, public ::testing::WithParamInterface<VolumeCase> {};

TEST_P(VolumeCommands, SetTheVolumeAndReportIt) {
    const VolumeCase& c = GetParam();
    config().setMicVolume(-1);
    config().setSpeakerVolume(-1);
    Json::Value message;
    message["type"] = "desktopRoomCmd";
    message["data"]["fenwixcmd"] = c.command;
    message["data"]["volumn"] = c.volume;
    events_.window().runOnUi([&] { server_.onPushMessage(message); });

    EXPECT_EQ(server_.micVolumesSet(), c.micSet);
    EXPECT_EQ(server_.speakerVolumesSet(), c.speakerSet);
    EXPECT_EQ(config().getMicVolume(), c.micSet.empty() ? -1 : c.micSet[0]);
    EXPECT_EQ(config().getSpeakerVolume(), c.speakerSet.empty() ? -1 : c.speakerSet[0]);
    EXPECT_EQ(reportedEvents(), (std::vector<std::string>{std::string(c.reported) + "\n"}));
    EXPECT_TRUE(log_.contains("zorbel 控制命令"));
    EXPECT_EQ(ui_.closed.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, VolumeCommands,
    ::testing::Values(VolumeCase{"Microphone",
                                 "micVolumnChange",
                                 "70",
                                 {70},
                                 {},
                                 R"([{"from":1,"size":"70","type":3}])"},
                      VolumeCase{"Speaker",
                                 "speakerVolumnChange",
                                 "32768",
                                 {},
                                 {32768},
                                 R"([{"from":1,"size":"32768","type":4}])"},
                      VolumeCase{"UnknownCommandOnlyReports",
                                 "volumeUp",
                                 "50",
                                 {},
                                 {},
                                 R"([{"from":1,"size":"50","type":3}])"},
                      VolumeCase{"DigitsThenText",
                                 "micVolumnChange",
                                 "12abc",
                                 {12},
                                 {},
                                 R"([{"from":1,"size":"12abc","type":3}])"},
                      VolumeCase{"NoDigitsIsZero",
                                 "speakerVolumnChange",
                                 "loud",
                                 {},
                                 {0},
                                 R"([{"from":1,"size":"loud","type":4}])"},
                      VolumeCase{"NegativeHeldAtZero",
                                 "micVolumnChange",
                                 "-5",
                                 {0},
                                 {},
                                 R"([{"from":1,"size":"-5","type":3}])"},
                      VolumeCase{"HugeHeldAtTheTop",
                                 "speakerVolumnChange",
                                 "99999999999",
                                 {},
                                 {65535},
                                 R"([{"from":1,"size":"99999999999","type":4}])"}),
    [](const ::testing::TestParamInfo<VolumeCase>& info) { return info.param.name; });

TEST_F(PushCommands, LogoutLeavesTheConference) {
    run(R"({"type":"vLogout"})");
    EXPECT_EQ(server_.leaves(), 1);
    EXPECT_TRUE(log_.contains("zorbel 退出登录"));
    EXPECT_TRUE(noticeCodes().empty());
}

TEST_F(PushCommands, UpdateIsCheckedOnlyWhileIdle) {
    run(R"({"type":"vUpdate"})");
    EXPECT_EQ(log_.count("更新检测 uri: "), 1u);

    config().setAppStatus(3);
    run(R"({"type":"vUpdate"})");
    EXPECT_EQ(log_.count("更新检测 uri: "), 1u);
    EXPECT_EQ(ui_.closed.load(), 2);  // every command closes the tip windows first
}

TEST_F(PushCommands, UnknownOrMissingTypesAreLoggedAsInvalid) {
    run(R"({"type":"vReboot"})");
    run(R"({"data":{}})");
    run(R"([1,2])");
    EXPECT_EQ(log_.count("zorbel 无效命令"), 3u);
    EXPECT_EQ(server_.leaves(), 0);
    EXPECT_TRUE(server_.usersQueued().empty());
    EXPECT_TRUE(noticeCodes().empty());
}

}  // namespace
