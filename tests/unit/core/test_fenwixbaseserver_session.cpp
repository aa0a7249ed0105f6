#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "conference/fenwixbaseserver.h"
#include "service/commonutil.h"
#include "service/mainwindowevents.h"
#include "support/fakevidyoclient.h"
#include "support/logcapture.h"
#include "support/tempfolder.h"
#include "support/testmainwindow.h"

namespace {

using fenwixtest::FakeVidyoCall;
using fenwixtest::FakeVidyoClient;
using Bytes = std::vector<unsigned char>;

struct Received {
    unsigned msg = 0;
    std::uintptr_t wParam = 0;
    std::string json;  // for the events that carry a text
};

bool carriesText(unsigned msg) {
    return msg == WM_CONF_CHAT || msg == WM_CONF_DEVICE_MUTE || msg == WM_CONF_FIX_RESULT ||
           msg == WM_CONF_SOURCE_REMOVED;
}

Bytes u32Record(std::size_t size, std::size_t offset, std::uint32_t value) {
    Bytes b(size, 0);
    std::memcpy(b.data() + offset, &value, 4);
    return b;
}

Json::Value parse(const std::string& text) {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value out;
    std::string errors;
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &out, &errors)) << text;
    return out;
}

std::unique_ptr<UserBean> makeUser(const std::string& name, bool guest) {
    auto user = std::make_unique<UserBean>();
    user->username = name;
    user->password = "pw-" + name;
    user->displayName = "D-" + name;
    user->gDisplayName = "G-" + name;
    user->roomKey = "room-" + name;
    user->portal = "http://portal.test";
    user->guest = guest ? 1 : 0;
    user->state = USER_IN_CONFERENCE;  // whatever the caller left in it is reset
    return user;
}

class SessionTest : public ::testing::Test {
protected:
    SessionTest() {
        ConfigSources sources;
        sources.registry = fenwix::platform::RegistryStore(folder.file("home"));
        sources.iniFolder = folder.file("ini");
        config = std::make_unique<CComConfig>(std::move(sources));
        session = std::make_unique<FenwixBaseServer>(config.get());
        window = std::make_shared<TestMainWindow>(
            [this](unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) -> std::intptr_t {
                Received r;
                r.msg = msg;
                r.wParam = wParam;
                if (carriesText(msg) && lParam != 0) {
                    r.json = *reinterpret_cast<const std::string*>(lParam);
                }
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    received.push_back(r);
                }
                if (onMessage) {
                    onMessage(msg);
                }
                return 0;
            });
        publishMainWindow(window);
        VidyoServer::setSink(session.get());
    }

    ~SessionTest() override {
        publishMainWindow(nullptr);
        window.reset();
        VidyoServer::setSink(nullptr);
    }

    std::vector<unsigned> messages() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<unsigned> out;
        for (const auto& r : received) {
            out.push_back(r.msg);
        }
        return out;
    }
    std::vector<Received> receivedCopy() {
        std::lock_guard<std::mutex> lock(mutex);
        return received;
    }

    // The in-event codes the session sent since the last call.
    std::vector<unsigned> takeEvents() {
        auto codes = fake.eventCodes();
        fake.clearCalls();
        return codes;
    }

    // The texts of the last log-in or room-link record.
    std::string lastRecordText(std::size_t offset) {
        const auto events = fake.callsOf(FakeVidyoCall::kEvent);
        if (events.empty()) {
            return "<none>";
        }
        const auto& r = events.back().record;
        return std::string(reinterpret_cast<const char*>(r.data() + offset));
    }

    // Outcomes of the library, delivered on this thread as the library's thread would.
    void loggedIn() { fake.deliver(2303); }
    void loginRefused() { fake.deliverBytes(2304, u32Record(8, 4, 5)); }
    void loggedOut() { fake.deliverBytes(2304, u32Record(8, 4, 0)); }
    void joined() { fake.deliver(1200); }
    void joinRefused() { fake.deliverBytes(2305, u32Record(4, 0, 5)); }
    void left() { fake.deliver(1201); }
    void callState(std::uint32_t state) { fake.deliverBytes(2500, u32Record(4, 0, state)); }

    int state() { return session->currentUser().state; }

    TempFolder folder;
    FakeVidyoClient fake;
    std::unique_ptr<CComConfig> config;
    std::unique_ptr<FenwixBaseServer> session;
    std::mutex mutex;
    std::vector<Received> received;
    std::function<void(unsigned)> onMessage;
    std::shared_ptr<TestMainWindow> window;
};

constexpr unsigned kLogin = 1600, kLink = 1604, kLeave = 201, kLogout = 1603, kPreview = 400;

// --- whole sequences -----------------------------------------------------------------------------

TEST_F(SessionTest, RegisteredUserLogsInLinksAndJoins) {
    LogCapture log;
    session->pushUser(makeUser("stu", false));
    EXPECT_EQ(session->pendingCount(), 0u);
    EXPECT_EQ(state(), USER_LOGGING_IN);
    EXPECT_EQ(lastRecordText(257), "stu");
    EXPECT_EQ(lastRecordText(385), "pw-stu");
    EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLogin});

    loggedIn();
    EXPECT_EQ(state(), USER_LINKING);
    EXPECT_EQ(lastRecordText(257), "room-stu");
    EXPECT_EQ(lastRecordText(385), "D-stu");
    EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLink});

    config->setInConference(false);
    joined();
    EXPECT_EQ(state(), USER_IN_CONFERENCE);
    EXPECT_EQ(takeEvents(), std::vector<unsigned>{kPreview});
    EXPECT_EQ(messages(), std::vector<unsigned>{WM_CONF_JOINED});
    EXPECT_TRUE(config->getInConference());
    EXPECT_TRUE(config->getConferenceJoined());
    EXPECT_FALSE(config->getIsGuest());
    EXPECT_TRUE(log.contains("登录人员: stu身份: 0"));
    EXPECT_TRUE(log.contains("执行登录操作 \n"));
    EXPECT_TRUE(log.contains("加入会议成功 \n"));
    EXPECT_TRUE(log.contains("当前用户名称=stu  getDisplayName=D-stu  getGDisplayName=G-stu"));
}

TEST_F(SessionTest, GuestLinksAtOnceAndJoins) {
    session->pushUser(makeUser("g", true));
    EXPECT_EQ(state(), USER_LINKING);
    EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLink});
    joined();
    EXPECT_EQ(messages(), std::vector<unsigned>{WM_CONF_JOINED});
    EXPECT_TRUE(config->getIsGuest());
}

TEST_F(SessionTest, PreviewIsSwitchedOffOnJoining) {
    session->pushUser(makeUser("g", true));
    fake.clearCalls();
    joined();
    const auto events = fake.callsOf(FakeVidyoCall::kEvent);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, kPreview);
    EXPECT_EQ(events[0].record, Bytes(8, 0));
}

TEST_F(SessionTest, NullRecordIsIgnored) {
    session->pushUser(nullptr);
    EXPECT_EQ(session->pendingCount(), 0u);
    EXPECT_TRUE(fake.eventCodes().empty());
}

// A record pushed while the current one is linking waits; on joining the session leaves at once
// instead of reporting the join, and the queued record starts after the leave (and log-out).
struct QueuedCase {
    const char* name;
    bool firstIsGuest;
};

class PushWhileLinking : public SessionTest, public ::testing::WithParamInterface<QueuedCase> {};

TEST_P(PushWhileLinking, QueuedRecordStartsAfterLeaving) {
    LogCapture log;
    const bool guest = GetParam().firstIsGuest;
    session->pushUser(makeUser("first", guest));
    if (!guest) {
        loggedIn();
    }
    ASSERT_EQ(state(), USER_LINKING);
    takeEvents();

    session->pushUser(makeUser("second", false));
    EXPECT_EQ(session->pendingCount(), 1u);
    EXPECT_TRUE(log.contains("等待当前操作完成 \n"));
    EXPECT_TRUE(takeEvents().empty());

    joined();
    EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLeave});
    EXPECT_EQ(state(), USER_LEAVING);
    EXPECT_FALSE(config->getInConference());
    EXPECT_FALSE(config->getConferenceJoined());

    left();
    if (guest) {
        EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLogin});
        EXPECT_TRUE(messages().empty());
    } else {
        EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLogout});
        EXPECT_EQ(state(), USER_LEAVING);
        loggedOut();
        EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLogin});
        EXPECT_EQ(messages(), std::vector<unsigned>{WM_CONF_LOGGED_OUT_QUEUED});
    }
    EXPECT_EQ(session->currentUser().username, "second");
    EXPECT_EQ(session->pendingCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Who, PushWhileLinking,
                         ::testing::Values(QueuedCase{"Guest", true}, QueuedCase{"User", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionTest, PushWhileInConferenceLeavesThenStartsTheNewRecord) {
    session->pushUser(makeUser("first", true));
    joined();
    takeEvents();
    session->pushUser(makeUser("next", true));
    EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLeave});
    EXPECT_FALSE(config->getInConference());
    left();
    EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLink});
    joined();
    EXPECT_EQ(messages(), (std::vector<unsigned>{WM_CONF_JOINED, WM_CONF_JOINED}));
    EXPECT_EQ(session->currentUser().username, "next");
}

// --- failures ------------------------------------------------------------------------------------

TEST_F(SessionTest, LoginRefusedWithNothingPendingReports3007) {
    LogCapture log;
    session->pushUser(makeUser("stu", false));
    loginRefused();
    EXPECT_EQ(state(), USER_LOGIN_FAILED);
    EXPECT_EQ(messages(), std::vector<unsigned>{WM_CONF_LOGIN_FAILED});
    EXPECT_TRUE(log.contains("用户登录失败 \n"));
}

TEST_F(SessionTest, LoginRefusedWithPendingRecordStartsItSilently) {
    LogCapture log;
    session->pushUser(makeUser("a", false));
    session->pushUser(makeUser("b", false));
    takeEvents();
    loginRefused();
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLogin});
    EXPECT_EQ(session->currentUser().username, "b");
    EXPECT_TRUE(log.contains("当前用户状态为登录失败，初始化当前用户状态，检测队列 \n"));
}

TEST_F(SessionTest, LinkFailedWithNothingPendingReports3008) {
    session->pushUser(makeUser("g", true));
    joinRefused();
    EXPECT_EQ(state(), USER_LINK_FAILED);
    EXPECT_EQ(messages(), std::vector<unsigned>{WM_CONF_JOIN_FAILED});
}

TEST_F(SessionTest, GuestLinkFailedWithPendingRecordBecomesIdleAndNextStarts) {
    LogCapture log;
    session->pushUser(makeUser("g", true));
    session->pushUser(makeUser("next", true));
    takeEvents();
    joinRefused();
    EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLink});
    EXPECT_EQ(session->currentUser().username, "next");
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(log.contains("当前用户状用户身份为游客，初始化当前用户状态，检测队列 \n"));
}

// The failed link left no room: only the log-in session is closed (a leave would be refused).
TEST_F(SessionTest, UserLinkFailedWithPendingRecordLogsOutThenNextStarts) {
    LogCapture log;
    session->pushUser(makeUser("u", false));
    loggedIn();
    session->pushUser(makeUser("next", true));
    takeEvents();
    joinRefused();
    EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLogout});
    EXPECT_TRUE(log.contains("当前用户状用户身份为用户，执行退出操作 \n"));
    loggedOut();
    EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLink});
    EXPECT_EQ(messages(), std::vector<unsigned>{WM_CONF_LOGGED_OUT_QUEUED});
    EXPECT_EQ(session->currentUser().username, "next");
}

// --- guest fallback and leaving ------------------------------------------------------------------

TEST_F(SessionTest, ForceGuestWhileLoggingInLinksAtOnceAndIgnoresTheLateLogin) {
    LogCapture log;
    session->pushUser(makeUser("stu", false));
    takeEvents();
    session->forceGuestLogin();
    EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLink});
    const UserBean user = session->currentUser();
    EXPECT_EQ(user.guest, 1);
    EXPECT_EQ(user.displayName, "G-stu");
    EXPECT_EQ(user.state, USER_LINKING);
    EXPECT_EQ(session->pendingCount(), 0u);
    EXPECT_TRUE(log.contains("强制当前用户已游客身份登录"));

    loggedIn();  // the abandoned log-in completes
    EXPECT_TRUE(takeEvents().empty());
    EXPECT_EQ(state(), USER_LINKING);
    joined();
    EXPECT_EQ(messages(), std::vector<unsigned>{WM_CONF_JOINED});
    EXPECT_TRUE(config->getIsGuest());
}

// A refusal of the abandoned log-in arriving after the switch to the guest path must neither
// mark the guest failed nor tell the controller the log-in failed.
TEST_F(SessionTest, LateRefusalOfTheAbandonedLoginLeavesTheGuestAlone) {
    session->pushUser(makeUser("stu", false));
    session->forceGuestLogin();
    loginRefused();
    EXPECT_EQ(state(), USER_LINKING);
    joined();
    loginRefused();
    EXPECT_EQ(state(), USER_IN_CONFERENCE);
    EXPECT_EQ(messages(), std::vector<unsigned>{WM_CONF_JOINED});
}

TEST_F(SessionTest, ForceGuestLinksUnderTheGuestName) {
    session->pushUser(makeUser("stu", false));
    loginRefused();
    fake.clearCalls();
    session->forceGuestLogin();
    const auto events = fake.callsOf(FakeVidyoCall::kEvent);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, kLink);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(events[0].record.data() + 385)), "G-stu");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(events[0].record.data() + 257)),
              "room-stu");
}

TEST_F(SessionTest, ForceGuestDropsQueuedRecords) {
    session->pushUser(makeUser("stu", false));
    session->pushUser(makeUser("other", false));
    session->forceGuestLogin();
    EXPECT_EQ(session->pendingCount(), 0u);
    EXPECT_EQ(session->currentUser().username, "stu");
}

TEST_F(SessionTest, ExitWhileIdleReturnsMinusOneAndDoesNothing) {
    EXPECT_EQ(session->exitConference(), -1);
    EXPECT_TRUE(fake.eventCodes().empty());
    EXPECT_TRUE(config->getInConference());
}

struct ExitCase {
    const char* name;
    bool guest;
    std::vector<unsigned> eventsAfterLeft;
};

class ExitFromConference : public SessionTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitFromConference, LeavesAndReports3006) {
    LogCapture log;
    const auto& c = GetParam();
    session->pushUser(makeUser("u", c.guest));
    if (!c.guest) {
        loggedIn();
    }
    joined();
    session->pushUser(makeUser("queued", true));  // leaves at once; the exit drops the record
    const std::vector<unsigned> sent = takeEvents();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), kLeave);
    EXPECT_EQ(session->exitConference(), 1);
    EXPECT_EQ(session->pendingCount(), 0u);
    EXPECT_TRUE(takeEvents().empty()) << "the leave under way carries on, no second one";
    EXPECT_FALSE(config->getInConference());
    EXPECT_FALSE(config->getConferenceJoined());
    left();
    EXPECT_EQ(takeEvents(), c.eventsAfterLeft);
    if (!c.guest) {
        loggedOut();
        EXPECT_TRUE(log.contains("用户退出完毕 \n"));
    } else {
        EXPECT_TRUE(log.contains("用户退出会议室完毕 \n"));
    }
    EXPECT_EQ(messages(), (std::vector<unsigned>{WM_CONF_JOINED, WM_CONF_LOGGED_OUT}));
    EXPECT_EQ(state(), USER_IDLE);
}

INSTANTIATE_TEST_SUITE_P(Who, ExitFromConference,
                         ::testing::Values(ExitCase{"Guest", true, {}},
                                           ExitCase{"User", false, {kLogout}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Leaving while the log-in or the room link is still under way: nothing is sent until its late
// answer, which must neither take the user into the room (3000) nor report a failure (3007,
// 3008, which start the guest attempt); what the answer left open is closed, and the session
// ends logged out and idle.
struct ExitUnderWayCase {
    const char* name;
    bool guest;
    bool linking;    // left during the room link, else during the log-in
    bool succeeded;  // the late answer of that command
};

class ExitWhileUnderWay : public SessionTest,
                          public ::testing::WithParamInterface<ExitUnderWayCase> {};

TEST_P(ExitWhileUnderWay, EndsLoggedOutAndIdle) {
    const ExitUnderWayCase& c = GetParam();
    session->pushUser(makeUser("stu", c.guest));
    if (c.linking && !c.guest) {
        loggedIn();
    }
    ASSERT_EQ(state(), c.linking ? USER_LINKING : USER_LOGGING_IN);
    takeEvents();
    EXPECT_EQ(session->exitConference(), 1);
    EXPECT_TRUE(takeEvents().empty()) << "nothing to leave before the answer";
    EXPECT_EQ(state(), USER_LEAVING);

    if (c.linking) {
        c.succeeded ? joined() : joinRefused();
    } else {
        c.succeeded ? loggedIn() : loginRefused();
    }
    if (c.linking && c.succeeded) {
        EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLeave}) << "the room just entered";
        left();
    }
    if (!c.guest && (c.linking || c.succeeded)) {
        EXPECT_EQ(takeEvents(), std::vector<unsigned>{kLogout}) << "the log-in session";
        loggedOut();
    }
    EXPECT_TRUE(takeEvents().empty());
    EXPECT_EQ(messages(), std::vector<unsigned>{WM_CONF_LOGGED_OUT});
    EXPECT_EQ(state(), USER_IDLE);
    EXPECT_FALSE(config->getInConference());
}

INSTANTIATE_TEST_SUITE_P(Answers, ExitWhileUnderWay,
                         ::testing::Values(ExitUnderWayCase{"LoginSucceeds", false, false, true},
                                           ExitUnderWayCase{"LoginRefused", false, false, false},
                                           ExitUnderWayCase{"UserLinkSucceeds", false, true, true},
                                           ExitUnderWayCase{"UserLinkRefused", false, true, false},
                                           ExitUnderWayCase{"GuestLinkSucceeds", true, true, true},
                                           ExitUnderWayCase{"GuestLinkRefused", true, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionTest, ExitReportsARefusedLeaveCommand) {
    session->pushUser(makeUser("g", true));
    joined();
    fake.eventResult = VIDYO_CLIENT_FAILED;
    EXPECT_EQ(session->exitConference(), 0);
}

// --- call state ----------------------------------------------------------------------------------

struct CallCase {
    const char* name;
    bool exitFirst;
    std::uint32_t state;
    bool dropped;
};

class CallState : public SessionTest, public ::testing::WithParamInterface<CallCase> {};

TEST_P(CallState, ZeroInConferenceMeansDropped) {
    LogCapture log;
    const auto& c = GetParam();
    session->pushUser(makeUser("g", true));
    joined();
    if (c.exitFirst) {
        session->exitConference();
    }
    callState(c.state);
    std::vector<unsigned> expected{WM_CONF_JOINED};
    if (c.dropped) {
        expected.push_back(WM_CALL_DROPPED);
    }
    EXPECT_EQ(messages(), expected);
    EXPECT_TRUE(log.contains("会议（call）状态改变: " + std::to_string(c.state)));
    EXPECT_EQ(log.contains("异常退出，需要重连"), c.dropped);
}

INSTANTIATE_TEST_SUITE_P(States, CallState,
                         ::testing::Values(CallCase{"ZeroInConference", false, 0, true},
                                           CallCase{"ZeroAfterExit", true, 0, false},
                                           CallCase{"OtherInConference", false, 2, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- conference events to the main window -------------------------------------------------------

TEST_F(SessionTest, ChatArrivesAs3001WithItsJson) {
    LogCapture log;
    Bytes chat(4484, 0);
    const std::string uri = "teacher@portal", name = "张老师", msg = "{\"status\":1}";
    std::memcpy(chat.data(), uri.data(), uri.size());
    std::memcpy(chat.data() + 257, name.data(), name.size());
    std::memcpy(chat.data() + 385, msg.data(), msg.size());
    fake.deliverBytes(2600, chat);
    const auto got = receivedCopy();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].msg, WM_CONF_CHAT);
    EXPECT_EQ(got[0].json,
              "{\"displayName\":\"张老师\",\"msg\":\"{\\\"status\\\":1}\",\"type\":1,\"uri\":"
              "\"teacher@portal\"}\n");
    EXPECT_TRUE(log.contains("收到sdk聊天消息 来自: 1"));
    EXPECT_TRUE(log.contains("uri teacher@portalmsg {\"status\":1}name 张老师"));
}

TEST_F(SessionTest, ChatWithoutMainWindowIsDropped) {
    publishMainWindow(nullptr);
    session->onChatMessage("a", "b", "c", 0);
    window->close();
    publishMainWindow(window);
    session->onChatMessage("a", "b", "c", 0);
    EXPECT_TRUE(messages().empty());
}

struct JsonEventCase {
    const char* name;
    unsigned int event;
    Bytes record;
    unsigned msg;
    std::string json;
};

Bytes muteRecord(unsigned char muted, std::uint32_t error) {
    Bytes b = u32Record(8, 4, error);
    b[0] = muted;
    return b;
}

Bytes pinRecord(std::uint32_t mode, unsigned char isSet) {
    Bytes b = u32Record(268, 260, mode);
    b[264] = isSet;
    return b;
}

Bytes removedRecord(const std::string& uri) {
    Bytes b(264, 0);
    std::memcpy(b.data() + 4, uri.data(), uri.size());
    return b;
}

class JsonEvents : public SessionTest, public ::testing::WithParamInterface<JsonEventCase> {};

TEST_P(JsonEvents, SentWithTheirText) {
    const auto& c = GetParam();
    fake.deliverBytes(c.event, c.record);
    const auto got = receivedCopy();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].msg, c.msg);
    EXPECT_EQ(got[0].json, c.json);
}

INSTANTIATE_TEST_SUITE_P(
    Events, JsonEvents,
    ::testing::Values(JsonEventCase{"MicMutedByServer", 1503, muteRecord(1, 0), WM_CONF_DEVICE_MUTE,
                                    "{\"device\":1,\"error\":0,\"from\":1,\"mute\":true}\n"},
                      JsonEventCase{"CameraUnmutedLocally", 1502, muteRecord(0, 4),
                                    WM_CONF_DEVICE_MUTE,
                                    "{\"device\":0,\"error\":4,\"from\":0,\"mute\":false}\n"},
                      JsonEventCase{"FixFailed", 2102, pinRecord(2, 0), WM_CONF_FIX_RESULT,
                                    "{\"success\":false}\n"},
                      JsonEventCase{"FixSucceeded", 2102, pinRecord(2, 1), WM_CONF_FIX_RESULT,
                                    "{\"mode\":2,\"success\":true}\n"},
                      JsonEventCase{"SourceRemoved", 1211, removedRecord("t@p"),
                                    WM_CONF_SOURCE_REMOVED, "{\"uri\":\"t@p\"}\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionTest, ConferenceNoticeIsNotice18) {
    fake.deliver(2003);
    const auto got = receivedCopy();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].msg, WM_NOTICE);
    EXPECT_EQ(got[0].wParam, 18u);
}

TEST_F(SessionTest, QuietEventsSendNothing) {
    for (const unsigned int event : {1202u, 2002u, 2810u, 2811u}) {
        fake.deliver(event);
    }
    session->onReserved();
    EXPECT_TRUE(messages().empty());
}

// The session must not hold its lock while the main window handles an event: the handler of
// 3000 may call straight back into the session (here: the quit button).
TEST_F(SessionTest, HandlerMayCallBackIntoTheSessionDuringASend) {
    session->pushUser(makeUser("g", true));
    onMessage = [this](unsigned msg) {
        if (msg == WM_CONF_JOINED) {
            session->exitConference();
        }
    };
    auto done = std::async(std::launch::async, [this] { joined(); });
    ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready)
        << "the library thread is stuck in a send";
    EXPECT_EQ(state(), USER_LEAVING);
}

// --- microphone state and life cycle ------------------------------------------------------------

struct MicCase {
    const char* name;
    unsigned char local;
    unsigned char server;
    bool muted;
};

class MicMuted : public SessionTest, public ::testing::WithParamInterface<MicCase> {};

TEST_P(MicMuted, EitherSourceMutes) {
    LogCapture log;
    const auto& c = GetParam();
    fake.setReply(101000, VidyoClientMuteState{c.local});
    fake.setReply(101003, VidyoClientMuteState{c.server});
    EXPECT_EQ(session->isMicrophoneMuted(), c.muted);
    EXPECT_TRUE(log.contains(std::string("麦克风 是否本地静默: ") + (c.local ? "1" : "0")));
    EXPECT_TRUE(log.contains(std::string("麦克风 是否服务器静默: ") + (c.server ? "1" : "0")));
}

INSTANTIATE_TEST_SUITE_P(States, MicMuted,
                         ::testing::Values(MicCase{"Neither", 0, 0, false},
                                           MicCase{"Local", 1, 0, true},
                                           MicCase{"Server", 0, 1, true},
                                           MicCase{"Both", 1, 1, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionTest, InitVidyoStartsOnlyAfterASuccessfulInitialise) {
    LogCapture log;
    VidyoServer::setSink(nullptr);
    fake.initializeResult = VIDYO_CLIENT_FAILED;
    EXPECT_FALSE(session->initVidyo(VideoWindow{5, 640, 360}));
    EXPECT_TRUE(fake.callsOf(FakeVidyoCall::kStart).empty());
    EXPECT_EQ(VidyoServer::sink(), session.get());
    fake.initializeResult = VIDYO_CLIENT_OK;
    fake.startResult = VIDYO_CLIENT_FAILED;
    EXPECT_FALSE(session->initVidyo(VideoWindow{5, 640, 360}));
    fake.startResult = VIDYO_CLIENT_OK;
    EXPECT_TRUE(session->initVidyo(VideoWindow{5, 640, 360}));
    EXPECT_EQ(fake.startArgs().window, 5u);
    EXPECT_TRUE(log.contains("业务准备初始化vidyo sdk \n"));
}

TEST_F(SessionTest, DestroyUninitialisesOnlyAfterAStop) {
    LogCapture log;
    fake.stopResult = 0;
    EXPECT_FALSE(session->destroyVidyo());
    EXPECT_TRUE(fake.callsOf(FakeVidyoCall::kUninitialize).empty());
    fake.stopResult = 1;
    EXPECT_TRUE(session->destroyVidyo());
    EXPECT_EQ(fake.callsOf(FakeVidyoCall::kUninitialize).size(), 1u);
    EXPECT_TRUE(log.contains("业务准备销毁vidyo sdk \n"));
}

TEST_F(SessionTest, ConferenceStatusDocumentUsesTheCurrentRoomKeyAndSharedValues) {
    session->pushUser(makeUser("g", true));
    config->setPortal("http://portal.test");
    config->setRoute("r1");
    config->setParticipantId("PID");
    config->setIsGuest(true);
    const Json::Value doc = parse(session->buildConferenceStatusJson("t@p"));
    EXPECT_EQ(doc["roomkey"].asString(), "room-g");
    EXPECT_EQ(doc["p"].asString(), "http://portal.test");
    EXPECT_EQ(doc["r"].asString(), "r1");
    EXPECT_EQ(doc["d"].asString(), config->getDeviceKey());
    EXPECT_EQ(doc["participantID"].asString(), "PID");
    EXPECT_EQ(doc["isGuest"].asInt(), 1);
    EXPECT_EQ(doc["desktype"].asString(), "student");
}

TEST_F(SessionTest, DestroyedSessionIsNoLongerTheSink) {
    session.reset();
    EXPECT_EQ(VidyoServer::sink(), nullptr);
    fake.deliver(1200);  // must not reach freed memory
}

}  // namespace
