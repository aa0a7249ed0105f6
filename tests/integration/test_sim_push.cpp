// fenwix-sim's push-poll service: tokens, the long-polled data request, queued commands.
#include "support/simprocess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using fenwixtest::simParseJson;
using fenwixtest::SimProcess;
using fenwixtest::terminalRequest;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kHoldMs = 1500;
const char kPushKeys[] =
    "appkey=C7a2e49d0b15c46f3a8e92d5b01c7f6e4&appsecret=C5d8b13f06e2a4c97b1f3e8a20d6c5b91";

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SimPush : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim_ = std::make_unique<SimProcess>(
            std::vector<std::string>{"--hold-ms", std::to_string(kHoldMs)});
    }
    static void TearDownTestSuite() { sim_.reset(); }
    void SetUp() override { sim_->reset(); }

    static Json::Value get(const std::string& target) {
        auto reply = terminalRequest(sim_->port(), "GET", target, "", 20000);
        EXPECT_TRUE(reply.ok) << target;
        EXPECT_EQ(reply.status, 200) << target;
        return reply.ok ? simParseJson(reply.body) : Json::Value();
    }

    static std::string token(const std::string& userId) {
        const Json::Value r = get(std::string("/api/register?") + kPushKeys + "&userid=" + userId);
        EXPECT_TRUE(r["success"].asBool());
        return r["payload"]["token"].asString();
    }

    static Json::Value getData(const std::string& tok, const std::string& userId) {
        return get("/api/getData?token=" + tok + "&userid=" + userId);
    }

    static Json::Value command(const char* type) {
        Json::Value m;
        m["type"] = type;
        return m;
    }

    static std::unique_ptr<SimProcess> sim_;
};
std::unique_ptr<SimProcess> SimPush::sim_;

struct RefusedRegistration {
    const char* name;
    const char* query;
};

class SimPushRegistrationRefused : public SimPush,
                                   public ::testing::WithParamInterface<RefusedRegistration> {};

TEST_P(SimPushRegistrationRefused, AnswersSuccessFalseWithoutAToken) {
    const Json::Value r = get(std::string("/api/register?") + GetParam().query);
    ASSERT_TRUE(r["success"].isBool());
    EXPECT_FALSE(r["success"].asBool());
    EXPECT_FALSE(r["payload"]["token"].isString());
    EXPECT_FALSE(r["message"].asString().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SimPushRegistrationRefused,
    ::testing::Values(RefusedRegistration{"WrongAppKey",
                                          "appkey=C0000000000000000000000000000000&appsecret="
                                          "C5d8b13f06e2a4c97b1f3e8a20d6c5b91&userid=UDSK_a1"},
                      RefusedRegistration{
                          "WrongSecret",
                          "appkey=C7a2e49d0b15c46f3a8e92d5b01c7f6e4&appsecret=x&userid=UDSK_a1"},
                      RefusedRegistration{"NoKeys", "userid=UDSK_a1"},
                      RefusedRegistration{"NoUser",
                                          "appkey=C7a2e49d0b15c46f3a8e92d5b01c7f6e4&appsecret="
                                          "C5d8b13f06e2a4c97b1f3e8a20d6c5b91"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimPush, DataRequestWithATokenOfAnotherUserOrNoneIsRefused) {
    const std::string mine = token("UDSK_a1");
    EXPECT_FALSE(getData(mine, "UDSK_b2")["success"].asBool());
    EXPECT_FALSE(getData("made-up", "UDSK_a1")["success"].asBool());
    EXPECT_FALSE(getData("", "UDSK_a1")["success"].asBool());
}

TEST_F(SimPush, WithoutACommandTheRequestIsHeldThenAnsweredWithoutOne) {
    const std::string tok = token("UDSK_h1");
    const auto start = Clock::now();
    const Json::Value r = getData(tok, "UDSK_h1");
    EXPECT_GE(msSince(start), kHoldMs - 50);
    EXPECT_TRUE(r["success"].asBool());
    EXPECT_FALSE(r["payload"]["type"].isString());
}

// The times are on the machine's monotonic clock, which a benchmark process reads as well.
TEST_F(SimPush, RecordedRequestsCarryWhenTheyArrivedAndWhenTheirReplyLeft) {
    const auto micros = [] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   Clock::now().time_since_epoch())
            .count();
    };
    const std::string tok = token("UDSK_t1");
    const long long before = micros();
    getData(tok, "UDSK_t1");
    const long long after = micros();
    const Json::Value recorded = sim_->requests("/api/getData");
    ASSERT_GE(recorded.size(), 1u);
    const Json::Value& last = recorded[recorded.size() - 1];
    const long long arrived = last["arrivedUs"].asInt64();
    const long long replied = last["repliedUs"].asInt64();
    EXPECT_GE(arrived, before);
    EXPECT_LE(replied, after);
    EXPECT_GE(replied - arrived, (kHoldMs - 50) * 1000LL) << "the held poll's reply left late";
}

TEST_F(SimPush, AQueuedCommandIsAnsweredAtOnce) {
    const std::string tok = token("UDSK_q1");
    Json::Value login = command("vLogin");
    login["data"]["roomId"] = "R7";
    login["data"]["logintype"] = "4";
    sim_->push("UDSK_q1", login);
    const auto start = Clock::now();
    const Json::Value r = getData(tok, "UDSK_q1");
    EXPECT_LT(msSince(start), kHoldMs / 2);
    EXPECT_TRUE(r["success"].asBool());
    EXPECT_EQ(r["payload"]["type"].asString(), "vLogin");
    EXPECT_EQ(r["payload"]["data"]["roomId"].asString(), "R7");
    EXPECT_EQ(r["payload"]["data"]["logintype"].asString(), "4");
}

TEST_F(SimPush, ACommandQueuedDuringTheHoldEndsItEarly) {
    const std::string tok = token("UDSK_w1");
    sim_->admin("POST", "/admin/settings", simParseJson(R"({"holdMs":8000})"));
    const auto start = Clock::now();
    auto pending = std::async(std::launch::async, [&] { return getData(tok, "UDSK_w1"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sim_->push("UDSK_w1", command("vLogout"));
    const Json::Value r = pending.get();
    sim_->admin("POST", "/admin/settings", simParseJson(R"({"holdMs":1500})"));
    EXPECT_LT(msSince(start), 4000);
    EXPECT_EQ(r["payload"]["type"].asString(), "vLogout");
}

TEST_F(SimPush, CommandsArriveInOrderOnePerReplyAndOnlyForTheirUser) {
    const std::string a = token("UDSK_o1");
    const std::string b = token("UDSK_o2");
    Json::Value volume = command("desktopRoomCmd");
    volume["data"]["fenwixcmd"] = "micVolumnChange";
    volume["data"]["volumn"] = "70";
    sim_->push("UDSK_o1", volume);
    sim_->push("UDSK_o1", command("vUpdate"));
    EXPECT_EQ(getData(a, "UDSK_o1")["payload"]["data"]["volumn"].asString(), "70");
    EXPECT_EQ(getData(a, "UDSK_o1")["payload"]["type"].asString(), "vUpdate");
    EXPECT_FALSE(getData(b, "UDSK_o2")["payload"]["type"].isString());
}

TEST_F(SimPush, RawPayloadIsDeliveredAsGiven) {
    const std::string tok = token("UDSK_r1");
    sim_->admin("POST", "/admin/push",
                simParseJson(R"({"userId":"UDSK_r1","payload":{"type":5}})"));
    EXPECT_EQ(getData(tok, "UDSK_r1")["payload"]["type"].asInt(), 5);
}

TEST_F(SimPush, CommandForADeviceGoesToThePushKeyOfItsLatestRegistration) {
    ASSERT_TRUE(terminalRequest(sim_->port(), "POST", "/api/business/app/register",
                                "appkey=k&devicekey=DSK_dv&uniqueno=dv&clientversion=20190128&"
                                "pushkey=UDSK_dv42&pushType=zorbel&eid=e&localTime=1&isfirst=true")
                    .ok);
    const std::string tok = token("UDSK_dv42");
    Json::Value byDevice = command("vLogout");
    byDevice["deviceKey"] = "DSK_dv";
    sim_->admin("POST", "/admin/push", byDevice);
    EXPECT_EQ(getData(tok, "UDSK_dv42")["payload"]["type"].asString(), "vLogout");

    Json::Value unknown = command("vLogout");
    unknown["deviceKey"] = "DSK_none";
    EXPECT_THROW(sim_->admin("POST", "/admin/push", unknown), std::runtime_error);
}

TEST_F(SimPush, ExpiredTokensAreRefusedUntilTheTerminalRegistersAgain) {
    const std::string old = token("UDSK_x1");
    sim_->admin("POST", "/admin/push/expire", simParseJson(R"({"userId":"UDSK_x1"})"));
    EXPECT_FALSE(getData(old, "UDSK_x1")["success"].asBool());
    sim_->push("UDSK_x1", command("vUpdate"));
    const std::string fresh = token("UDSK_x1");
    EXPECT_EQ(getData(fresh, "UDSK_x1")["payload"]["type"].asString(), "vUpdate");
}

TEST_F(SimPush, FiftyHeldPollsDoNotStallOtherRequests) {
    constexpr int kTerminals = 50;
    std::vector<std::string> tokens;
    for (int i = 0; i < kTerminals; ++i) {
        tokens.push_back(token("UDSK_many" + std::to_string(i)));
    }
    sim_->admin("POST", "/admin/settings", simParseJson(R"({"holdMs":6000})"));
    std::vector<std::future<Json::Value>> polls;
    for (int i = 0; i < kTerminals; ++i) {
        polls.push_back(std::async(std::launch::async, [&, i] {
            return getData(tokens[i], "UDSK_many" + std::to_string(i));
        }));
    }
    // Wait until every poll is held by the sim.
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    int waiting = 0;
    while (Clock::now() < deadline && waiting < kTerminals) {
        waiting = 0;
        const Json::Value users = sim_->admin("GET", "/admin/push")["users"];
        for (const auto& u : users) {
            waiting += u["waiting"].asInt();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(waiting, kTerminals);

    const auto start = Clock::now();
    auto ping = terminalRequest(sim_->port(), "POST", "/api/business/desktop/ping", "", 3000);
    EXPECT_TRUE(ping.ok);
    EXPECT_LT(msSince(start), 1500);
    sim_->push("UDSK_many7", command("vLogout"));
    EXPECT_EQ(polls[7].get()["payload"]["type"].asString(), "vLogout");
    sim_->admin("POST", "/admin/settings", simParseJson(R"({"holdMs":1500})"));
    for (auto& p : polls) {
        if (p.valid()) {
            p.wait();
        }
    }
}

TEST_F(SimPush, DownDropsHeldPollsAtOnce) {
    const std::string tok = token("UDSK_dn");
    const auto start = Clock::now();
    auto pending = std::async(std::launch::async, [&] {
        return terminalRequest(sim_->port(), "GET", "/api/getData?token=" + tok + "&userid=UDSK_dn",
                               "", 20000);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sim_->down(300);
    EXPECT_FALSE(pending.get().ok);
    EXPECT_LT(msSince(start), kHoldMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
}

TEST(SimPushShutdown, EndsPromptlyAndCleanlyWhilePollsAndDelaysAreHeld) {
    SimProcess sim({"--hold-ms", "20000"});
    const Json::Value reg =
        simParseJson(terminalRequest(sim.port(), "GET",
                                     std::string("/api/register?") + kPushKeys + "&userid=U1", "")
                         .body);
    const std::string tok = reg["payload"]["token"].asString();
    auto poll = std::async(std::launch::async, [&] {
        return terminalRequest(sim.port(), "GET", "/api/getData?token=" + tok + "&userid=U1", "",
                               30000);
    });
    Json::Value slow;
    slow["path"] = "/api/business/desktop/ping";
    slow["delayMs"] = 60000;
    sim.setReply(slow);
    auto delayed = std::async(std::launch::async, [&] {
        return terminalRequest(sim.port(), "POST", "/api/business/desktop/ping", "", 30000);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = Clock::now();
    EXPECT_TRUE(sim.stop());
    EXPECT_LT(msSince(start), 2000);
    poll.wait();
    delayed.wait();
}

}  // namespace
