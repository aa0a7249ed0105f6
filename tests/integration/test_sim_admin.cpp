// fenwix-sim's admin API: canned replies and faults, request recording, down periods, CLI.
#include "support/simprocess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

using fenwixtest::rawExchange;
using fenwixtest::RawReply;
using fenwixtest::simBase64Decode;
using fenwixtest::simParseJson;
using fenwixtest::SimProcess;
using fenwixtest::terminalRequest;

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SimAdmin : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sim_ = std::make_unique<SimProcess>(); }
    static void TearDownTestSuite() { sim_.reset(); }
    void SetUp() override { sim_->reset(); }
    static std::unique_ptr<SimProcess> sim_;
};
std::unique_ptr<SimProcess> SimAdmin::sim_;

// --- canned replies -------------------------------------------------------------------------

struct CannedCase {
    const char* name;
    const char* spec;  // JSON without the path
    int status;
    std::string body;
    const char* header;  // "Name: value" expected in the reply head, or ""
};

class SimCannedReply : public SimAdmin, public ::testing::WithParamInterface<CannedCase> {};

TEST_P(SimCannedReply, ReplacesTheBuiltInReplyOfThatPathForAnyMethod) {
    const CannedCase& c = GetParam();
    Json::Value spec = simParseJson(c.spec);
    spec["path"] = "/api/business/desktop/ping";
    sim_->setReply(spec);
    for (const char* method : {"POST", "GET"}) {
        auto reply = terminalRequest(sim_->port(), method, "/api/business/desktop/ping", "");
        ASSERT_TRUE(reply.ok) << method;
        EXPECT_EQ(reply.status, c.status) << method;
        EXPECT_EQ(reply.body, c.body) << method;
        if (*c.header != '\0') {
            EXPECT_NE(reply.head.find(c.header), std::string::npos) << reply.head;
        }
    }
}

std::string digits(size_t n) {
    std::string s;
    while (s.size() < n) {
        s += static_cast<char>('0' + s.size() % 10);
    }
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimCannedReply,
    ::testing::Values(
        CannedCase{"ServerError", R"({"status":500,"body":"boom"})", 500, "boom", ""},
        CannedCase{"Redirect", R"({"status":302,"headers":{"Location":"/z"}})", 302, "",
                   "Location: /z"},
        CannedCase{"NotJson", R"({"body":"<html>not json"})", 200, "<html>not json", ""},
        CannedCase{"SizedBody", R"({"size":63488})", 200, digits(63488), ""},
        CannedCase{"SizeJustBelowTheLimit", R"({"size":63487})", 200, digits(63487), ""},
        CannedCase{"BinaryDownload",
                   R"({"bodyBase64":"AAEC/w==","contentType":"application/octet-stream"})", 200,
                   std::string("\x00\x01\x02\xff", 4), "Content-Type: application/octet-stream"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimAdmin, TimesLimitsACannedReplyThenTheBuiltInReplyReturns) {
    Json::Value spec;
    spec["path"] = "/api/business/desktop/ping";
    spec["status"] = 500;
    spec["times"] = 2;
    sim_->setReply(spec);
    const int expected[] = {500, 500, 200, 200};
    for (int status : expected) {
        auto reply = terminalRequest(sim_->port(), "POST", "/api/business/desktop/ping", "");
        ASSERT_TRUE(reply.ok);
        EXPECT_EQ(reply.status, status);
    }
}

TEST_F(SimAdmin, CannedReplyServesDownloadsOnPathsWithoutAHandler) {
    Json::Value spec;
    spec["path"] = "/files/a.bin";
    spec["size"] = 5000;
    sim_->setReply(spec);
    auto c = sim_->client();
    auto r = c.Get("/files/a.bin");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(r->body, digits(5000));
}

TEST_F(SimAdmin, UnknownAdminCallsAreRefusedWithAnError) {
    auto c = sim_->client();
    for (const char* path : {"/admin/nothing", "/admin/replies/x"}) {
        auto r = c.Get(path);
        ASSERT_TRUE(r) << path;
        EXPECT_EQ(r->status, 404) << path;
        EXPECT_NE(simParseJson(r->body)["error"].asString().find("/admin/help"), std::string::npos);
    }
    auto wrongMethod = c.Put("/admin/down", "{}", "application/json");
    ASSERT_TRUE(wrongMethod);
    EXPECT_EQ(wrongMethod->status, 404);
}

TEST_F(SimAdmin, DeleteClearsEveryCannedReply) {
    Json::Value spec;
    spec["path"] = "/api/business/desktop/ping";
    spec["status"] = 500;
    sim_->setReply(spec);
    sim_->clearReplies();
    EXPECT_EQ(terminalRequest(sim_->port(), "POST", "/api/business/desktop/ping", "").status, 200);
}

TEST_F(SimAdmin, DelayHoldsTheReplyAndPassThroughStillAnswersWithTheBuiltInReply) {
    Json::Value spec;
    spec["path"] = "/api/business/desktop/enterRoom";
    spec["delayMs"] = 400;
    spec["passThrough"] = true;
    sim_->setReply(spec);
    const auto start = Clock::now();
    auto reply =
        terminalRequest(sim_->port(), "POST", "/api/business/desktop/enterRoom", "deviceKey=DSK_d");
    EXPECT_GE(msSince(start), 400);
    ASSERT_TRUE(reply.ok);
    EXPECT_TRUE(simParseJson(reply.body)["payload"].isMember("valid"));
}

TEST_F(SimAdmin, CloseEndsTheConnectionWithoutAnyReply) {
    Json::Value spec;
    spec["path"] = "/api/business/app/reportMsg";
    spec["close"] = true;
    spec["times"] = 1;
    sim_->setReply(spec);
    EXPECT_FALSE(terminalRequest(sim_->port(), "POST", "/api/business/app/reportMsg", "a=1").ok);
    // The request was still recorded, and the next one is answered normally.
    EXPECT_EQ(sim_->requests("/api/business/app/reportMsg").size(), 1u);
    EXPECT_TRUE(terminalRequest(sim_->port(), "POST", "/api/business/app/reportMsg", "a=1").ok);
}

struct BadReplySpec {
    const char* name;
    const char* json;
};

class SimCannedReplyRefused : public SimAdmin,
                              public ::testing::WithParamInterface<BadReplySpec> {};

TEST_P(SimCannedReplyRefused, AnswersBadRequestAndKeepsTheBuiltInReply) {
    auto c = sim_->client();
    auto r = c.Post("/admin/replies", GetParam().json, "application/json");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 400);
    EXPECT_FALSE(simParseJson(r->body)["error"].asString().empty());
    EXPECT_EQ(terminalRequest(sim_->port(), "POST", "/api/business/desktop/ping", "").status, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Specs, SimCannedReplyRefused,
    ::testing::Values(BadReplySpec{"NotJson", "{path"}, BadReplySpec{"NoPath", R"({"status":500})"},
                      BadReplySpec{"RelativePath", R"({"path":"api/x"})"},
                      BadReplySpec{"AdminPath", R"({"path":"/admin/replies","status":500})"},
                      BadReplySpec{"NegativeSize", R"({"path":"/x","size":-1})"},
                      BadReplySpec{"ZeroTimes", R"({"path":"/x","times":0})"},
                      BadReplySpec{"StatusText", R"({"path":"/x","status":"500"})"},
                      BadReplySpec{"BadBase64", R"({"path":"/x","bodyBase64":"**"})"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- recording ------------------------------------------------------------------------------

TEST_F(SimAdmin, RecordsABodyWithItsTrailingZeroByteForByte) {
    const std::string form = "deviceKey=DSK_z&str=[{\"name\":\"张老师\"}]\n&temp=";
    auto reply =
        terminalRequest(sim_->port(), "POST", "/api/business/app/reportConferenceInfo?q=1", form);
    ASSERT_TRUE(reply.ok);
    const Json::Value list = sim_->requests("/api/business/app/reportConferenceInfo");
    ASSERT_EQ(list.size(), 1u);
    const Json::Value& r = list[0];
    const std::string sent = form + std::string(1, '\0');
    EXPECT_EQ(simBase64Decode(r["bodyBase64"].asString()), sent);
    EXPECT_EQ(r["bodyLength"].asUInt64(), sent.size());
    EXPECT_EQ(r["body"].asString(), sent);
    EXPECT_EQ(r["method"].asString(), "POST");
    EXPECT_EQ(r["query"].asString(), "q=1");
    EXPECT_EQ(r["headers"]["Content-Type"].asString(), "application/x-www-form-urlencoded");
    EXPECT_GT(r["seq"].asInt64(), 0);
    ASSERT_EQ(r["form"].size(), 3u);
    EXPECT_EQ(r["form"][1]["value"].asString(), "[{\"name\":\"张老师\"}]\n");
}

struct DecodeCase {
    const char* name;
    const char* form;
    const char* value;  // decoded value of the single field "v"
};

class SimFormDecoding : public SimAdmin, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(SimFormDecoding, DecodesPercentEscapesOnlyAndStripsOneZeroByte) {
    ASSERT_TRUE(
        terminalRequest(sim_->port(), "POST", "/api/business/desktop/ping", GetParam().form).ok);
    const Json::Value list = sim_->requests("/api/business/desktop/ping");
    ASSERT_EQ(list.size(), 1u);
    ASSERT_EQ(list[0]["form"].size(), 1u);
    EXPECT_EQ(list[0]["form"][0]["name"].asString(), "v");
    EXPECT_EQ(list[0]["form"][0]["value"].asString(), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SimFormDecoding,
    ::testing::Values(DecodeCase{"PlusStaysPlus", "v=a+b", "a+b"},
                      DecodeCase{"EscapedPunctuation", "v=%25%26%2B%3D", "%&+="},
                      DecodeCase{"LowerCaseHex", "v=%2b", "+"},
                      DecodeCase{"BrokenEscapeKept", "v=100%zz%4", "100%zz%4"},
                      DecodeCase{"RawUtf8AndJson", "v={\"a\":[\"中文\"]}", "{\"a\":[\"中文\"]}"},
                      DecodeCase{"EmptyValue", "v=", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimAdmin, GetRequestsAreRecordedWithTheirQueryAndAdminCallsAreNot) {
    auto reply = terminalRequest(sim_->port(), "GET", "/api/register?appkey=a%20b&userid=u", "");
    ASSERT_TRUE(reply.ok);
    sim_->admin("GET", "/admin/devices");
    const Json::Value all = sim_->requests();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0]["method"].asString(), "GET");
    EXPECT_EQ(all[0]["path"].asString(), "/api/register");
    EXPECT_EQ(all[0]["query"].asString(), "appkey=a%20b&userid=u");
    EXPECT_EQ(all[0]["form"][0]["value"].asString(), "a b");
    EXPECT_EQ(all[0]["headers"]["Content-Length"].asString(), "1");

    sim_->clearRequests();
    EXPECT_EQ(sim_->requests().size(), 0u);
}

TEST_F(SimAdmin, AGetWithAZeroByteBodyDoesNotSpoilTheNextRequestOnTheConnection) {
    // Two requests written at once on one connection; the first carries a body with GET.
    const std::string first =
        "GET /api/business/desktop/ping HTTP/1.1\r\nHost: h\r\nContent-Length: 1\r\n\r\n" +
        std::string(1, '\0');
    const std::string second = "GET /admin/settings HTTP/1.1\r\nHost: h\r\n\r\n";
    auto reply = rawExchange(sim_->port(), first + second);
    ASSERT_TRUE(reply.ok);
    EXPECT_EQ(reply.status, 200);
    // Either the connection is closed after the first reply or the second is served intact;
    // never a garbled request.
    EXPECT_EQ(reply.body.find("400 Bad Request"), std::string::npos);
    EXPECT_TRUE(
        simParseJson(reply.body.substr(0, reply.body.find("HTTP/1.1")))["success"].asBool());
}

// --- down -----------------------------------------------------------------------------------

TEST_F(SimAdmin, DownRefusesConnectionsThenListensAgainOnTheSamePort) {
    const int port = sim_->port();
    sim_->down(1500);
    const auto start = Clock::now();
    auto refused = terminalRequest(port, "POST", "/api/business/desktop/ping", "", 1000);
    EXPECT_FALSE(refused.ok);
    EXPECT_LT(msSince(start), 1000) << "a refused connection fails at once";

    RawReply back;
    while (msSince(start) < 5000 &&
           !(back = terminalRequest(port, "POST", "/api/business/desktop/ping", "")).ok) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(back.ok);
    EXPECT_GE(msSince(start), 1400);
    EXPECT_EQ(back.status, 200);
    EXPECT_EQ(sim_->admin("GET", "/admin/settings")["port"].asInt(), port);
}

TEST_F(SimAdmin, DownTwiceInARowStillComesBack) {
    sim_->down(200);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    sim_->down(200);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_TRUE(terminalRequest(sim_->port(), "POST", "/api/business/desktop/ping", "").ok);
}

// --- command line ---------------------------------------------------------------------------

std::string runSim(const std::string& args, int& exitCode) {
    const std::string command = SimProcess::defaultExecutable() + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        out.append(buffer, n);
    }
    const int status = pclose(pipe);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

TEST(SimCommandLine, HelpDocumentsEveryFlagAndEveryAdminPath) {
    int code = -1;
    const std::string help = runSim("--help", code);
    EXPECT_EQ(code, 0);
    for (const char* item : {"--port", "--port-file", "--hold-ms", "--strict", "/admin/replies",
                             "/admin/requests", "/admin/down", "/admin/push", "/admin/push/expire",
                             "/admin/business", "/admin/devices", "/admin/device", "/admin/report",
                             "/admin/strict", "/admin/settings", "/admin/reset", "/console"}) {
        EXPECT_NE(help.find(item), std::string::npos) << item;
    }
}

TEST(SimCommandLine, BadArgumentsAreRefusedWithAMessage) {
    for (const char* args : {"--port 70000", "--port x", "--hold-ms -1", "--bogus", "--port"}) {
        int code = -1;
        const std::string out = runSim(args, code);
        EXPECT_EQ(code, 2) << args;
        EXPECT_NE(out.find("fenwix-sim:"), std::string::npos) << args;
    }
}

TEST(SimCommandLine, APortInUseIsRefusedInsteadOfShared) {
    SimProcess first;
    int code = -1;
    const std::string out = runSim("--port " + std::to_string(first.port()), code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("cannot listen on 127.0.0.1:" + std::to_string(first.port())),
              std::string::npos)
        << out;
}

TEST(SimCommandLine, PrintsTheListeningLineAndServesTheConsole) {
    SimProcess sim;
    // The log is flushed with the line, right before the port file is visible.
    EXPECT_NE(sim.log().find("fenwix-sim listening on 127.0.0.1:" + std::to_string(sim.port())),
              std::string::npos);
    auto c = sim.client();
    auto page = c.Get("/console");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("/admin/"), std::string::npos);
}

// --- update offers ---------------------------------------------------------------------------

struct UpdateOfferCase {
    const char* name;
    const char* spec;    // JSON members beside the installer
    std::string served;  // what the installer address serves
    bool intactDigest;   // the offer names the digest of the intact installer
    bool digest;         // the offer names a digest at all
};

class SimUpdateOffer : public SimAdmin, public ::testing::WithParamInterface<UpdateOfferCase> {};

// The installer "abc", whose digest is the well-known one.
TEST_P(SimUpdateOffer, ServesTheInstallerAndOffersItWithItsDigest) {
    const std::string abcSha256 =
        "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    Json::Value spec = fenwixtest::simParseJson(std::string("{") + GetParam().spec + "}");
    spec["installerBase64"] = "YWJj";
    sim_->admin("POST", "/admin/update", spec);

    auto c = sim_->client();
    auto file = c.Get("/files/FenwixStuDesktopSetup");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->body, GetParam().served);
    auto check = c.Post("/api/business/app/updateVersion", std::string("uniqueno=a", 11),
                        "application/x-www-form-urlencoded");
    ASSERT_TRUE(check);
    const Json::Value offer = fenwixtest::simParseJson(check->body)["payload"];
    EXPECT_TRUE(offer["isupdate"].asBool());
    EXPECT_EQ(offer["installUrl"].asString(), sim_->baseUrl() + "/files/FenwixStuDesktopSetup");
    EXPECT_EQ(offer.isMember("sha256"), GetParam().digest);
    if (GetParam().digest) {
        EXPECT_EQ(offer["sha256"].asString() == abcSha256, GetParam().intactDigest);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimUpdateOffer,
    ::testing::Values(UpdateOfferCase{"Intact", "", "abc", true, true},
                      UpdateOfferCase{"WithoutDigest", R"("sha256":false)", "abc", true, false},
                      UpdateOfferCase{"Truncated", R"("fault":"truncated")", "a", true, true},
                      UpdateOfferCase{
                          "Corrupted", R"("fault":"corrupted")",
                          std::string("a") + static_cast<char>(~'b') + static_cast<char>(~'c'),
                          true, true},
                      UpdateOfferCase{"WrongDigest", R"("fault":"digest")", "abc", false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimAdmin, UpdateOfferRefusesWhatItCannotServe) {
    for (const char* body : {R"({"installerBase64":"%%%"})", R"({"fault":"none"})",
                             R"({"installerBase64":"YWJj","fault":"melted"})"}) {
        auto c = sim_->client();
        auto r = c.Post("/admin/update", body, "application/json");
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 400) << body;
    }
}

}  // namespace
