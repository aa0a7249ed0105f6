// The installer download of a self-update against the real fenwix-sim (and a raw loopback server
// for replies the sim cannot make): how a body ends, what is handed over, what is reported.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "service/updatedownload.h"
#include "support/rawhttpserver.h"
#include "support/simprocess.h"
#include "support/tempfolder.h"
#include "support/testmainwindow.h"

namespace {

using namespace std::chrono_literals;
constexpr std::size_t kBlock = UpdateDownload::kBlockBytes;

// What the download thread tells its window. A test may hold the thread inside one progress
// report (the first with a fraction at or above holdAt) until it lets it go.
class RecordingView : public UpdateDownloadView {
public:
    void onProgress(double fraction) override {
        std::unique_lock<std::mutex> lock(mutex_);
        fractions_.push_back(fraction);
        if (holdAt_ >= 0 && fraction >= holdAt_ && !released_) {
            held_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return released_; });
        }
    }
    void onAttemptEnded() override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++ended_;
        changed_.notify_all();
    }

    void holdAt(double fraction) {
        std::lock_guard<std::mutex> lock(mutex_);
        holdAt_ = fraction;
    }
    bool waitHeld() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [this] { return held_; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    bool waitEnded(std::chrono::milliseconds bound = 15s) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, bound, [this] { return ended_ > 0; });
    }
    std::vector<double> fractions() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return fractions_;
    }
    void reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        fractions_.clear();
        ended_ = 0;
        holdAt_ = -1;
        held_ = false;
        released_ = false;
    }
    int ended() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return ended_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<double> fractions_;
    int ended_ = 0;
    double holdAt_ = -1;
    bool held_ = false;
    bool released_ = false;
};

std::string base64(const std::string& bytes) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) {
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

// Every byte value, over and over.
std::string binaryBody(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        body[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return body;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int closedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    socklen_t length = sizeof(address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

class UpdateDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = std::make_shared<TestMainWindow>(
            [this](unsigned msg, std::uintptr_t wParam, std::intptr_t) -> std::intptr_t {
                if (msg == WM_NOTICE) {
                    {
                        std::lock_guard<std::mutex> lock(noticeLock_);
                        notices_.push_back(static_cast<unsigned>(wParam));
                    }
                    if (onNotice_) {
                        onNotice_(static_cast<unsigned>(wParam));
                    }
                }
                return 0;
            });
        publishMainWindow(window_);
        installer_ = folder_.file("FenwixStuDesktopupdate");
    }
    void TearDown() override {
        download_.reset();
        publishMainWindow(nullptr);
    }

    void clearNotices() {
        std::lock_guard<std::mutex> lock(noticeLock_);
        notices_.clear();
    }
    std::vector<unsigned> notices() const {
        std::lock_guard<std::mutex> lock(noticeLock_);
        return notices_;
    }

    void serve(const std::string& path, const std::string& body) const {
        Json::Value reply;
        reply["path"] = path;
        reply["bodyBase64"] = base64(body);
        reply["contentType"] = "application/octet-stream";
        sim_.setReply(reply);
    }

    // Starts an attempt and waits for its thread to end.
    void runToEnd(const std::string& url) {
        download_->start(url, installer_);
        ASSERT_TRUE(view_.waitEnded());
        download_->stopAndWait();
    }

    fenwixtest::SimProcess sim_;
    TempFolder folder_;
    std::string installer_;
    RecordingView view_;
    std::unique_ptr<UpdateDownload> download_ = std::make_unique<UpdateDownload>(view_);
    std::shared_ptr<TestMainWindow> window_;
    mutable std::mutex noticeLock_;
    std::vector<unsigned> notices_;
    std::function<void(unsigned)> onNotice_;
};

// ---- bodies that complete ----

struct CompleteCase {
    const char* name;
    std::size_t size;
    std::size_t reports;  // progress reports: one per read, the ending short or empty read included
};

class UpdateCompleteBody : public UpdateDownloadTest,
                           public ::testing::WithParamInterface<CompleteCase> {};

TEST_P(UpdateCompleteBody, IsWrittenWholeAndHandedOverOnce) {
    const std::string body = binaryBody(GetParam().size);
    serve("/files/setup.bin", body);
    runToEnd(sim_.baseUrl() + "/files/setup.bin");

    EXPECT_EQ(readAll(installer_), body);
    EXPECT_EQ(notices(), std::vector<unsigned>{NOTICE_UPDATE_DOWNLOADED});
    const auto fractions = view_.fractions();
    ASSERT_EQ(fractions.size(), GetParam().reports);
    for (std::size_t i = 0; i + 1 < fractions.size(); ++i) {
        EXPECT_DOUBLE_EQ(fractions[i], static_cast<double>((i + 1) * kBlock) / body.size());
    }
    EXPECT_DOUBLE_EQ(fractions.back(), 1.0);
    EXPECT_FALSE(download_->isRunning());
    EXPECT_EQ(view_.ended(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, UpdateCompleteBody,
    ::testing::Values(CompleteCase{"ShorterThanOneBlock", 100, 1},
                      CompleteCase{"ExactlyOneBlockEndsWithAnEmptyRead", kBlock, 2},
                      CompleteCase{"ExactMultipleEndsWithAnEmptyRead", 4 * kBlock, 5},
                      CompleteCase{"OneByteIntoTheLastBlock", 2 * kBlock + 1, 3},
                      CompleteCase{"Large", 1000 * kBlock + 17, 1001}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the offered digest ----

struct DigestCase {
    const char* name;
    std::string sha256;  // offered with the installer
    std::vector<unsigned> notices;
};

class UpdateOfferedDigest : public UpdateDownloadTest,
                            public ::testing::WithParamInterface<DigestCase> {};

// The body "abc": its digest is the well-known one below.
TEST_P(UpdateOfferedDigest, DecidesTheHandOver) {
    serve("/files/setup.bin", "abc");
    download_->start(sim_.baseUrl() + "/files/setup.bin", installer_, GetParam().sha256);
    ASSERT_TRUE(view_.waitEnded());
    download_->stopAndWait();
    EXPECT_EQ(notices(), GetParam().notices);
}

const std::string kAbcSha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

INSTANTIATE_TEST_SUITE_P(
    Offers, UpdateOfferedDigest,
    ::testing::Values(DigestCase{"NoneOffered", "", {NOTICE_UPDATE_DOWNLOADED}},
                      DigestCase{"Matching", kAbcSha256, {NOTICE_UPDATE_DOWNLOADED}},
                      DigestCase{"MatchingInCapitals",
                                 "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD",
                                 {NOTICE_UPDATE_DOWNLOADED}},
                      DigestCase{"OtherFile", std::string(64, '0'), {NOTICE_UPDATE_FAILED}},
                      DigestCase{"Truncated", kAbcSha256.substr(0, 63), {NOTICE_UPDATE_FAILED}},
                      DigestCase{"NotHex", kAbcSha256.substr(0, 63) + "g", {NOTICE_UPDATE_FAILED}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateDownloadTest, RequestIsOneGetWithTheFormTypeAndNoBody) {
    serve("/files/setup.bin", "abc");
    runToEnd(sim_.baseUrl() + "/files/setup.bin?version=2");
    const Json::Value requests = sim_.requests("/files/setup.bin");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["method"].asString(), "GET");
    EXPECT_EQ(requests[0]["query"].asString(), "version=2");
    EXPECT_EQ(requests[0]["bodyLength"].asUInt(), 0u);
    bool formType = false;
    for (const auto& name : requests[0]["headers"].getMemberNames()) {
        if (name == "Content-Type") {
            formType = requests[0]["headers"][name].asString().find(
                           "application/x-www-form-urlencoded") != std::string::npos;
        }
    }
    EXPECT_TRUE(formType) << requests[0]["headers"].toStyledString();
}

TEST_F(UpdateDownloadTest, EveryAttemptTruncatesTheFileOfTheLastOne) {
    std::ofstream(installer_, std::ios::binary) << std::string(10 * kBlock, 'x');
    serve("/files/setup.bin", "new installer");
    runToEnd(sim_.baseUrl() + "/files/setup.bin");
    EXPECT_EQ(readAll(installer_), "new installer");
}

TEST_F(UpdateDownloadTest, BodyWithoutAnnouncedLengthCompletesWithoutProgress) {
    RawHttpServer server("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" +
                         std::string(kBlock + 10, 'z'));
    server.setCloseSilently(true);
    runToEnd(server.baseUrl() + "/setup.bin");
    EXPECT_EQ(readAll(installer_), std::string(kBlock + 10, 'z'));
    EXPECT_EQ(notices(), std::vector<unsigned>{NOTICE_UPDATE_DOWNLOADED});
    EXPECT_TRUE(view_.fractions().empty());
}

// ---- replies that are not an installer ----

struct StatusCase {
    const char* name;
    int status;
};

class UpdateNotOk : public UpdateDownloadTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(UpdateNotOk, EndsWithoutTipHandOverOrFileAndIsNotFollowed) {
    Json::Value reply;
    reply["path"] = "/files/setup.bin";
    reply["status"] = GetParam().status;
    reply["body"] = "moved";
    reply["headers"]["Location"] = "/files/elsewhere.bin";
    sim_.setReply(reply);
    serve("/files/elsewhere.bin", "the other file");
    runToEnd(sim_.baseUrl() + "/files/setup.bin");

    EXPECT_TRUE(notices().empty());
    EXPECT_FALSE(std::filesystem::exists(installer_));
    EXPECT_EQ(sim_.requests("/files/setup.bin").size(), 1u);
    EXPECT_EQ(sim_.requests("/files/elsewhere.bin").size(), 0u);
    EXPECT_EQ(view_.ended(), 1);
}

INSTANTIATE_TEST_SUITE_P(Statuses, UpdateNotOk,
                         ::testing::Values(StatusCase{"MovedPermanently", 301},
                                           StatusCase{"Found", 302}, StatusCase{"NotFound", 404},
                                           StatusCase{"ServerError", 500}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- transfer failures: the tip, never a hand-over ----

TEST_F(UpdateDownloadTest, FailuresShowTheTipOnceAndNeverHandOver) {
    struct Case {
        const char* name;
        std::function<std::string()> url;
    };
    RawHttpServer truncated("HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n" +
                            std::string(2 * kBlock + 100, 't'));
    truncated.setCloseSilently(true);
    const std::vector<Case> cases = {
        {"connection refused",
         [] { return "http://127.0.0.1:" + std::to_string(closedPort()) + "/setup.bin"; }},
        {"not an address", [] { return std::string("not a url"); }},
        {"unknown scheme", [] { return std::string("gopher://127.0.0.1/setup.bin"); }},
        // Ending before the announced length is a lost connection, not a complete installer.
        {"body cut short", [&] { return truncated.baseUrl() + "/setup.bin"; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view_.reset();
        clearNotices();
        runToEnd(c.url());
        EXPECT_EQ(notices(), std::vector<unsigned>{NOTICE_UPDATE_FAILED});
        EXPECT_EQ(view_.ended(), 1);
    }
}

TEST_F(UpdateDownloadTest, StalledBodyFailsAfterTheReceiveTimeout) {
    // Half the announced body, then silence on an open connection.
    RawHttpServer stalled("HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n" +
                          std::string(5000, 's'));
    const auto started = std::chrono::steady_clock::now();
    runToEnd(stalled.baseUrl() + "/setup.bin");
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(notices(), std::vector<unsigned>{NOTICE_UPDATE_FAILED});
    EXPECT_GE(took, 1500ms);
    // The block before the stall reached the file.
    EXPECT_EQ(readAll(installer_), std::string(kBlock, 's'));
}

// ---- cancel and stop ----

TEST_F(UpdateDownloadTest, CancelDuringTheTransferGivesNoHandOver) {
    serve("/files/setup.bin", binaryBody(20 * kBlock));
    view_.holdAt(0.0);
    download_->start(sim_.baseUrl() + "/files/setup.bin", installer_);
    ASSERT_TRUE(view_.waitHeld());
    download_->cancel();
    view_.release();  // the rest of the body still arrives
    ASSERT_TRUE(view_.waitEnded());
    download_->stopAndWait();
    EXPECT_TRUE(notices().empty());
    EXPECT_EQ(view_.fractions().back(), 1.0);
}

TEST_F(UpdateDownloadTest, StopOnTheUiThreadEndsTheLoopBeforeTheNextBlock) {
    serve("/files/setup.bin", binaryBody(20 * kBlock));
    view_.holdAt(0.0);
    download_->start(sim_.baseUrl() + "/files/setup.bin", installer_);
    ASSERT_TRUE(view_.waitHeld());
    std::promise<bool> stopped;
    window_->startOnUi([&] { stopped.set_value(download_->stopAndWait()); });
    while (download_->isRunning()) {
        std::this_thread::sleep_for(1ms);
    }
    view_.release();
    auto result = stopped.get_future();
    ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(result.get());
    EXPECT_TRUE(notices().empty());
    EXPECT_EQ(view_.fractions().size(), 1u);
    EXPECT_EQ(readAll(installer_).size(), kBlock);
}

// A server that says nothing, or stops sending mid-body: a stop ends the wait at once, and a
// stopped attempt is not a failure.
TEST_F(UpdateDownloadTest, StopEndsAWaitForASilentServerAtOnceWithoutTip) {
    struct Case {
        const char* name;
        std::string reply;
        std::size_t fileBytes;
    };
    const Case cases[] = {
        {"no reply head", "", 0},
        {"body stalls",
         "HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n" + std::string(kBlock + 10, 's'),
         kBlock},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawHttpServer server(c.reply);
        view_.reset();
        clearNotices();
        download_->start(server.baseUrl() + "/setup.bin", installer_);
        ASSERT_TRUE(server.waitForRequests(1, 5s));
        if (c.fileBytes > 0) {
            while (view_.fractions().empty()) {
                std::this_thread::sleep_for(1ms);
            }
        }
        const auto started = std::chrono::steady_clock::now();
        window_->runOnUi([&] { EXPECT_TRUE(download_->stopAndWait()); });
        EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
        EXPECT_TRUE(notices().empty());
        EXPECT_EQ(view_.ended(), 1);
        if (c.fileBytes > 0) {
            EXPECT_EQ(readAll(installer_).size(), c.fileBytes);
        }
    }
}

TEST_F(UpdateDownloadTest, StopAfterTheLastBlockStillHandsOver) {
    serve("/files/setup.bin", binaryBody(2 * kBlock + 10));
    view_.holdAt(1.0);  // the last, short block has been read
    download_->start(sim_.baseUrl() + "/files/setup.bin", installer_);
    ASSERT_TRUE(view_.waitHeld());
    std::promise<bool> stopped;
    window_->startOnUi([&] { stopped.set_value(download_->stopAndWait()); });
    while (download_->isRunning()) {
        std::this_thread::sleep_for(1ms);
    }
    view_.release();
    auto result = stopped.get_future();
    ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
    // The hand-over notice was served while the UI thread waited.
    EXPECT_EQ(notices(), std::vector<unsigned>{NOTICE_UPDATE_DOWNLOADED});
}

TEST_F(UpdateDownloadTest, CancelFromTheHandOverHandlerDoesNotHang) {
    serve("/files/setup.bin", "installer");
    onNotice_ = [this](unsigned code) {
        if (code == NOTICE_UPDATE_DOWNLOADED) {
            download_->cancel();  // the decision is taken; the lock is free again
        }
    };
    runToEnd(sim_.baseUrl() + "/files/setup.bin");
    EXPECT_EQ(notices(), std::vector<unsigned>{NOTICE_UPDATE_DOWNLOADED});
}

TEST_F(UpdateDownloadTest, StopFromInsideTheFailureTipReturnsAtOnce) {
    // A pushed command arriving while the failure tip is open stops the update from inside the
    // tip's handler; waiting there for the thread that waits for the tip would never end.
    std::promise<bool> stopResult;
    onNotice_ = [this, &stopResult](unsigned code) {
        if (code == NOTICE_UPDATE_FAILED) {
            stopResult.set_value(download_->stopAndWait());
        }
    };
    runToEnd("http://127.0.0.1:" + std::to_string(closedPort()) + "/setup.bin");
    auto result = stopResult.get_future();
    ASSERT_EQ(result.wait_for(1s), std::future_status::ready);
    EXPECT_FALSE(result.get());
    EXPECT_EQ(notices(), std::vector<unsigned>{NOTICE_UPDATE_FAILED});
}

TEST_F(UpdateDownloadTest, AnAttemptAfterACancelledOneHandsOver) {
    serve("/files/setup.bin", "installer");
    view_.holdAt(0.0);
    download_->start(sim_.baseUrl() + "/files/setup.bin", installer_);
    ASSERT_TRUE(view_.waitHeld());
    download_->cancel();
    view_.release();
    ASSERT_TRUE(view_.waitEnded());
    download_->stopAndWait();
    EXPECT_TRUE(notices().empty());

    view_.reset();
    runToEnd(sim_.baseUrl() + "/files/setup.bin");
    EXPECT_EQ(notices(), std::vector<unsigned>{NOTICE_UPDATE_DOWNLOADED});
}

}  // namespace
