// The conference session with the real conference client library against the real fenwix-sim
// portal over loopback; the main window is a test window with its own UI thread.
#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "conference/fenwixbaseserver.h"
#include "service/commonutil.h"
#include "service/mainwindowevents.h"
#include "support/logcapture.h"
#include "support/simprocess.h"
#include "support/tempfolder.h"
#include "support/testmainwindow.h"

using fenwixtest::SimProcess;

namespace {

constexpr int kPortalTimeoutMs = 1500;
constexpr int kWaitMs = 10000;

struct Received {
    unsigned msg = 0;
    std::uintptr_t wParam = 0;
    std::string json;
};

// What the main window received, in order, with a wait for the next of a kind.
class ReceivedLog {
public:
    std::intptr_t handle(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
        Received r{msg, wParam, {}};
        const bool text = msg == WM_CONF_CHAT || msg == WM_CONF_DEVICE_MUTE ||
                          msg == WM_CONF_FIX_RESULT || msg == WM_CONF_SOURCE_REMOVED;
        if (text && lParam != 0) {
            r.json = *reinterpret_cast<const std::string*>(lParam);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        all_.push_back(r);
        changed_.notify_all();
        return 0;
    }

    // The first message `msg` after those already taken by earlier waits.
    std::optional<Received> waitFor(unsigned msg, int timeoutMs = kWaitMs) {
        std::unique_lock<std::mutex> lock(mutex_);
        std::optional<Received> found;
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (std::size_t i = next_; i < all_.size(); ++i) {
                if (all_[i].msg == msg) {
                    found = all_[i];
                    next_ = i + 1;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    std::vector<unsigned> messages() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<unsigned> out;
        for (const auto& r : all_) {
            out.push_back(r.msg);
        }
        return out;
    }

    // The conference messages only (the ones the session's outcomes produce).
    std::vector<unsigned> outcomes() {
        std::vector<unsigned> out;
        for (const unsigned m : messages()) {
            if (m == WM_CONF_JOINED || m == WM_CONF_LOGGED_OUT || m == WM_CONF_LOGIN_FAILED ||
                m == WM_CONF_JOIN_FAILED || m == WM_CONF_LOGGED_OUT_QUEUED ||
                m == WM_CALL_DROPPED) {
                out.push_back(m);
            }
        }
        return out;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Received> all_;
    std::size_t next_ = 0;
};

Json::Value parse(const std::string& text) {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value out;
    std::string errors;
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &out, &errors)) << text;
    return out;
}

class ConferenceSession : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("VIDYO_CLIENT_PORTAL_TIMEOUT_MS", std::to_string(kPortalTimeoutMs).c_str(), 1);
        sim = std::make_unique<SimProcess>();
        ConfigSources sources;
        sources.registry = fenwix::platform::RegistryStore(folder.file("home"));
        sources.iniFolder = folder.file("ini");
        config = std::make_unique<CComConfig>(std::move(sources));
        window = std::make_shared<TestMainWindow>(
            [this](unsigned m, std::uintptr_t w, std::intptr_t l) { return log.handle(m, w, l); });
        publishMainWindow(window);
        session = std::make_unique<FenwixBaseServer>(config.get());
        ASSERT_TRUE(session->initVidyo(VideoWindow{0, 640, 360}));
    }

    void TearDown() override {
        if (session) {
            session->destroyVidyo();
            session.reset();
        }
        publishMainWindow(nullptr);
        window.reset();
        sim.reset();
    }

    std::unique_ptr<UserBean> user(const std::string& name, bool guest,
                                   const std::string& roomKey = "room1") const {
        auto u = std::make_unique<UserBean>();
        u->username = name;
        u->password = "pw";
        u->displayName = name + "教室";
        u->gDisplayName = name + "访客";
        u->roomKey = roomKey;
        u->portal = sim->baseUrl();
        u->guest = guest ? 1 : 0;
        return u;
    }

    void faults(const Json::Value& spec) const { sim->admin("POST", "/admin/portal/faults", spec); }
    Json::Value sessions() const {
        return sim->admin("GET", "/admin/portal")["portal"]["sessions"];
    }
    std::string teacherUri(const std::string& roomKey = "room1") const {
        return "teacher." + roomKey + "@fenwix-sim";
    }

    // Polls until `done` holds or the time is up.
    static bool eventually(const std::function<bool()>& done, int timeoutMs = kWaitMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    TempFolder folder;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<CComConfig> config;
    ReceivedLog log;
    std::shared_ptr<TestMainWindow> window;
    std::unique_ptr<FenwixBaseServer> session;
};

// A user logs in, joins, gets the teacher's curtain command as a chat, fixes the screen on the
// teacher and leaves.
TEST_F(ConferenceSession, UserJoinsGetsCurtainPinsTheTeacherAndLeaves) {
    session->pushUser(user("stu01", false));
    ASSERT_TRUE(log.waitFor(WM_CONF_JOINED));
    EXPECT_EQ(session->currentUser().state, USER_IN_CONFERENCE);
    EXPECT_TRUE(config->getConferenceJoined());
    EXPECT_FALSE(config->getIsGuest());
    Json::Value s = sessions();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0]["user"].asString(), "stu01");
    EXPECT_EQ(s[0]["displayName"].asString(), "stu01教室");

    Json::Value curtain;
    curtain["roomKey"] = "room1";
    curtain["status"] = 1;
    sim->admin("POST", "/admin/portal/curtain", curtain);
    const auto chat = log.waitFor(WM_CONF_CHAT);
    ASSERT_TRUE(chat);
    const Json::Value c = parse(chat->json);
    EXPECT_EQ(c["uri"].asString(), teacherUri());
    EXPECT_EQ(c["displayName"].asString(), "张老师");
    EXPECT_EQ(c["type"].asInt(), 1);
    EXPECT_EQ(parse(c["msg"].asString())["status"].asInt(), 1);
    EXPECT_EQ(chat->json.back(), '\n');
    EXPECT_NE(chat->json.find("张老师"), std::string::npos) << "UTF-8 kept, not escaped";

    session->pinParticipant(c["uri"].asString(), true);
    const auto fix = log.waitFor(WM_CONF_FIX_RESULT);
    ASSERT_TRUE(fix);
    const Json::Value f = parse(fix->json);
    EXPECT_TRUE(f["success"].asBool());
    EXPECT_EQ(f["mode"].asInt(), 2);

    EXPECT_EQ(session->exitConference(), 1);
    ASSERT_TRUE(log.waitFor(WM_CONF_LOGGED_OUT));
    EXPECT_EQ(session->currentUser().state, USER_IDLE);
    EXPECT_EQ(log.outcomes(), (std::vector<unsigned>{WM_CONF_JOINED, WM_CONF_LOGGED_OUT}));
    EXPECT_TRUE(eventually([&] { return sessions().size() == 0; }));
}

TEST_F(ConferenceSession, PinRefusedByThePortalIsAFailedFix) {
    session->pushUser(user("g", true));
    ASSERT_TRUE(log.waitFor(WM_CONF_JOINED));
    Json::Value spec;
    spec["pin"] = "fail";
    faults(spec);
    session->pinParticipant(teacherUri(), true);
    const auto fix = log.waitFor(WM_CONF_FIX_RESULT);
    ASSERT_TRUE(fix);
    EXPECT_EQ(fix->json, "{\"success\":false}\n");
}

TEST_F(ConferenceSession, GuestJoinsWithoutLogIn) {
    session->pushUser(user("g1", true));
    ASSERT_TRUE(log.waitFor(WM_CONF_JOINED));
    EXPECT_TRUE(config->getIsGuest());
    const Json::Value s = sessions();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_TRUE(s[0]["guest"].asBool());
    EXPECT_EQ(session->exitConference(), 1);
    ASSERT_TRUE(log.waitFor(WM_CONF_LOGGED_OUT));
    EXPECT_EQ(log.outcomes(), (std::vector<unsigned>{WM_CONF_JOINED, WM_CONF_LOGGED_OUT}));
}

TEST_F(ConferenceSession, RecordPushedWhileLinkingWaitsForTheOutcome) {
    Json::Value hang;
    hang["link"] = "hang";
    faults(hang);
    session->pushUser(user("first", true));
    ASSERT_TRUE(eventually([&] { return session->currentUser().state == USER_LINKING; }));
    session->pushUser(user("second", false, "room2"));
    EXPECT_EQ(session->pendingCount(), 1u);
    // Clearing the fault releases the held link as a failure: a guest's failed link with a record
    // waiting is not reported; the second record enters.
    Json::Value clear;
    clear["link"] = Json::nullValue;
    faults(clear);
    ASSERT_TRUE(log.waitFor(WM_CONF_JOINED));
    EXPECT_EQ(log.outcomes(), std::vector<unsigned>{WM_CONF_JOINED});
    EXPECT_EQ(session->currentUser().username, "second");
    EXPECT_TRUE(eventually([&] {
        const Json::Value s = sessions();
        return s.size() == 1u && s[0]["roomKey"].asString() == "room2";
    }));
}

TEST_F(ConferenceSession, RecordPushedInConferenceLogsOutThenEnters) {
    session->pushUser(user("first", false));
    ASSERT_TRUE(log.waitFor(WM_CONF_JOINED));
    session->pushUser(user("second", true, "room2"));
    ASSERT_TRUE(log.waitFor(WM_CONF_LOGGED_OUT_QUEUED));
    ASSERT_TRUE(log.waitFor(WM_CONF_JOINED));
    EXPECT_EQ(log.outcomes(),
              (std::vector<unsigned>{WM_CONF_JOINED, WM_CONF_LOGGED_OUT_QUEUED, WM_CONF_JOINED}));
    EXPECT_EQ(session->currentUser().username, "second");
    EXPECT_TRUE(config->getIsGuest());
}

TEST_F(ConferenceSession, LoginRefusedWithNothingPending) {
    Json::Value refuse;
    refuse["login"] = "refuse";
    faults(refuse);
    session->pushUser(user("stu", false));
    ASSERT_TRUE(log.waitFor(WM_CONF_LOGIN_FAILED));
    EXPECT_EQ(session->currentUser().state, USER_LOGIN_FAILED);
}

TEST_F(ConferenceSession, LoginRefusedWithARecordPendingStartsItWithoutReporting) {
    // The log-in is held until both records are queued, then refused.
    Json::Value hang;
    hang["login"] = "hang";
    faults(hang);
    session->pushUser(user("stu", false));
    session->pushUser(user("guest", true));
    ASSERT_EQ(session->pendingCount(), 1u);
    Json::Value refuse;
    refuse["login"] = "refuse";
    faults(refuse);
    ASSERT_TRUE(log.waitFor(WM_CONF_JOINED));
    EXPECT_EQ(log.outcomes(), std::vector<unsigned>{WM_CONF_JOINED});
    EXPECT_EQ(session->currentUser().username, "guest");
}

TEST_F(ConferenceSession, LinkFailedWithNothingPending) {
    Json::Value fail;
    fail["link"] = "fail";
    faults(fail);
    session->pushUser(user("g", true));
    ASSERT_TRUE(log.waitFor(WM_CONF_JOIN_FAILED));
    EXPECT_EQ(session->currentUser().state, USER_LINK_FAILED);
}

TEST_F(ConferenceSession, UserLinkFailedWithARecordPendingLogsOutFirst) {
    // The link is held until both records are queued, then refused.
    Json::Value hang;
    hang["link"] = "hang";
    faults(hang);
    session->pushUser(user("stu", false));
    session->pushUser(user("next", true));
    ASSERT_TRUE(eventually([&] { return session->currentUser().state == USER_LINKING; }));
    Json::Value fail;
    fail["link"] = "fail";
    faults(fail);
    // The user leaves and logs out (3010), then the queued guest runs into the same refusal
    // with nothing left behind it (3008).
    ASSERT_TRUE(log.waitFor(WM_CONF_JOIN_FAILED));
    EXPECT_EQ(log.outcomes(),
              (std::vector<unsigned>{WM_CONF_LOGGED_OUT_QUEUED, WM_CONF_JOIN_FAILED}));
    EXPECT_EQ(session->currentUser().username, "next");
}

TEST_F(ConferenceSession, PortalNeverAnsweringTheLoginEndsInAFailure) {
    Json::Value hang;
    hang["login"] = "hang";
    faults(hang);
    session->pushUser(user("stu", false));
    ASSERT_TRUE(log.waitFor(WM_CONF_LOGIN_FAILED, kPortalTimeoutMs + 8000));
}

TEST_F(ConferenceSession, ForceGuestWhileTheLoginIsUnderWay) {
    LogCapture capture;
    Json::Value hang;
    hang["login"] = "hang";
    faults(hang);
    session->pushUser(user("stu", false));
    ASSERT_EQ(session->currentUser().state, USER_LOGGING_IN);
    session->forceGuestLogin();
    ASSERT_TRUE(log.waitFor(WM_CONF_JOINED));
    const UserBean current = session->currentUser();
    EXPECT_EQ(current.guest, 1);
    EXPECT_EQ(current.displayName, "stu访客");
    EXPECT_TRUE(config->getIsGuest());
    EXPECT_TRUE(eventually([&] {
        for (const auto& s : sessions()) {
            if (s["guest"].asBool() && s["displayName"].asString() == "stu访客") {
                return true;
            }
        }
        return false;
    }));
    // Whatever the abandoned log-in turns into (late success or time-out), the guest stays.
    Json::Value clear;
    clear["login"] = Json::nullValue;
    faults(clear);
    std::this_thread::sleep_for(std::chrono::milliseconds(kPortalTimeoutMs + 500));
    EXPECT_EQ(session->currentUser().state, USER_IN_CONFERENCE);
    EXPECT_EQ(capture.count("开始link会议"), 1u);
}

TEST_F(ConferenceSession, ExitWhileTheLoginIsUnderWayEndsLoggedOutNotInTheRoom) {
    Json::Value hang;
    hang["login"] = "hang";
    faults(hang);
    session->pushUser(user("stu", false));
    ASSERT_EQ(session->currentUser().state, USER_LOGGING_IN);
    EXPECT_EQ(session->exitConference(), 1);
    Json::Value clear;
    clear["login"] = Json::nullValue;
    faults(clear);
    ASSERT_TRUE(log.waitFor(WM_CONF_LOGGED_OUT));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(log.outcomes(), std::vector<unsigned>{WM_CONF_LOGGED_OUT});
    EXPECT_EQ(session->currentUser().state, USER_IDLE);
    EXPECT_TRUE(eventually([&] {
        for (const auto& s : sessions()) {
            if (!s["roomKey"].asString().empty()) {
                return false;
            }
        }
        return true;
    }));
}

// A leave while the room link is under way, whatever the link then turns into: logged out and
// idle, never in the class (3000) and never a failure that would start the guest attempt (3008).
struct LeaveWhileLinkingCase {
    const char* name;
    bool guest;
    const char* lateLinkFault;  // the faults once the leave was taken: null = the link succeeds
};

class LeaveWhileLinking : public ConferenceSession,
                          public ::testing::WithParamInterface<LeaveWhileLinkingCase> {};

TEST_P(LeaveWhileLinking, EndsLoggedOutAndIdle) {
    const LeaveWhileLinkingCase& c = GetParam();
    Json::Value hold;
    hold["link"] = "hold";
    faults(hold);
    session->pushUser(user("stu", c.guest));
    ASSERT_TRUE(eventually([&] { return session->currentUser().state == USER_LINKING; }));
    // The portal holds the link until the faults change, so its outcome comes after the leave.
    EXPECT_EQ(session->exitConference(), 1);
    Json::Value late;
    late["link"] = c.lateLinkFault == nullptr ? Json::Value() : Json::Value(c.lateLinkFault);
    faults(late);
    ASSERT_TRUE(log.waitFor(WM_CONF_LOGGED_OUT));
    EXPECT_TRUE(eventually([&] { return sessions().empty(); })) << sessions().toStyledString();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(log.outcomes(), std::vector<unsigned>{WM_CONF_LOGGED_OUT});
    EXPECT_EQ(session->currentUser().state, USER_IDLE);
    EXPECT_FALSE(config->getInConference());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, LeaveWhileLinking,
    ::testing::Values(LeaveWhileLinkingCase{"UserLinkSucceeds", false, nullptr},
                      LeaveWhileLinkingCase{"UserLinkFails", false, "fail"},
                      LeaveWhileLinkingCase{"GuestLinkSucceeds", true, nullptr},
                      LeaveWhileLinkingCase{"GuestLinkFails", true, "fail"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConferenceSession, ExitWhileIdleDoesNothing) {
    EXPECT_EQ(session->exitConference(), -1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(log.messages().empty());
}

struct DropCase {
    const char* name;
    bool sessionStillInConference;
    std::vector<unsigned> outcomes;
};

class CallDrop : public ConferenceSession, public ::testing::WithParamInterface<DropCase> {};

TEST_P(CallDrop, ReportedOnlyWhileInConference) {
    LogCapture capture;
    session->pushUser(user("g", true));
    ASSERT_TRUE(log.waitFor(WM_CONF_JOINED));
    // As after a decision of the session to leave whose answer has not come yet.
    config->setInConference(GetParam().sessionStillInConference);
    Json::Value drop;
    drop["roomKey"] = "room1";
    sim->admin("POST", "/admin/portal/drop", drop);
    ASSERT_TRUE(eventually([&] { return capture.contains("会议（call）状态改变: 0"); }));
    if (GetParam().sessionStillInConference) {
        ASSERT_TRUE(log.waitFor(WM_CALL_DROPPED));
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    EXPECT_EQ(log.outcomes(), GetParam().outcomes);
}

INSTANTIATE_TEST_SUITE_P(
    States, CallDrop,
    ::testing::Values(DropCase{"InConference", true, {WM_CONF_JOINED, WM_CALL_DROPPED}},
                      DropCase{"LeavingAlready", false, {WM_CONF_JOINED}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConferenceSession, RoomEventsReachTheMainWindow) {
    session->pushUser(user("g", true));
    ASSERT_TRUE(log.waitFor(WM_CONF_JOINED));
    Json::Value mute;
    mute["device"] = "microphone";
    mute["muted"] = true;
    mute["roomKey"] = "room1";
    sim->admin("POST", "/admin/portal/mute", mute);
    const auto muted = log.waitFor(WM_CONF_DEVICE_MUTE);
    ASSERT_TRUE(muted);
    EXPECT_EQ(muted->json, "{\"device\":1,\"error\":0,\"from\":1,\"mute\":true}\n");

    Json::Value room;
    room["roomKey"] = "room1";
    sim->admin("POST", "/admin/portal/source-removed", room);
    const auto removed = log.waitFor(WM_CONF_SOURCE_REMOVED);
    ASSERT_TRUE(removed);
    EXPECT_EQ(parse(removed->json)["uri"].asString(), teacherUri());

    sim->admin("POST", "/admin/portal/notice", room);
    const auto notice = log.waitFor(WM_NOTICE);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->wParam, 18u);
}

TEST_F(ConferenceSession, StatusDocumentCarriesTheTeachersRates) {
    session->pushUser(user("g", true));
    ASSERT_TRUE(log.waitFor(WM_CONF_JOINED));
    Json::Value rates;
    rates["roomKey"] = "room1";
    rates["width"] = 1280;
    rates["height"] = 720;
    rates["videoKBitsPerSecRecv"] = 800;
    sim->admin("POST", "/admin/portal/rates", rates);
    Json::Value doc;
    ASSERT_TRUE(eventually([&] {
        doc = parse(session->buildConferenceStatusJson(teacherUri()));
        return doc["participantRateArray"].size() == 1u &&
               doc["participantRateArray"][0]["width"].asInt() == 1280;
    })) << doc.toStyledString();
    EXPECT_EQ(doc["participantRateArray"][0]["name"].asString(), "张老师");
    EXPECT_EQ(doc["participantRateArray"][0]["videoKBitsPerSecRecv"].asInt(), 800);
    EXPECT_EQ(doc["roomkey"].asString(), "room1");
    EXPECT_EQ(doc["isGuest"].asInt(), 1);
    EXPECT_EQ(session->getParticipantId().empty(), false);
    EXPECT_NE(session->getParticipantId(), "-1");
}

}  // namespace
