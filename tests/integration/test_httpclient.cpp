// The HTTP client against the real loopback backend (fenwix-sim): reply limits, statuses,
// redirects, unreachable and stalled servers, UTF-8 replies, concurrency, downloads and refusals.
#include "service/httpclient.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "service/commonutil.h"
#include "support/logcapture.h"
#include "support/simprocess.h"
#include "support/tempfolder.h"
#include "support_stalledlookup.h"

using fenwixtest::simBase64Decode;
using fenwixtest::SimProcess;

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using Clock = std::chrono::steady_clock;

bool netOk() {
    return CComConfig::getInstance()->getNetOk();
}
void setNetOk(bool value) {
    CComConfig::getInstance()->setNetOk(value);
}

// The reply body the sim makes for "size": N bytes of "0123456789" repeated.
std::string sizedBody(std::size_t size) {
    std::string body;
    body.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        body += static_cast<char>('0' + i % 10);
    }
    return body;
}

struct AsyncOutcome {
    bool ok = false;
    std::string reply;
    int type = -1;
};

// Starts one asynchronous call and waits for its completion.
AsyncOutcome awaitRequest(const std::function<bool(HttpRequestCompletion)>& start) {
    auto promise = std::make_shared<std::promise<AsyncOutcome>>();
    auto future = promise->get_future();
    EXPECT_TRUE(start([promise](bool ok, const std::string& reply, int type) {
        promise->set_value(AsyncOutcome{ok, reply, type});
    }));
    if (future.wait_for(15s) != std::future_status::ready) {
        ADD_FAILURE() << "completion never called";
        return {};
    }
    return future.get();
}

std::pair<bool, int> awaitDownload(CHttpClient& client, const std::string& url,
                                   const std::string& path, int type) {
    std::promise<std::pair<bool, int>> promise;
    auto future = promise.get_future();
    EXPECT_TRUE(client.download(
        url, path,
        [&promise](bool ok, int t) {
            promise.set_value({ok, t});
        },
        type));
    if (future.wait_for(15s) != std::future_status::ready) {
        ADD_FAILURE() << "download completion never called";
        return {false, -1};
    }
    return future.get();
}

// A loopback port with nothing listening on it.
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

class HttpClientSim : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sim_ = std::make_unique<SimProcess>(); }
    static void TearDownTestSuite() { sim_.reset(); }
    void SetUp() override { sim_->reset(); }

    static std::string url(const std::string& path) { return sim_->baseUrl() + path; }

    static void canned(const std::string& path, int status, const Json::Value& extra = {}) {
        Json::Value spec = extra.isNull() ? Json::Value(Json::objectValue) : extra;
        spec["path"] = path;
        spec["status"] = status;
        sim_->setReply(spec);
    }
    static void cannedBody(const std::string& path, const std::string& body) {
        Json::Value spec;
        spec["body"] = body;
        canned(path, 200, spec);
    }

    static std::unique_ptr<SimProcess> sim_;
    LogCapture log_;
    CHttpClient client_;
};
std::unique_ptr<SimProcess> HttpClientSim::sim_;

// ---- reply size limit -----------------------------------------------------------------------

struct SizeCase {
    const char* name;
    std::size_t size;
    bool accepted;
};

class HttpClientReplySize : public HttpClientSim, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(HttpClientReplySize, AcceptsUpTo63487BytesAndRefusesLongerWhole) {
    const SizeCase& c = GetParam();
    Json::Value spec;
    spec["size"] = static_cast<Json::UInt>(c.size);
    canned("/api/business/app/reportMsg", 200, spec);

    setNetOk(false);
    std::string reply = "stale";
    EXPECT_EQ(client_.post(url("/api/business/app/reportMsg"), "a=1", reply), c.accepted);
    EXPECT_EQ(reply, c.accepted ? sizedBody(c.size) : "");
    EXPECT_TRUE(netOk()) << "a 200 reply means the backend is reachable";
    EXPECT_EQ(log_.contains("http返回数据过长: 200 requestType:0"), !c.accepted);

    const AsyncOutcome async = awaitRequest([&](HttpRequestCompletion done) {
        return client_.postAsync(url("/api/business/app/reportMsg"), "a=1", done, 4);
    });
    EXPECT_EQ(async.ok, c.accepted);
    EXPECT_EQ(async.type, 4);
    EXPECT_EQ(async.reply.size(), c.accepted ? c.size : 0u);
    EXPECT_EQ(log_.contains("http返回数据过长: 200 requestType:4"), !c.accepted);
}

INSTANTIATE_TEST_SUITE_P(Boundary, HttpClientReplySize,
                         ::testing::Values(SizeCase{"Empty", 0, true},
                                           SizeCase{"LargestAccepted", 63487, true},
                                           SizeCase{"OneByteTooLong", 63488, false},
                                           SizeCase{"FarTooLong", 500000, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- statuses other than 200 -------------------------------------------------------------------

struct StatusCase {
    const char* name;
    int status;
};

class HttpClientStatus : public HttpClientSim, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(HttpClientStatus, FailsClearsNetOkAndFollowsNothing) {
    const StatusCase& c = GetParam();
    Json::Value spec;
    // A 204 carries no body by definition; a body there would spoil the kept connection.
    spec["body"] = c.status == 204 ? "" : "{\"success\":true}";
    spec["headers"]["Location"] = "/moved";
    canned("/api/business/desktop/enterRoom", c.status, spec);
    cannedBody("/moved", "{\"success\":true}");

    setNetOk(true);
    const AsyncOutcome async = awaitRequest([&](HttpRequestCompletion done) {
        return client_.postAsync(url("/api/business/desktop/enterRoom"), "a=1", done, 3);
    });
    EXPECT_FALSE(async.ok);
    EXPECT_EQ(async.reply, "");
    EXPECT_EQ(async.type, 3);
    EXPECT_FALSE(netOk());
    EXPECT_TRUE(log_.contains("http请求异常: " + std::to_string(c.status) + " requestType:3"));
    EXPECT_EQ(sim_->requests("/moved").size(), 0u) << "redirect followed";

    setNetOk(true);
    std::string reply;
    EXPECT_FALSE(client_.get(url("/api/business/desktop/enterRoom"), "?a=1", reply));
    EXPECT_FALSE(netOk());
    EXPECT_TRUE(log_.contains("http请求异常: " + std::to_string(c.status) + " requestType:0"));
}

INSTANTIATE_TEST_SUITE_P(NotOk, HttpClientStatus,
                         ::testing::Values(StatusCase{"Found", 302},
                                           StatusCase{"MovedPermanently", 301},
                                           StatusCase{"NoContent", 204},
                                           StatusCase{"NotFound", 404},
                                           StatusCase{"ServerError", 500}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- what reaches the backend --------------------------------------------------------------

TEST_F(HttpClientSim, BackendReceivesFormWithZeroByteAndQueryAsGiven) {
    std::string reply;
    ASSERT_TRUE(client_.post(url("/api/business/desktop/ping"), "deviceKey=k1&temp=", reply));
    ASSERT_TRUE(client_.get(url("/api/register"), "?appkey=x%20y&b=2", reply));

    const Json::Value posts = sim_->requests("/api/business/desktop/ping");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0]["method"].asString(), "POST");
    EXPECT_EQ(simBase64Decode(posts[0]["bodyBase64"].asString()), "deviceKey=k1&temp=\0"s);
    EXPECT_EQ(posts[0]["headers"]["Content-Type"].asString(), "application/x-www-form-urlencoded");

    const Json::Value gets = sim_->requests("/api/register");
    ASSERT_EQ(gets.size(), 1u);
    EXPECT_EQ(gets[0]["method"].asString(), "GET");
    EXPECT_EQ(gets[0]["query"].asString(), "appkey=x%20y&b=2");
}

// A report with long portal, room and participant names: far over 1023 characters and 2048
// bytes, it reaches the backend whole.
TEST_F(HttpClientSim, LongFormArrivesWhole) {
    std::string names;
    for (int i = 0; i < 150; ++i) {  // about 3 KB of UTF-8
        names += "张老师的教室" + std::to_string(i);
    }
    const std::string form = "deviceKey=k1&logs=" + names + "&temp=";
    std::string reply;
    ASSERT_TRUE(client_.post(url("/api/business/app/reportLogsInfo"), form, reply))
        << ::testing::PrintToString(log_.lines());
    const AsyncOutcome async = awaitRequest([&](HttpRequestCompletion done) {
        return client_.postAsync(url("/api/business/app/reportLogsInfo"), form, done, 13);
    });
    EXPECT_TRUE(async.ok);

    const Json::Value posts = sim_->requests("/api/business/app/reportLogsInfo");
    ASSERT_EQ(posts.size(), 2u);
    for (const Json::Value& post : posts) {
        EXPECT_EQ(simBase64Decode(post["bodyBase64"].asString()), form + '\0');
    }
}

TEST_F(HttpClientSim, Utf8ReplyArrivesAsLocalText) {
    const std::string text = R"({"message":"张老师的教室已满，请稍候","success":false})";
    cannedBody("/api/business/app/updateVersion", text);

    std::string reply;
    ASSERT_TRUE(client_.post(url("/api/business/app/updateVersion"), "a=1", reply));
    EXPECT_EQ(reply, text);

    const AsyncOutcome async = awaitRequest([&](HttpRequestCompletion done) {
        return client_.getAsync(url("/api/business/app/updateVersion"), "", done, 9);
    });
    EXPECT_TRUE(async.ok);
    EXPECT_EQ(async.reply, text);
}

// ---- servers that cannot be reached or do not answer -------------------------------------

TEST_F(HttpClientSim, ClosedPortFailsAtOnceWithTheTransportError) {
    const std::string target = "http://127.0.0.1:" + std::to_string(closedPort()) + "/api/x";

    setNetOk(true);
    const auto start = Clock::now();
    std::string reply = "stale";
    EXPECT_FALSE(client_.post(target, "a=1", reply));
    EXPECT_LT(Clock::now() - start, 3500ms);
    EXPECT_EQ(reply, "");
    EXPECT_FALSE(netOk());
    EXPECT_TRUE(log_.contains("http CInternetException " + std::to_string(CURLE_COULDNT_CONNECT)));

    setNetOk(true);
    const AsyncOutcome async = awaitRequest(
        [&](HttpRequestCompletion done) { return client_.postAsync(target, "a=1", done, 1); });
    EXPECT_FALSE(async.ok);
    EXPECT_EQ(async.type, 1);
    EXPECT_FALSE(netOk());
}

TEST_F(HttpClientSim, SimDownFailsAndRecovers) {
    sim_->down(1500);
    std::string reply;
    EXPECT_FALSE(client_.post(url("/api/business/desktop/ping"), "a=1", reply));
    EXPECT_FALSE(netOk());
    std::this_thread::sleep_for(1700ms);
    EXPECT_TRUE(client_.post(url("/api/business/desktop/ping"), "a=1", reply));
    EXPECT_TRUE(netOk());
}

TEST_F(HttpClientSim, StalledReplyTimesOutAfterTheReceiveBound) {
    Json::Value spec;
    spec["body"] = "late";
    spec["delayMs"] = 8000;
    canned("/api/getData", 200, spec);

    setNetOk(true);
    const auto start = Clock::now();
    std::string reply;
    EXPECT_FALSE(client_.get(url("/api/getData"), "?userId=1", reply));
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 2500ms);
    EXPECT_LT(elapsed, 6000ms);
    EXPECT_FALSE(netOk());
    EXPECT_TRUE(
        log_.contains("http CInternetException " + std::to_string(CURLE_OPERATION_TIMEDOUT)));
}

// A name server that does not answer: the request ends at the connect bound, it does not wait
// for the lookup to give up (which took the shutdown's reports seconds past their bound).
TEST_F(HttpClientSim, StalledNameLookupEndsAtTheConnectBound) {
    const std::string target = std::string("http://") + kStalledLookupHost + "/api/ping";
    const auto start = Clock::now();
    std::string reply;
    EXPECT_FALSE(client_.post(target, "a=1", reply));
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 2500ms);
    EXPECT_LT(elapsed, kStalledLookupTime - 2000ms);
    EXPECT_TRUE(
        log_.contains("http CInternetException " + std::to_string(CURLE_OPERATION_TIMEDOUT)));
}

TEST_F(HttpClientSim, SlowButSteadyReplyWithinTheBoundSucceeds) {
    Json::Value spec;
    spec["body"] = "in time";
    spec["delayMs"] = 1500;
    canned("/api/getData", 200, spec);
    std::string reply;
    EXPECT_TRUE(client_.get(url("/api/getData"), "?userId=1", reply));
    EXPECT_EQ(reply, "in time");
}

// ---- URLs that do not parse ---------------------------------------------------------------

class HttpClientBadUrl : public HttpClientSim, public ::testing::WithParamInterface<const char*> {};

TEST_P(HttpClientBadUrl, FailsWithoutTouchingNetOk) {
    for (const bool before : {true, false}) {
        setNetOk(before);
        std::string reply;
        EXPECT_FALSE(client_.post(GetParam(), "a=1", reply));
        EXPECT_EQ(netOk(), before);
    }
    EXPECT_EQ(log_.count("AfxParseURL failed"), 2u);

    const AsyncOutcome async = awaitRequest(
        [&](HttpRequestCompletion done) { return client_.getAsync(GetParam(), "", done, 14); });
    EXPECT_FALSE(async.ok);
    EXPECT_EQ(async.type, 14);
}

INSTANTIATE_TEST_SUITE_P(Malformed, HttpClientBadUrl,
                         ::testing::Values("", "127.0.0.1/api/x", "ftp://127.0.0.1/x", "http://",
                                           "http://127.0.0.1:99999/x", "http://127.0.0.1/a b"));

// ---- many requests at once --------------------------------------------------------------------

TEST_F(HttpClientSim, ConcurrentRequestsCompleteOncePerTypeWithTheirOwnReplies) {
    constexpr int kRequests = 40;
    for (int type = 1; type <= kRequests; ++type) {
        const std::string path = "/c/" + std::to_string(type);
        if (type % 5 == 0) {
            canned(path, 500);
        } else {
            Json::Value spec;
            spec["body"] = "reply-" + std::to_string(type);
            spec["delayMs"] = (type * 37) % 300;  // completions arrive out of order
            canned(path, 200, spec);
        }
    }

    std::mutex lock;
    std::condition_variable changed;
    std::map<int, std::vector<AsyncOutcome>> byType;
    const auto caller = std::this_thread::get_id();
    bool onCallerThread = false;
    for (int type = 1; type <= kRequests; ++type) {
        auto done = [&](bool ok, const std::string& reply, int t) {
            std::lock_guard<std::mutex> guard(lock);
            onCallerThread = onCallerThread || std::this_thread::get_id() == caller;
            byType[t].push_back(AsyncOutcome{ok, reply, t});
            changed.notify_all();
        };
        const std::string target = url("/c/" + std::to_string(type));
        ASSERT_TRUE(type % 2 == 0
                        ? client_.postAsync(target, "t=" + std::to_string(type), done, type)
                        : client_.getAsync(target, "", done, type));
    }

    std::unique_lock<std::mutex> guard(lock);
    ASSERT_TRUE(changed.wait_for(guard, 20s, [&] {
        std::size_t total = 0;
        for (const auto& entry : byType) {
            total += entry.second.size();
        }
        return total == static_cast<std::size_t>(kRequests);
    }));
    EXPECT_FALSE(onCallerThread);
    for (int type = 1; type <= kRequests; ++type) {
        ASSERT_EQ(byType[type].size(), 1u) << type;
        const AsyncOutcome& outcome = byType[type][0];
        if (type % 5 == 0) {
            EXPECT_FALSE(outcome.ok) << type;
            EXPECT_EQ(outcome.reply, "") << type;
        } else {
            EXPECT_TRUE(outcome.ok) << type;
            EXPECT_EQ(outcome.reply, "reply-" + std::to_string(type));
        }
    }
}

TEST_F(HttpClientSim, CompletionArrivesAfterTheClientIsGone) {
    Json::Value spec;
    spec["body"] = "later";
    spec["delayMs"] = 300;
    canned("/api/business/app/register", 200, spec);

    std::promise<AsyncOutcome> promise;
    auto future = promise.get_future();
    {
        CHttpClient shortLived;
        ASSERT_TRUE(shortLived.postAsync(
            url("/api/business/app/register"), "a=1",
            [&](bool ok, const std::string& reply, int type) {
                promise.set_value(AsyncOutcome{ok, reply, type});
            },
            1));
    }
    ASSERT_EQ(future.wait_for(10s), std::future_status::ready);
    const AsyncOutcome outcome = future.get();
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.reply, "later");
    EXPECT_EQ(outcome.type, 1);
}

// ---- downloads --------------------------------------------------------------------------------

struct DownloadCase {
    const char* name;
    int status;
    std::size_t size;      // sim body size for a 200
    const char* fileName;  // inside the test folder; a missing sub-folder cannot be created
    bool ok;
    const char* logText;
};

class HttpClientDownload : public HttpClientSim,
                           public ::testing::WithParamInterface<DownloadCase> {};

TEST_P(HttpClientDownload, WritesTheWholeBodyOrLeavesTheFileAlone) {
    const DownloadCase& c = GetParam();
    Json::Value spec;
    spec["size"] = static_cast<Json::UInt>(c.size);
    canned("/files/logo.png", c.status, spec);
    TempFolder folder;
    const std::string path = folder.file(c.fileName);
    if (folder.exists("") && std::string(c.fileName).find('/') == std::string::npos) {
        folder.write(c.fileName, "previous file");
    }

    setNetOk(false);
    const auto [ok, type] = awaitDownload(client_, url("/files/logo.png"), path, 15);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(type, 15);
    EXPECT_FALSE(netOk()) << "downloads leave the network flag alone";
    if (c.ok) {
        EXPECT_EQ(folder.read(c.fileName), sizedBody(c.size));
    } else if (std::string(c.fileName).find('/') == std::string::npos) {
        EXPECT_EQ(folder.read(c.fileName), "previous file");
    }
    EXPECT_TRUE(log_.contains(c.logText)) << c.logText;
    // No partial file is left beside the target.
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_LE(entries, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, HttpClientDownload,
    ::testing::Values(DownloadCase{"LargerThanAnyReply", 200, 300000, "logo.png", true, ""},
                      DownloadCase{"EmptyBody", 200, 0, "logo.png", true, ""},
                      DownloadCase{"NotFound", 404, 10, "logo.png", false, "http请求异常: 404"},
                      DownloadCase{"Redirect", 302, 10, "logo.png", false, "http请求异常: 302"},
                      DownloadCase{"FolderMissing", 200, 10, "no-such-folder/logo.png", false,
                                   "下载文件创建失败"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpClientSim, DownloadFromClosedPortOrBadUrlFails) {
    TempFolder folder;
    const std::string closed = "http://127.0.0.1:" + std::to_string(closedPort()) + "/f";
    EXPECT_FALSE(awaitDownload(client_, closed, folder.file("a"), 15).first);
    EXPECT_TRUE(log_.contains("http CInternetException " + std::to_string(CURLE_COULDNT_CONNECT)));
    EXPECT_FALSE(awaitDownload(client_, "not a url", folder.file("b"), 15).first);
    EXPECT_TRUE(log_.contains("GetHttpConnection failed"));
    EXPECT_FALSE(folder.exists("a"));
    EXPECT_FALSE(folder.exists("b"));
}

// ---- refused input --------------------------------------------------------------------------

struct RefusalCase {
    const char* name;
    std::string urlTail;  // appended to the sim's base URL
    std::string data;
    std::string logText;
};

class HttpClientRefusal : public HttpClientSim,
                          public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(HttpClientRefusal, RefusesWholeAndStillCompletesWithTheType) {
    const RefusalCase& c = GetParam();
    const std::string target = url(c.urlTail);

    std::string reply = "stale";
    EXPECT_FALSE(client_.post(target, c.data, reply));
    EXPECT_EQ(reply, "");
    const AsyncOutcome async = awaitRequest(
        [&](HttpRequestCompletion done) { return client_.postAsync(target, c.data, done, 10); });
    EXPECT_FALSE(async.ok);
    EXPECT_EQ(async.type, 10);
    EXPECT_EQ(sim_->requests().size(), 0u) << "nothing may reach the backend";
    EXPECT_EQ(log_.count(c.logText), 2u) << c.logText;
}

INSTANTIATE_TEST_SUITE_P(
    OverLimit, HttpClientRefusal,
    ::testing::Values(
        RefusalCase{"UrlOver1023Chars", "/" + std::string(1100, 'u'), "a=1", "url过长"},
        // A body (UTF-8 and the zero byte) one byte over the bound against absurd sizes.
        RefusalCase{"BodyOverTheBound", "/f", std::string(CHttpClient::kMaxBodyBytes, 'v'),
                    "http请求数据过长"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpClientSim, DownloadRefusesOverlongPathAndUrl) {
    TempFolder folder;
    cannedBody("/files/x", "x");
    const std::string longPath = folder.file(std::string(1100, 'n'));
    EXPECT_FALSE(awaitDownload(client_, url("/files/x"), longPath, 15).first);
    EXPECT_TRUE(log_.contains("path过长"));
    EXPECT_FALSE(
        awaitDownload(client_, url("/" + std::string(1100, 'u')), folder.file("x"), 15).first);
    EXPECT_TRUE(log_.contains("url过长"));
    EXPECT_EQ(sim_->requests().size(), 0u);
}

}  // namespace
