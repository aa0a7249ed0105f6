// What the HTTP client puts on the wire, byte for byte, seen by a raw loopback server (a GET's body
// is not visible through ordinary server libraries).
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "service/httpclient.h"
#include "support/logcapture.h"
#include "support/rawhttpserver.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

constexpr const char* kContentTypeLine = "Content-Type:   application/x-www-form-urlencoded";

// Runs one call of the client against the server; returns whether it succeeded.
using WireCall = std::function<bool(CHttpClient&, const std::string& baseUrl)>;

bool waitAsync(const std::function<void(HttpRequestCompletion)>& start) {
    std::promise<bool> done;
    start([&done](bool ok, const std::string&, int) { done.set_value(ok); });
    auto result = done.get_future();
    return result.wait_for(10s) == std::future_status::ready && result.get();
}

struct WireCase {
    const char* name;
    WireCall call;
    std::string requestLine;
    std::string body;
};

class HttpClientWire : public ::testing::TestWithParam<WireCase> {};

TEST_P(HttpClientWire, SendsVerbTargetHeaderAndZeroTerminatedBody) {
    const WireCase& c = GetParam();
    RawHttpServer server;
    CHttpClient client;
    ASSERT_TRUE(c.call(client, server.baseUrl()));
    ASSERT_TRUE(server.waitForRequests(1, 5s));

    const CapturedRequest request = server.requests().at(0);
    EXPECT_EQ(request.requestLine, c.requestLine);
    EXPECT_EQ(request.body, c.body);
    EXPECT_EQ(request.headers.at("content-length"), std::to_string(c.body.size()));
    int contentTypes = 0;
    for (const std::string& line : request.headerLines) {
        if (line.rfind("Content-Type:", 0) == 0) {
            ++contentTypes;
            EXPECT_EQ(line, kContentTypeLine);
        }
    }
    EXPECT_EQ(contentTypes, 1);
    // Nothing that would make a server wait or negotiate: the exchange is the form and the reply.
    EXPECT_EQ(request.headers.count("expect"), 0u);
    EXPECT_EQ(request.headers.count("accept"), 0u);
    EXPECT_EQ(request.headers.at("user-agent"), "FenwixStuDesktop");
}

const std::string kLongForm = "k=" + std::string(5000, 'v');  // a body sized to the data

INSTANTIATE_TEST_SUITE_P(
    Requests, HttpClientWire,
    ::testing::Values(WireCase{"SyncGetCarriesOneZeroByte",
                               [](CHttpClient& c, const std::string& base) {
                                   std::string reply;
                                   return c.get(base + "/api/register", "?appkey=a&appsecret=b",
                                                reply);
                               },
                               "GET /api/register?appkey=a&appsecret=b HTTP/1.1", "\0"s},
                      WireCase{"SyncPostOfAEquals1IsFourBytes",
                               [](CHttpClient& c, const std::string& base) {
                                   std::string reply;
                                   return c.post(base + "/api/business/desktop/ping", "a=1", reply);
                               },
                               "POST /api/business/desktop/ping HTTP/1.1", "a=1\0"s},
                      WireCase{"EmptyPostIsOneZeroByte",
                               [](CHttpClient& c, const std::string& base) {
                                   std::string reply;
                                   return c.post(base + "/p", "", reply);
                               },
                               "POST /p HTTP/1.1", "\0"s},
                      WireCase{"AsyncGetCarriesItsForm",
                               [](CHttpClient& c, const std::string& base) {
                                   return waitAsync([&](HttpRequestCompletion done) {
                                       c.getAsync(base + "/api/getData?userId=7", "x=1&temp=", done,
                                                  14);
                                   });
                               },
                               "GET /api/getData?userId=7 HTTP/1.1", "x=1&temp=\0"s},
                      WireCase{"AsyncPostUtf8AndJsonAsTheyAre",
                               [](CHttpClient& c, const std::string& base) {
                                   return waitAsync([&](HttpRequestCompletion done) {
                                       c.postAsync(base + "/r", R"(name=张老师&json={"a":[1,2]})",
                                                   done, 4);
                                   });
                               },
                               "POST /r HTTP/1.1", "name=张老师&json={\"a\":[1,2]}\0"s},
                      WireCase{"LongestFormIsSentWhole",
                               [](CHttpClient& c, const std::string& base) {
                                   std::string reply;
                                   return c.post(base + "/long", kLongForm, reply);
                               },
                               "POST /long HTTP/1.1", kLongForm + "\0"s}),
    [](const ::testing::TestParamInfo<WireCase>& info) { return std::string(info.param.name); });

TEST(HttpClientConnections, SuccessiveRequestsReuseOneConnection) {
    RawHttpServer server;
    CHttpClient client;
    for (int i = 0; i < 20; ++i) {
        std::string reply;
        ASSERT_TRUE(i % 2 == 0
                        ? client.post(server.baseUrl() + "/p", "i=" + std::to_string(i), reply)
                        : client.get(server.baseUrl() + "/g", "?i=1", reply));
        EXPECT_EQ(reply, "ok");
    }
    EXPECT_EQ(server.connectionsAccepted(), 1);
}

TEST(HttpClientConnections, SuccessiveAsyncRequestsReuseOneConnection) {
    RawHttpServer server;
    CHttpClient client;
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(waitAsync([&](HttpRequestCompletion done) {
            client.postAsync(server.baseUrl() + "/r", "i=1", done, 4);
        }));
    }
    EXPECT_EQ(server.connectionsAccepted(), 1);
}

TEST(HttpClientConnections, AlternatingServersEachKeepTheirConnection) {
    RawHttpServer api;
    RawHttpServer push;
    CHttpClient client;
    for (int i = 0; i < 10; ++i) {
        std::string reply;
        ASSERT_TRUE(client.post(api.baseUrl() + "/p", "a=1", reply));
        ASSERT_TRUE(client.get(push.baseUrl() + "/g", "?b=2", reply));
    }
    EXPECT_EQ(api.connectionsAccepted(), 1);
    EXPECT_EQ(push.connectionsAccepted(), 1);
}

TEST(HttpClientConnections, ConnectionDroppedByTheServerIsReplacedUnnoticed) {
    RawHttpServer server;
    server.setCloseSilently(true);
    CHttpClient client;
    for (int i = 0; i < 5; ++i) {
        std::string reply;
        ASSERT_TRUE(client.post(server.baseUrl() + "/p", "a=1", reply)) << i;
        EXPECT_EQ(reply, "ok");
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(server.connectionsAccepted(), 5);
    EXPECT_EQ(server.requests().size(), 5u) << "each request sent exactly once";
}

TEST(HttpClientConnections, ReplyClosingTheConnectionIsStillASuccess) {
    RawHttpServer server("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 5\r\n\r\nfirst");
    CHttpClient client;
    std::string reply;
    ASSERT_TRUE(client.post(server.baseUrl() + "/p", "a=1", reply));
    EXPECT_EQ(reply, "first");
    ASSERT_TRUE(client.post(server.baseUrl() + "/p", "a=2", reply));
    EXPECT_EQ(reply, "first");
}

TEST(HttpClientConnections, ReplyWithoutLengthEndsAtClose) {
    RawHttpServer server("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil-close");
    CHttpClient client;
    std::string reply;
    EXPECT_TRUE(client.post(server.baseUrl() + "/p", "a=1", reply));
    EXPECT_EQ(reply, "until-close");
}

TEST(HttpClientConnections, TruncatedReplyFailsWithTheTransportError) {
    LogCapture log;
    RawHttpServer server(
        "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 100\r\n\r\nshort");
    CHttpClient client;
    std::string reply = "stale";
    EXPECT_FALSE(client.post(server.baseUrl() + "/p", "a=1", reply));
    EXPECT_EQ(reply, "");
    EXPECT_TRUE(log.contains("http CInternetException 18"));
}

// A listener that never accepts: connections complete in the kernel's backlog, requests are
// sent, and no reply ever comes, so every request stays in flight until its time-out.
int silentListener() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return -1;
    }
    return ntohs(address.sin_port);
}

TEST(HttpClientLifetime, ProcessExitsCleanlyWithRequestsInFlight) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const int port = silentListener();
            if (port < 0) {
                std::_Exit(2);
            }
            static std::atomic<int> completed{0};
            const std::string base = "http://127.0.0.1:" + std::to_string(port);
            CHttpClient client;
            for (int type = 1; type <= 8; ++type) {
                client.postAsync(
                    base + "/api/business/app/reportMsg", "a=1",
                    [](bool, const std::string&, int) { ++completed; }, type);
                client.download(
                    base + "/logo.png", "/tmp/fenwix-never-written.png",
                    [](bool, int) { ++completed; }, 15);
            }
            std::this_thread::sleep_for(300ms);
            // More workers just starting: they are setting up while the process ends.
            for (int type = 1; type <= 8; ++type) {
                client.getAsync(
                    base + "/api/getData", "", [](bool, const std::string&, int) { ++completed; },
                    14);
            }
            // Static objects are destroyed while the workers are still at work.
            std::exit(completed.load() == 0 ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
