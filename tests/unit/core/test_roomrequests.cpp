// Room requests and the teacher's commands in the backend client: the plan room request and its
// reply, curtain commands in chat messages, fixing the screen on the chat sender, the fixed
// source leaving, the microphone volume on joining and the server microphone option. The
// conference session is a recorder; the main window records its events.
#include <gtest/gtest.h>
#include <json/json.h>

#include <sstream>
#include <string>
#include <vector>

#include "service/mainwindowevents.h"
#include "support/backendfixture.h"
#include "support/hookedstudentserver.h"
#include "support/logcapture.h"

namespace {

using fenwixtest::SeenEvent;

constexpr char kService[] = "http://127.0.0.1:9";

Json::Value json(const std::string& text) {
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(text);
    EXPECT_TRUE(Json::parseFromStream(builder, in, &value, &errors)) << text;
    return value;
}

std::string chatEnvelope(const std::string& uri, const std::string& msg) {
    Json::Value envelope;
    envelope["uri"] = uri;
    envelope["msg"] = msg;
    envelope["displayName"] = "张老师";
    envelope["type"] = 1;
    return Json::writeString(Json::StreamWriterBuilder(), envelope);
}

class RoomRequests : public ::testing::Test {
protected:
    RoomRequests() : backend_(kService) {}

    CComConfig& config() { return backend_.config(); }

    void onUi(const std::function<void()>& fn) { events_.window().runOnUi(fn); }

    std::vector<SeenEvent> eventsOf(unsigned msg) const {
        std::vector<SeenEvent> out;
        for (const SeenEvent& e : events_.events()) {
            if (e.msg == msg) {
                out.push_back(e);
            }
        }
        return out;
    }

    std::size_t statusReports() { return log_.count("动态信息上报 uri: "); }

    LogCapture log_;
    fenwixtest::BackendConfig backend_;
    fenwixtest::EventRecorder events_;
    fenwixtest::HookedStudentServer server_;
};

TEST_F(RoomRequests, PlanRoomRequestIsLoggedAndSentWithTheDeviceKey) {
    server_.requestPlanRoom();
    const std::string expected =
        std::string("请求计划会议室 uri: ") + kService +
        "/api/business/desktop/enterRoom   data: deviceKey=" + config().getDeviceKey() + "  type:3";
    EXPECT_TRUE(log_.contains(expected)) << expected;
}

TEST_F(RoomRequests, UnavailableRoomShowsTheBackendsTextAndQueuesNothing) {
    // Called on an HTTP worker thread: the text must stay valid while the UI thread shows it.
    server_.onPlanRoomReply(json(R"({"valid":false,"data":{"errorstring":"本时段没有课程"}})"));
    const auto notices = events_.notices(NOTICE_ROOM_UNAVAILABLE);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, "本时段没有课程");
    EXPECT_TRUE(events_.notices(NOTICE_LOGIN_BEGINS).empty());
    EXPECT_TRUE(server_.usersQueued().empty());
}

TEST_F(RoomRequests, AvailableRoomBeginsTheLoginAndQueuesTheRecord) {
    server_.onPlanRoomReply(json(R"({"valid":true,"data":{"roomId":"R9","portal":"portal.x",
        "username":"c9","password":"p9","roomKey":"k9","displayName":"九班",
        "gDisplayName":null,"logintype":2}})"));
    EXPECT_EQ(events_.notices(NOTICE_LOGIN_BEGINS).size(), 1u);
    EXPECT_EQ(config().getRoomId(), "R9");
    EXPECT_EQ(config().getPortal(), "http://portal.x");
    const auto users = server_.usersQueued();
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].portal, "http://portal.x");
    EXPECT_EQ(users[0].username, "c9");
    EXPECT_EQ(users[0].password, "p9");
    EXPECT_EQ(users[0].roomKey, "k9");
    EXPECT_EQ(users[0].displayName, "九班");
    EXPECT_EQ(users[0].gDisplayName, "c9");
    EXPECT_EQ(users[0].guest, 1);
}

TEST_F(RoomRequests, PlanRoomReplyWithoutValidCountsAsUnavailable) {
    server_.onPlanRoomReply(json(R"({"data":{"errorstring":"x"}})"));
    server_.onPlanRoomReply(json(R"("not an object")"));
    const auto notices = events_.notices(NOTICE_ROOM_UNAVAILABLE);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0].text, "x");
    EXPECT_EQ(notices[1].text, "");
    EXPECT_TRUE(server_.usersQueued().empty());
}

// Curtain commands: the change sent to the controller, the status report, the recorded sender.
struct ChatCase {
    const char* name;
    const char* msg;
    bool screenFixed;
    int curtain;  // -1: no curtain notice
    bool reported;
};

class ChatCommands : public RoomRequests, public ::testing::WithParamInterface<ChatCase> {};

TEST_P(ChatCommands, ChangeTheCurtainOnlyWhenItDiffers) {
    const ChatCase& c = GetParam();
    config().setScreenFixed(c.screenFixed);
    onUi([&] { server_.onChatMessage(chatEnvelope("teacher@conf", c.msg)); });

    EXPECT_EQ(server_.chatSenderUri(), "teacher@conf");
    const auto curtain = events_.notices(NOTICE_CURTAIN);
    if (c.curtain < 0) {
        EXPECT_TRUE(curtain.empty());
    } else {
        ASSERT_EQ(curtain.size(), 1u);
        EXPECT_EQ(curtain[0].lParam, c.curtain);
        EXPECT_TRUE(log_.contains("发送幕布变化msg"));
    }
    EXPECT_EQ(statusReports(), c.reported ? 1u : 0u);
    EXPECT_TRUE(log_.contains("当前幕布状态="));
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ChatCommands,
    ::testing::Values(ChatCase{"DownWhileUp", R"({"status":1})", false, 1, true},
                      ChatCase{"DownWhileDown", R"({"status":1})", true, -1, true},
                      ChatCase{"UpWhileDown", R"({"status":0})", true, 0, true},
                      ChatCase{"UpWhileUp", R"({"status":0})", false, -1, true},
                      ChatCase{"OtherStatus", R"({"status":2})", true, -1, false},
                      ChatCase{"StatusAsText", R"({"status":"0"})", true, -1, false},
                      // Ordinary chat is no command: it must not lift a lowered curtain.
                      ChatCase{"PlainText", "大家好", true, -1, false},
                      ChatCase{"JsonWithoutStatus", R"({"hello":1})", true, -1, false}),
    [](const ::testing::TestParamInfo<ChatCase>& info) { return info.param.name; });

TEST_F(RoomRequests, UnparsableEnvelopeChangesNothing) {
    server_.setChatSenderUri("teacher@before");
    onUi([&] { server_.onChatMessage("{not json"); });
    EXPECT_EQ(server_.chatSenderUri(), "teacher@before");
    EXPECT_TRUE(events_.events().empty());
}

TEST_F(RoomRequests, LongSenderUriIsCutTo255Characters) {
    const std::string uri(300, 'u');
    onUi([&] { server_.onChatMessage(chatEnvelope(uri, "hi")); });
    EXPECT_EQ(server_.chatSenderUri(), uri.substr(0, 255));
}

TEST_F(RoomRequests, ChatInTheJoinedConferenceFixesTheScreenOnItsSender) {
    config().setConferenceJoined(true);
    server_.setScreenFixNeeded(true);
    onUi([&] { server_.onChatMessage(chatEnvelope("teacher@a", R"({"status":1})")); });
    EXPECT_EQ(server_.pins(), (std::vector<std::string>{"teacher@a"}));
    EXPECT_FALSE(server_.screenFixNeeded());
    EXPECT_TRUE(log_.contains("开始固屏"));

    // Fixed once: the next message does not pin again.
    onUi([&] { server_.onChatMessage(chatEnvelope("teacher@a", R"({"status":1})")); });
    EXPECT_EQ(server_.pins().size(), 1u);
}

TEST_F(RoomRequests, ChatBeforeJoiningOnlyRecordsTheSender) {
    config().setConferenceJoined(false);
    server_.setScreenFixNeeded(true);
    onUi([&] { server_.onChatMessage(chatEnvelope("teacher@a", "hi")); });
    EXPECT_TRUE(server_.pins().empty());
    EXPECT_TRUE(server_.screenFixNeeded());
}

struct FixCase {
    const char* name;
    bool needed;
    const char* sender;
    bool pinned;
};

class ScreenFix : public RoomRequests, public ::testing::WithParamInterface<FixCase> {};

TEST_P(ScreenFix, PinsOnlyWhenNeededAndASenderIsKnown) {
    const FixCase& c = GetParam();
    server_.setScreenFixNeeded(c.needed);
    server_.setChatSenderUri(c.sender);
    onUi([&] { server_.startScreenFix(); });
    EXPECT_EQ(server_.pins().size(), c.pinned ? 1u : 0u);
    EXPECT_EQ(server_.screenFixNeeded(), c.needed && !c.pinned);
}

INSTANTIATE_TEST_SUITE_P(States, ScreenFix,
                         ::testing::Values(FixCase{"NeededWithSender", true, "t@x", true},
                                           FixCase{"NeededWithoutSender", true, "", false},
                                           FixCase{"NotNeeded", false, "t@x", false}),
                         [](const ::testing::TestParamInfo<FixCase>& info) {
                             return info.param.name;
                         });

struct SourceCase {
    const char* name;
    const char* sender;
    const char* removed;
    bool inConference;
    bool lost;
};

class SourceRemoved : public RoomRequests, public ::testing::WithParamInterface<SourceCase> {};

TEST_P(SourceRemoved, OnlyTheFixedSourceInTheConferenceCounts) {
    const SourceCase& c = GetParam();
    server_.setChatSenderUri(c.sender);
    config().setInConference(c.inConference);
    onUi([&] { server_.onRemoteSourceRemoved(c.removed); });
    EXPECT_EQ(eventsOf(WM_CONF_FIXED_SOURCE_LOST).size(), c.lost ? 1u : 0u);
    EXPECT_EQ(server_.screenFixNeeded(), c.lost);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, SourceRemoved,
    ::testing::Values(SourceCase{"TheSender", "teacher@a", "teacher@a", true, true},
                      SourceCase{"AnotherParticipant", "teacher@a", "pupil@b", true, false},
                      SourceCase{"PrefixOnly", "teacher@a", "teacher@", true, false},
                      SourceCase{"OutOfConference", "teacher@a", "teacher@a", false, false},
                      SourceCase{"NoSenderYet", "", "", true, false}),
    [](const ::testing::TestParamInfo<SourceCase>& info) { return info.param.name; });

struct MicCase {
    const char* name;
    int previous;
    int expected;
};

class RestoreMic : public RoomRequests, public ::testing::WithParamInterface<MicCase> {};

TEST_P(RestoreMic, PreviousVolumeUnlessAboveTheMaximum) {
    const MicCase& c = GetParam();
    config().setMaxMicVolume(1310);
    config().setDefMicVolume(655);
    config().setPrevMicVolume(c.previous);
    server_.micVolume = 400;
    onUi([&] { server_.restoreMicVolume(); });
    EXPECT_EQ(server_.micVolumesSet(), (std::vector<int>{c.expected}));
    EXPECT_EQ(config().getMicVolume(), c.expected);
    EXPECT_TRUE(log_.contains("当前麦客风音量 = 400"));
    EXPECT_TRUE(log_.contains("前次麦客风音量 = " + std::to_string(c.previous)));
}

INSTANTIATE_TEST_SUITE_P(Volumes, RestoreMic,
                         ::testing::Values(MicCase{"AboveMaximum", 2000, 655},
                                           MicCase{"AtMaximum", 1310, 1310},
                                           MicCase{"Low", 100, 100}),
                         [](const ::testing::TestParamInfo<MicCase>& info) {
                             return info.param.name;
                         });

TEST_F(RoomRequests, MicOptionNamesTheRoomParticipantAndStatus) {
    config().setRoomId("R5");
    server_.participantId = "P-7";
    server_.sendMicOption(1);
    EXPECT_EQ(config().getParticipantId(), "P-7");
    const std::string expected = std::string("服务器设置麦克风 uri: ") + kService +
                                 "/api/business/desktop/optionAudio   data: conferenceId=R5"
                                 "&participantId=P-7&audioStatus=1&deviceKey=" +
                                 config().getDeviceKey() + "  type:8";
    EXPECT_TRUE(log_.contains(expected)) << expected;
}

}  // namespace
