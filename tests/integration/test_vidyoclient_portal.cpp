// The conference client library against the real fenwix-sim portal over loopback, driven through
// its six functions like the terminal's adapter drives it.
#include "support/simprocess.h"
#include "support/vidyoclientdriver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <future>
#include <memory>

using fenwixtest::fieldText;
using fenwixtest::OutEvent;
using fenwixtest::SimProcess;
using fenwixtest::VidyoClientDriver;

namespace {

constexpr int kPortalTimeoutMs = 1500;
// A failure must arrive within the portal time-out plus a margin for the loopback round trips.
constexpr int kFailureBoundMs = kPortalTimeoutMs + 3000;

class VidyoClientPortal : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("VIDYO_CLIENT_PORTAL_TIMEOUT_MS", std::to_string(kPortalTimeoutMs).c_str(), 1);
        sim = std::make_unique<SimProcess>();
        driver = std::make_unique<VidyoClientDriver>();
        ASSERT_TRUE(driver->started());
    }
    void TearDown() override {
        driver.reset();
        sim.reset();
    }

    std::string portal() const { return sim->baseUrl(); }
    Json::Value portalState() const { return sim->admin("GET", "/admin/portal")["portal"]; }
    Json::Value send(const std::string& path, const Json::Value& body) const {
        return sim->admin("POST", path, body);
    }
    void joinRoom(const std::string& roomKey = "room1") {
        ASSERT_TRUE(driver->joinAsUser(portal(), "student01", roomKey, "一号教室"));
    }
    std::string teacherUri(const std::string& roomKey = "room1") const {
        return "teacher." + roomKey + "@fenwix-sim";
    }

    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<VidyoClientDriver> driver;
};

TEST_F(VidyoClientPortal, UserLogsInJoinsLeavesAndLogsOut) {
    ASSERT_TRUE(driver->login(portal(), "student01", "secret"));
    auto progress = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_LOGIN_PROGRESS);
    ASSERT_TRUE(progress);
    const auto p = progress->as<VidyoClientOutLoginProgress>();
    EXPECT_EQ(p.error, 0u);
    EXPECT_EQ(fieldText(p.portalUri), portal());
    EXPECT_EQ(fieldText(p.userName), "student01");
    auto signedIn = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_SIGNED_IN);
    ASSERT_TRUE(signedIn);
    EXPECT_NE(signedIn->thread, std::this_thread::get_id()) << "out-events on the library's thread";

    ASSERT_TRUE(driver->link(portal(), "room1", "一号教室"));
    auto linked = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_LINKED);
    ASSERT_TRUE(linked);
    EXPECT_EQ(linked->as<VidyoClientOutError>().error, 0u);
    ASSERT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ACTIVE));
    auto call = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CALL_STATE);
    ASSERT_TRUE(call);
    EXPECT_NE(call->as<VidyoClientOutValue>().value, 0u);

    const Json::Value sessions = portalState()["sessions"];
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0]["user"].asString(), "student01");
    EXPECT_EQ(sessions[0]["roomKey"].asString(), "room1");
    EXPECT_EQ(sessions[0]["displayName"].asString(), "一号教室");
    EXPECT_FALSE(sessions[0]["guest"].asBool());

    ASSERT_TRUE(driver->leave());
    ASSERT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ENDED));
    EXPECT_EQ(portalState()["sessions"][0]["roomKey"].asString(), "");
    ASSERT_TRUE(driver->logout());
    auto signedOut = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_SIGNED_OUT);
    ASSERT_TRUE(signedOut);
    EXPECT_EQ(signedOut->as<VidyoClientOutSignedOut>().error, 0u) << "error 0 means logged out";
    EXPECT_EQ(portalState()["sessions"].size(), 0u);
}

TEST_F(VidyoClientPortal, GuestLinksWithoutLogInAndItsSessionEndsWithTheRoom) {
    ASSERT_TRUE(driver->link(portal(), "room2", "访客教室"));
    ASSERT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ACTIVE));
    Json::Value sessions = portalState()["sessions"];
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_TRUE(sessions[0]["guest"].asBool());
    EXPECT_EQ(sessions[0]["roomKey"].asString(), "room2");

    ASSERT_TRUE(driver->leave());
    ASSERT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ENDED));
    EXPECT_EQ(portalState()["sessions"].size(), 0u);
    EXPECT_FALSE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_SIGNED_IN, 200));
}

TEST_F(VidyoClientPortal, LeaveWithoutARoomAndLogOutWithoutASessionAreRefused) {
    EXPECT_FALSE(driver->leave());
    EXPECT_FALSE(driver->logout());
    // A guest holds a room but no log-in session.
    ASSERT_TRUE(driver->link(portal(), "room2", "访客教室"));
    ASSERT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ACTIVE));
    EXPECT_FALSE(driver->logout());
    ASSERT_TRUE(driver->leave());
    ASSERT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ENDED));
    EXPECT_FALSE(driver->leave());
    EXPECT_FALSE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ENDED, 300));
    EXPECT_FALSE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_SIGNED_OUT, 10));
}

TEST_F(VidyoClientPortal, ParticipantsAndOwnIdentityAreCoherent) {
    joinRoom();
    // The list arrives with the first poll after joining.
    auto list = std::make_unique<VidyoClientParticipantList>();
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_LIST, *list));
        if (list->numberParticipants == 2) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_EQ(list->numberParticipants, 2u);
    EXPECT_EQ(fieldText(list->entries[0].name), "张老师");
    EXPECT_EQ(fieldText(list->entries[0].uri), teacherUri());

    VidyoClientOwnParticipant own{};
    ASSERT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_INFO, own));
    EXPECT_EQ(fieldText(own.name), "一号教室");
    EXPECT_EQ(fieldText(list->entries[1].name), fieldText(own.name));

    VidyoClientParticipantDetail detail{};
    detail.index = 1;
    ASSERT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_DETAIL, detail));
    EXPECT_EQ(fieldText(detail.name), "一号教室");
    EXPECT_EQ(fieldText(detail.uri), portalState()["sessions"][0]["uri"].asString());
    EXPECT_FALSE(fieldText(detail.participantId).empty());
    detail.index = 2;
    EXPECT_FALSE(driver->request(VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_DETAIL, detail))
        << "an index past the list is refused";

    Json::Value other;
    other["roomKey"] = "room1";
    other["name"] = "二号教室";
    other["uri"] = "room2pc@room1";
    send("/admin/portal/participants", other);
    EXPECT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_PARTICIPANTS_CHANGED));
    for (int i = 0; i < 100 && list->numberParticipants != 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_LIST, *list));
    }
    EXPECT_EQ(list->numberParticipants, 3u) << "a participant who came is listed";

    VidyoClientRouterName router{};
    ASSERT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_ROUTER_NAME, router));
    EXPECT_NE(fieldText(router.name).find(std::to_string(sim->port())), std::string::npos);
    VidyoClientEndpointId id{};
    ASSERT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_ENDPOINT_ID, id));
    EXPECT_EQ(fieldText(id.id), portalState()["sessions"][0]["endpointId"].asString());
}

// The terminal's session starts the room link from inside its log-in handler and asks for the
// participant list from inside others: calls back into the library from the callback thread.
TEST_F(VidyoClientPortal, HandlersMayCallBackIntoTheLibrary) {
    std::atomic<int> refused{0};
    const std::string address = portal();
    driver.reset();
    driver = std::make_unique<VidyoClientDriver>(
        0, 640, 360, "./VidyoLog/", [&refused, address](const OutEvent& e) {
            if (e.code == VIDYO_CLIENT_OUT_EVENT_SIGNED_IN) {
                VidyoClientRoomLink link{};
                fenwixtest::setField(link.portalUri, address);
                fenwixtest::setField(link.roomKey, "room1");
                fenwixtest::setField(link.displayName, "一号教室");
                refused += VidyoClientSendEvent(VIDYO_CLIENT_IN_EVENT_ROOM_LINK, &link,
                                                sizeof(link)) != VIDYO_CLIENT_OK;
            } else if (e.code == VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ACTIVE) {
                auto list = std::make_unique<VidyoClientParticipantList>();
                refused += VidyoClientSendRequest(VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_LIST,
                                                  list.get(), sizeof(*list)) != VIDYO_CLIENT_OK;
                VidyoClientPreview preview{VIDYO_CLIENT_PREVIEW_OFF, 0};
                refused += VidyoClientSendEvent(VIDYO_CLIENT_IN_EVENT_PREVIEW, &preview,
                                                sizeof(preview)) != VIDYO_CLIENT_OK;
            }
        });
    ASSERT_TRUE(driver->started());
    ASSERT_TRUE(driver->login(address, "student01", "pw"));
    EXPECT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ACTIVE));
    EXPECT_EQ(refused.load(), 0);
}

// At shutdown the terminal stops the library while the callback thread may be blocked in a
// synchronous hand-over to that very thread: the stop must still return.
TEST_F(VidyoClientPortal, StopReturnsWhileAHandlerIsBlocked) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> entered;
    std::atomic<bool> once{false};
    driver.reset();
    driver =
        std::make_unique<VidyoClientDriver>(0, 640, 360, "./VidyoLog/", [&](const OutEvent& e) {
            if (e.code == VIDYO_CLIENT_OUT_EVENT_SIGNED_IN && !once.exchange(true)) {
                entered.set_value();
                released.wait();
            }
        });
    ASSERT_TRUE(driver->login(portal(), "student01", "pw"));
    ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    auto stopping = std::async(std::launch::async, [] { return VidyoClientStop(); });
    const auto status = stopping.wait_for(std::chrono::seconds(10));
    release.set_value();
    // The released handler finishes on its own (recorded before the driver goes away).
    EXPECT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_SIGNED_IN));
    ASSERT_EQ(status, std::future_status::ready) << "stop waits for the blocked handler forever";
    EXPECT_NE(stopping.get(), 0);
}

// ---- failures -------------------------------------------------------------------------------

struct FailureCase {
    const char* name;
    Json::Value (*faults)();  // body of /admin/portal/faults, null: none
    bool portalDown;          // a port where nothing listens
    bool linkStep;            // fails at the room link (after a good log-in) instead of log-in
    unsigned int expectedError;
};

Json::Value noFault() {
    return Json::Value();
}
Json::Value refuseLogin() {
    Json::Value v;
    v["login"] = "refuse";
    v["loginError"] = 5;
    return v;
}
Json::Value hangLogin() {
    Json::Value v;
    v["login"] = "hang";
    return v;
}
Json::Value badJsonLogin() {
    Json::Value v;
    v["login"] = "badjson";
    return v;
}
Json::Value failLink() {
    Json::Value v;
    v["link"] = "fail";
    v["linkError"] = 9;
    return v;
}
Json::Value hangLink() {
    Json::Value v;
    v["link"] = "hang";
    return v;
}
Json::Value badJsonLink() {
    Json::Value v;
    v["link"] = "badjson";
    return v;
}

class VidyoClientFailure : public VidyoClientPortal,
                           public ::testing::WithParamInterface<FailureCase> {};

TEST_P(VidyoClientFailure, EndsInTheFailureEventWithinBoundedTime) {
    const FailureCase& c = GetParam();
    std::string target = portal();
    if (c.portalDown) {
        SimProcess other;
        target = other.baseUrl();
    }  // `other` stopped: its port refuses connections now
    if (c.linkStep) {
        ASSERT_TRUE(driver->login(target, "student01", "pw"));
        ASSERT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_SIGNED_IN));
    }
    const Json::Value faults = c.faults();
    if (!faults.isNull()) {
        send("/admin/portal/faults", faults);
    }
    const auto begin = std::chrono::steady_clock::now();
    if (c.linkStep) {
        ASSERT_TRUE(driver->link(target, "room1", "一号教室"));
    } else {
        ASSERT_TRUE(driver->login(target, "student01", "pw"));
    }
    // Requests are answered at once while the portal call is under way.
    VidyoClientVolume volume{};
    EXPECT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_VOLUME_AUDIO_IN, volume));

    const unsigned int failure =
        c.linkStep ? VIDYO_CLIENT_OUT_EVENT_JOIN_PROGRESS : VIDYO_CLIENT_OUT_EVENT_SIGNED_OUT;
    auto event = driver->events.waitFor(failure, kFailureBoundMs);
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    ASSERT_TRUE(event) << c.name << ": no failure event";
    EXPECT_LT(elapsed, std::chrono::milliseconds(kFailureBoundMs));
    const unsigned int error = c.linkStep ? event->as<VidyoClientOutError>().error
                                          : event->as<VidyoClientOutSignedOut>().error;
    EXPECT_EQ(error, c.expectedError) << c.name;
    EXPECT_FALSE(driver->events.waitFor(
        c.linkStep ? VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ACTIVE : VIDYO_CLIENT_OUT_EVENT_SIGNED_IN,
        100));
    if (!faults.isNull()) {
        Json::Value clear;
        clear["login"] = Json::Value();
        clear["link"] = Json::Value();
        send("/admin/portal/faults", clear);  // releases held requests
    }
}

INSTANTIATE_TEST_SUITE_P(
    Portal, VidyoClientFailure,
    ::testing::Values(
        FailureCase{"refused log-in", refuseLogin, false, false, 5},
        FailureCase{"log-in never answered", hangLogin, false, false, VIDYO_CLIENT_ERROR_TIMEOUT},
        FailureCase{"log-in answered with bad JSON", badJsonLogin, false, false,
                    VIDYO_CLIENT_ERROR_BAD_REPLY},
        FailureCase{"portal down at log-in", noFault, true, false, VIDYO_CLIENT_ERROR_UNREACHABLE},
        FailureCase{"failed link", failLink, false, true, 9},
        FailureCase{"link never answered", hangLink, false, true, VIDYO_CLIENT_ERROR_TIMEOUT},
        FailureCase{"link answered with bad JSON", badJsonLink, false, true,
                    VIDYO_CLIENT_ERROR_BAD_REPLY}),
    [](const ::testing::TestParamInfo<FailureCase>& info) {
        std::string name;
        for (const char* p = info.param.name; *p != '\0'; ++p) {
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        }
        return name;
    });

TEST_F(VidyoClientPortal, WrongPasswordOfAListedAccountIsRefused) {
    Json::Value account;
    account["user"] = "teacher-pc";
    account["password"] = "right";
    send("/admin/portal/accounts", account);
    ASSERT_TRUE(driver->login(portal(), "teacher-pc", "wrong"));
    auto out = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_SIGNED_OUT);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->as<VidyoClientOutSignedOut>().error, 5u);
    auto progress = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_LOGIN_PROGRESS);
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->as<VidyoClientOutLoginProgress>().error, 5u);

    ASSERT_TRUE(driver->login(portal(), "teacher-pc", "right"));
    EXPECT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_SIGNED_IN));
}

// Portal answers that are JSON but of the wrong shape are survived: the outcome is a failure or
// a join with empty fields, never a crash of the library's thread.
struct ShapeCase {
    const char* name;
    const char* path;
    const char* body;
    bool joinFirst;
    unsigned int expectedEvent;
};

class VidyoClientAnswerShape : public VidyoClientPortal,
                               public ::testing::WithParamInterface<ShapeCase> {};

TEST_P(VidyoClientAnswerShape, IsSurvived) {
    const ShapeCase& c = GetParam();
    if (c.joinFirst) {
        joinRoom();
    }
    Json::Value canned;
    canned["path"] = c.path;
    canned["status"] = 200;
    canned["body"] = c.body;
    canned["times"] = 1;
    sim->setReply(canned);
    const std::string path = c.path;
    if (path == "/portal/login") {
        ASSERT_TRUE(driver->login(portal(), "student01", "pw"));
    } else if (path == "/portal/link") {
        ASSERT_TRUE(driver->link(portal(), "room1", "一号教室"));
    } else if (path == "/portal/pin") {
        ASSERT_TRUE(driver->pin(teacherUri()));
    }
    auto event = driver->events.waitFor(c.expectedEvent, kFailureBoundMs);
    ASSERT_TRUE(event) << c.name;
    if (c.expectedEvent == VIDYO_CLIENT_OUT_EVENT_SIGNED_OUT) {
        EXPECT_NE(event->as<VidyoClientOutSignedOut>().error, 0u) << "a failure, not a log-out";
    }
    if (c.expectedEvent == VIDYO_CLIENT_OUT_EVENT_PIN_RESULT) {
        EXPECT_EQ(event->as<VidyoClientOutPinResult>().isSet, 0);
    }
    // Still working afterwards: the teacher's next command arrives.
    if (c.joinFirst) {
        Json::Value curtain;
        curtain["roomKey"] = "room1";
        curtain["status"] = 1;
        send("/admin/portal/curtain", curtain);
        EXPECT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_GROUP_CHAT)) << c.name;
    }
    // A session the portal does not know ends the call as soon as the portal says so.
    if (path == "/portal/link") {
        EXPECT_TRUE(driver->events.waitFor(
            VIDYO_CLIENT_OUT_EVENT_CALL_STATE, kFailureBoundMs,
            [](const OutEvent& e) { return e.as<VidyoClientOutValue>().value == 0; }));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Portal, VidyoClientAnswerShape,
    ::testing::Values(
        ShapeCase{"log_in_session_not_text", "/portal/login", R"({"ok":true,"session":7})", false,
                  VIDYO_CLIENT_OUT_EVENT_SIGNED_OUT},
        ShapeCase{"log_in_ok_not_boolean", "/portal/login", R"({"ok":"yes","error":"x"})", false,
                  VIDYO_CLIENT_OUT_EVENT_SIGNED_OUT},
        ShapeCase{"log_in_array", "/portal/login", R"([1,2,3])", false,
                  VIDYO_CLIENT_OUT_EVENT_SIGNED_OUT},
        ShapeCase{
            "link_fields_of_wrong_types", "/portal/link",
            R"({"ok":true,"session":"S77","uri":{"a":1},"displayName":[1],"participantId":5})",
            false, VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ACTIVE},
        ShapeCase{"pin_fields_of_wrong_types", "/portal/pin",
                  R"({"ok":true,"videoMode":"two","isSet":"yes"})", true,
                  VIDYO_CLIENT_OUT_EVENT_PIN_RESULT},
        ShapeCase{"events_of_wrong_types", "/portal/events",
                  R"({"ok":true,"events":[5,"x",{"type":7},{"type":"chat","uri":5,"message":{}}],)"
                  R"("participants":[1,{"name":5}],"inRoom":true})",
                  true, VIDYO_CLIENT_OUT_EVENT_GROUP_CHAT}),
    [](const ::testing::TestParamInfo<ShapeCase>& info) { return std::string(info.param.name); });

// ---- in-conference events -----------------------------------------------------------------------

TEST_F(VidyoClientPortal, TeacherChatArrivesAsGroupOrPrivateMessage) {
    joinRoom();
    Json::Value curtain;
    curtain["roomKey"] = "room1";
    curtain["status"] = 1;
    EXPECT_EQ(send("/admin/portal/curtain", curtain)["delivered"].asInt(), 1);
    auto chat = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_GROUP_CHAT);
    ASSERT_TRUE(chat);
    auto record = chat->as<VidyoClientOutChat>();
    EXPECT_EQ(fieldText(record.uri), teacherUri());
    EXPECT_EQ(fieldText(record.displayName), "张老师");
    EXPECT_EQ(fieldText(record.message), "{\"status\":1}");

    Json::Value privateChat;
    privateChat["roomKey"] = "room1";
    privateChat["message"] = std::string(5000, 'x');  // longer than the record's field
    privateChat["private"] = true;
    send("/admin/portal/chat", privateChat);
    chat = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_PRIVATE_CHAT);
    ASSERT_TRUE(chat);
    record = chat->as<VidyoClientOutChat>();
    EXPECT_EQ(fieldText(record.message), std::string(VIDYO_CLIENT_CHAT_MESSAGE_SIZE - 1, 'x'))
        << "cut to the field, NUL-terminated";
}

TEST_F(VidyoClientPortal, PinAnswersSuccessOrFailure) {
    ASSERT_TRUE(driver->pin(teacherUri()));
    auto result = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_PIN_RESULT);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->as<VidyoClientOutPinResult>().isSet, 0) << "no room yet: nothing to pin";

    joinRoom();
    ASSERT_TRUE(driver->pin(teacherUri()));
    result = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_PIN_RESULT);
    ASSERT_TRUE(result);
    auto pin = result->as<VidyoClientOutPinResult>();
    EXPECT_EQ(pin.videoMode, 2u);
    EXPECT_EQ(pin.isSet, 1);

    ASSERT_TRUE(driver->pin("nobody@room1"));
    result = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_PIN_RESULT);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->as<VidyoClientOutPinResult>().isSet, 0);

    Json::Value fail;
    fail["pin"] = "fail";
    send("/admin/portal/faults", fail);
    ASSERT_TRUE(driver->pin(teacherUri()));
    result = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_PIN_RESULT);
    ASSERT_TRUE(result);
    pin = result->as<VidyoClientOutPinResult>();
    EXPECT_EQ(pin.videoMode, 2u);
    EXPECT_EQ(pin.isSet, 0) << "mode 2 without the flag is a failed fix";
}

TEST_F(VidyoClientPortal, SourceRemovalCarriesTheAddress) {
    joinRoom();
    Json::Value spec;
    spec["roomKey"] = "room1";
    send("/admin/portal/source-removed", spec);
    auto removed = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_REMOTE_SOURCE_REMOVED);
    ASSERT_TRUE(removed);
    const auto record = removed->as<VidyoClientOutSourceRemoved>();
    EXPECT_EQ(record.mediaType, 0u);
    EXPECT_EQ(fieldText(record.uri), teacherUri());
}

TEST_F(VidyoClientPortal, CallDropEndsTheCallAndALaterLeaveStillAnswers) {
    joinRoom();
    ASSERT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CALL_STATE));  // the join's
    Json::Value spec;
    spec["roomKey"] = "room1";
    EXPECT_EQ(send("/admin/portal/drop", spec)["delivered"].asInt(), 1);
    auto call = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CALL_STATE);
    ASSERT_TRUE(call);
    EXPECT_EQ(call->as<VidyoClientOutValue>().value, 0u);
    ASSERT_TRUE(driver->leave());
    EXPECT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ENDED));
}

TEST_F(VidyoClientPortal, PortalGoneWhileInAClassDropsTheCall) {
    joinRoom();
    ASSERT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CALL_STATE));
    sim->down(30000);
    auto call = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CALL_STATE, kFailureBoundMs * 2);
    ASSERT_TRUE(call);
    EXPECT_EQ(call->as<VidyoClientOutValue>().value, 0u);
}

TEST_F(VidyoClientPortal, MutesFromTheServerAndLocalMutesAreReportedAndQueried) {
    joinRoom();
    Json::Value mute;
    mute["roomKey"] = "room1";
    mute["device"] = "microphone";
    mute["muted"] = true;
    send("/admin/portal/mute", mute);
    auto event = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_MUTED_SERVER_AUDIO_IN);
    ASSERT_TRUE(event);
    EXPECT_NE(event->as<VidyoClientOutMuted>().muted, 0);
    mute["device"] = "camera";
    send("/admin/portal/mute", mute);
    ASSERT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_MUTED_SERVER_VIDEO));

    VidyoClientMuteState state{};
    ASSERT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_MUTED_SERVER_AUDIO_IN, state));
    EXPECT_NE(state.muted, 0);
    ASSERT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_MUTED_AUDIO_IN, state));
    EXPECT_EQ(state.muted, 0) << "a server mute is not a local one";

    VidyoClientMuteFlag flag{1};
    ASSERT_TRUE(driver->send(VIDYO_CLIENT_IN_EVENT_MUTE_VIDEO, flag));
    event = driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_MUTED_VIDEO);
    ASSERT_TRUE(event);
    EXPECT_NE(event->as<VidyoClientOutMuted>().muted, 0);
    ASSERT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_MUTED_VIDEO, state));
    EXPECT_NE(state.muted, 0);

    send("/admin/portal/notice", Json::Value(Json::objectValue));
    EXPECT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_NOTICE));
}

TEST_F(VidyoClientPortal, ReceiveStatisticsFollowThePortalRates) {
    joinRoom();
    Json::Value rates;
    rates["roomKey"] = "room1";
    rates["width"] = 1920;
    rates["height"] = 1080;
    rates["videoKBitsPerSecRecv"] = 2000;
    rates["audioKBitsPerSecRecv"] = 64;
    rates["videoFrameRate"] = 25;
    rates["videoDecodedFrameRate"] = 24;
    rates["videoDisplayedFrameRate"] = 23;
    send("/admin/portal/rates", rates);
    auto list = std::make_unique<VidyoClientParticipantList>();
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_LIST, *list));
        if (list->numberParticipants > 0 && list->entries[0].width == 1920) {
            break;
        }
        // A participant change makes the next poll bring the new list.
        send("/admin/portal/notice", Json::Value(Json::objectValue));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Read at the byte offsets the terminal uses.
    const auto* entry = reinterpret_cast<const std::uint8_t*>(list.get()) + 8;
    const auto word = [entry](size_t offset) {
        std::int32_t v = 0;
        std::memcpy(&v, entry + offset, 4);
        return v;
    };
    EXPECT_EQ(word(396), 1920);
    EXPECT_EQ(word(400), 1080);
    EXPECT_EQ(word(404), 2000);
    EXPECT_EQ(word(408), 64);
    EXPECT_EQ(word(420), 25);
    EXPECT_EQ(word(424), 24);
    EXPECT_EQ(word(428), 0) << "nobody is pinned and nothing is drawn, so nothing is displayed";

    VidyoClientBandwidthInfo bandwidth{};
    ASSERT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_BANDWIDTH_INFO, bandwidth));
    EXPECT_EQ(bandwidth.actualRecvBwVideo, 2000u) << "only the others' video is received";
    EXPECT_EQ(bandwidth.actualRecvBwAudio, 64u);
    EXPECT_EQ(bandwidth.actualRecvBwMax, 2064u);
    EXPECT_GE(bandwidth.availRecvBwMax, bandwidth.actualRecvBwMax);
    EXPECT_EQ(bandwidth.actualSendBwMax, bandwidth.actualSendBwVideo + bandwidth.actualSendBwAudio);
    VidyoClientLocalVideoInfo local{};
    ASSERT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_LOCAL_VIDEO_INFO, local));
    EXPECT_GT(local.width, 0u);
    VidyoClientCpuUsage cpu{};
    ASSERT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_CPU_USAGE, cpu));
    EXPECT_LE(cpu.percent, 100u);

    VidyoClientMuteFlag off{1};
    ASSERT_TRUE(driver->send(VIDYO_CLIENT_IN_EVENT_MUTE_VIDEO, off));
    ASSERT_TRUE(driver->events.waitFor(VIDYO_CLIENT_OUT_EVENT_MUTED_VIDEO));
    ASSERT_TRUE(driver->request(VIDYO_CLIENT_REQUEST_GET_LOCAL_VIDEO_INFO, local));
    EXPECT_EQ(local.width, 0u) << "no own video with the camera muted";
}

}  // namespace
