// fenwix-sim's conference portal face: its own calls over HTTP, the admin calls that steer it,
// and the portal address it hands out.
#include "support/simprocess.h"

#include <gtest/gtest.h>

#include <future>

using fenwixtest::simJsonText;
using fenwixtest::simParseJson;
using fenwixtest::SimProcess;

namespace {

class SimPortal : public ::testing::Test {
protected:
    // A portal call the way the conference library makes it; status and parsed body.
    std::pair<int, Json::Value> call(const std::string& path, const Json::Value& body,
                                     int timeoutSec = 10) const {
        auto c = sim.client(timeoutSec);
        auto r = c.Post(path.c_str(), simJsonText(body), "application/json");
        if (!r) {
            return {0, Json::Value()};
        }
        Json::Value parsed;
        try {
            parsed = simParseJson(r->body);
        } catch (const std::exception&) {
            parsed = Json::Value(r->body);
        }
        return {r->status, parsed};
    }
    Json::Value events(const std::string& session, int waitMs = 0) const {
        auto c = sim.client();
        auto r = c.Get(
            ("/portal/events?session=" + session + "&waitMs=" + std::to_string(waitMs)).c_str());
        return r ? simParseJson(r->body) : Json::Value();
    }
    std::string loginSession(const std::string& user = "student01") const {
        Json::Value body;
        body["user"] = user;
        body["password"] = "pw";
        return call("/portal/login", body).second["session"].asString();
    }
    std::string linkSession(const std::string& session, const std::string& room = "room1") const {
        Json::Value body;
        body["session"] = session;
        body["roomKey"] = room;
        body["displayName"] = "一号教室";
        return call("/portal/link", body).second["session"].asString();
    }
    Json::Value portal() const { return sim.admin("GET", "/admin/portal")["portal"]; }

    SimProcess sim;
};

struct BadAdminCall {
    const char* path;
    const char* body;
};

class SimPortalAdminInput : public SimPortal, public ::testing::WithParamInterface<BadAdminCall> {};

TEST_P(SimPortalAdminInput, IsRefusedWithAReason) {
    auto c = sim.client();
    auto r = c.Post(GetParam().path, GetParam().body, "application/json");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 400) << GetParam().path << " " << GetParam().body;
    const Json::Value reply = simParseJson(r->body);
    EXPECT_FALSE(reply["ok"].asBool());
    EXPECT_FALSE(reply["error"].asString().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Admin, SimPortalAdminInput,
    ::testing::Values(BadAdminCall{"/admin/portal/faults", R"({"login":"sometimes"})"},
                      BadAdminCall{"/admin/portal/faults", R"({"loginError":0})"},
                      BadAdminCall{"/admin/portal/faults", R"({"pin":"maybe"})"},
                      BadAdminCall{"/admin/portal/mute", R"({"device":"speaker","muted":true})"},
                      BadAdminCall{"/admin/portal/mute", R"({"device":"camera"})"},
                      BadAdminCall{"/admin/portal/curtain", R"({"roomKey":"r"})"},
                      BadAdminCall{"/admin/portal/chat", R"({"roomKey":"r"})"},
                      BadAdminCall{"/admin/portal/chat", R"({"session":"S999","message":"x"})"},
                      BadAdminCall{"/admin/portal/rates", R"({"roomKey":"none","width":1})"},
                      BadAdminCall{"/admin/portal/accounts", R"({"password":"x"})"},
                      BadAdminCall{"/admin/portal/participants", R"({"roomKey":"r"})"},
                      BadAdminCall{"/admin/portal/rooms", R"({"open":"yes"})"},
                      BadAdminCall{"/admin/portal/drop", "not json"}));

TEST_F(SimPortal, UserAndGuestSessionsJoinAndLeave) {
    const std::string user = loginSession();
    ASSERT_FALSE(user.empty());
    EXPECT_EQ(linkSession(user), user) << "a logged-in user links with its own session";

    Json::Value guest;
    guest["roomKey"] = "room1";
    guest["displayName"] = "访客";
    const std::string guestSession = call("/portal/link", guest).second["session"].asString();
    ASSERT_FALSE(guestSession.empty());
    EXPECT_NE(guestSession, user);

    Json::Value list = events(user)["participants"];
    ASSERT_EQ(list.size(), 3u) << "teacher, user, guest";
    EXPECT_EQ(list[0]["name"].asString(), "张老师");
    EXPECT_TRUE(events(user)["inRoom"].asBool());
    EXPECT_EQ(events(user, 0)["events"].size(), 0u) << "the guest's arrival was taken already";

    Json::Value leave;
    leave["session"] = guestSession;
    EXPECT_TRUE(call("/portal/leave", leave).second["ok"].asBool());
    EXPECT_EQ(events(guestSession)["ok"].asBool(), false) << "a guest's session ends with its room";
    const Json::Value changed = events(user)["events"];
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0]["type"].asString(), "participantsChanged");

    Json::Value logout;
    logout["session"] = user;
    call("/portal/logout", logout);
    EXPECT_EQ(portal()["sessions"].size(), 0u);
}

TEST_F(SimPortal, LongPollAnswersAsSoonAsAnEventComes) {
    const std::string session = loginSession();
    linkSession(session);
    auto pending = std::async(std::launch::async, [&] { return events(session, 20000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Json::Value curtain;
    curtain["session"] = session;
    curtain["status"] = 0;
    EXPECT_EQ(sim.admin("POST", "/admin/portal/curtain", curtain)["delivered"].asInt(), 1);
    ASSERT_EQ(pending.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    const Json::Value got = pending.get()["events"];
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0]["type"].asString(), "chat");
    EXPECT_EQ(got[0]["message"].asString(), "{\"status\":0}");
    EXPECT_EQ(got[0]["uri"].asString(), "teacher.room1@fenwix-sim");
}

TEST_F(SimPortal, NeverAnsweringLogInIsReleasedWhenTheFaultIsCleared) {
    Json::Value hang;
    hang["login"] = "hang";
    sim.admin("POST", "/admin/portal/faults", hang);
    Json::Value body;
    body["user"] = "student01";
    auto held = std::async(std::launch::async, [&] { return call("/portal/login", body, 30); });
    EXPECT_EQ(held.wait_for(std::chrono::milliseconds(700)), std::future_status::timeout)
        << "held while the fault is on";
    Json::Value clear;
    clear["login"] = Json::Value();
    sim.admin("POST", "/admin/portal/faults", clear);
    ASSERT_EQ(held.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_NE(held.get().first, 200);
    EXPECT_FALSE(loginSession().empty()) << "log-ins work again";
}

TEST_F(SimPortal, ClosedAccountsAndRoomsRefuseStrangers) {
    Json::Value closed;
    closed["open"] = false;
    closed["user"] = "known";
    closed["password"] = "pw";
    sim.admin("POST", "/admin/portal/accounts", closed);
    EXPECT_TRUE(loginSession("stranger").empty());
    const std::string known = loginSession("known");
    ASSERT_FALSE(known.empty());

    Json::Value rooms;
    rooms["open"] = false;
    rooms["roomKey"] = "listed";
    sim.admin("POST", "/admin/portal/rooms", rooms);
    Json::Value link;
    link["session"] = known;
    link["roomKey"] = "unlisted";
    EXPECT_EQ(call("/portal/link", link).second["error"].asInt(), 5);
    EXPECT_EQ(linkSession(known, "listed"), known);
}

TEST_F(SimPortal, PlanRoomAndPushedLogInPointAtTheSimItself) {
    Json::Value plan;
    plan["deviceKey"] = "DSK_plan";
    plan["guest"] = true;
    sim.admin("POST", "/admin/portal/planroom", plan);
    const auto reply = fenwixtest::terminalRequest(
        sim.port(), "POST", "/api/business/desktop/enterRoom", "deviceKey=DSK_plan");
    ASSERT_TRUE(reply.ok);
    const Json::Value payload = simParseJson(reply.body)["payload"];
    EXPECT_TRUE(payload["valid"].asBool());
    EXPECT_EQ(payload["data"]["portal"].asString(), sim.baseUrl());
    EXPECT_EQ(payload["data"]["logintype"].asInt(), 2);

    Json::Value push;
    push["userId"] = "UDSK_1";
    push["type"] = "vLogin";
    push["data"]["roomKey"] = "room1";
    sim.admin("POST", "/admin/push", push);
    push["data"]["portal"] = "http://elsewhere";
    sim.admin("POST", "/admin/push", push);
    const Json::Value pending = sim.admin("GET", "/admin/push")["users"][0]["pending"];
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0]["data"]["portal"].asString(), sim.baseUrl());
    EXPECT_EQ(pending[1]["data"]["portal"].asString(), "http://elsewhere") << "a given one stays";
    EXPECT_EQ(sim.admin("GET", "/admin/portal")["address"].asString(), sim.baseUrl());
}

TEST_F(SimPortal, ResetForgetsSessionsAndFaultsAndHelpListsThePortal) {
    linkSession(loginSession());
    Json::Value fail;
    fail["pin"] = "fail";
    sim.admin("POST", "/admin/portal/faults", fail);
    sim.reset();
    EXPECT_EQ(portal()["sessions"].size(), 0u);
    EXPECT_EQ(portal()["faults"]["pin"].asString(), "success");

    auto c = sim.client();
    auto help = c.Get("/admin/help");
    ASSERT_TRUE(help);
    for (const char* call : {"/admin/portal/curtain", "/admin/portal/faults", "/admin/portal/drop",
                             "/admin/portal/planroom", "/portal/events"}) {
        EXPECT_NE(help->body.find(call), std::string::npos) << call;
    }
}

}  // namespace
