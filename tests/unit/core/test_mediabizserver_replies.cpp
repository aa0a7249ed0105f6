#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "livepush/mediabizserver.h"
#include "service/commonutil.h"
#include "support/fakekelvramedia.h"
#include "support/logcapture.h"

namespace {

using fenwixtest::FakeKelvraMedia;

// The session with its business requests answered by the test instead of a server.
class AnsweredSession : public MediaBizServer {
public:
    bool answer = true;
    std::string reply;
    std::vector<std::string> urls;
    std::vector<std::string> forms;

protected:
    bool postForm(const std::string& url, const std::string& form, std::string& out) override {
        urls.push_back(url);
        forms.push_back(form);
        out = reply;
        return answer;
    }
};

class MediaBizReplies : public ::testing::Test {
protected:
    void SetUp() override {
        CComConfig::releaseInstance();
        session.init(nullptr, "./log/");
        media.capture.clearCalls();
    }
    void TearDown() override {
        session.release();
        MediaSdkServer::setSink(nullptr);
        CComConfig::releaseInstance();
    }
    bool pushed() const {
        const auto slots = media.capture.slots();
        return std::find(slots.begin(), slots.end(), 16) != slots.end();
    }

    LogCapture log;
    FakeKelvraMedia media;
    AnsweredSession session;
};

// Start replies from the network: only a complete, well-typed one with a nonzero liveStatus
// pushes; everything else leaves the push off with a log line and no crash.
TEST_F(MediaBizReplies, OnlyAWellFormedStartReplyStartsThePush) {
    struct Case {
        const char* reply;
        bool pushes;
        const char* line;
    };
    const Case cases[] = {
        {R"({"success":true,"payload":{"url":"rtmp://h/l/k","liveStatus":1,"liveId":7}})", true,
         "直播云sdk推流地址：rtmp://h/l/k"},
        {R"({"success":true,"payload":{"url":"rtmp://h/l/k","liveStatus":0,"liveId":7}})", false,
         "直播云sdk推流地址：rtmp://h/l/k"},
        {R"({"payload":{"url":"rtmp://h/l/k","liveStatus":1,"liveId":7}})", false,
         "返回错误 success is null "},
        {R"({"success":null,"payload":{"url":"rtmp://h/l/k","liveStatus":1,"liveId":7}})", false,
         "返回错误 success is null "},
        {R"({"success":"yes","payload":{"url":"rtmp://h/l/k","liveStatus":1,"liveId":7}})", false,
         "not a boolean"},
        {R"({"success":false,"message":"no","payload":{"url":"rtmp://h","liveStatus":1,"liveId":7}})",
         false, " 类型:11"},
        {R"({"success":true,"payload":{"liveStatus":1,"liveId":7}})", false, "url is missing"},
        {R"({"success":true,"payload":{"url":null,"liveStatus":1,"liveId":7}})", false,
         "url is missing"},
        {R"({"success":true,"payload":{"url":5,"liveStatus":1,"liveId":7}})", false,
         "url is of the wrong type"},
        {R"({"success":true,"payload":{"url":"","liveStatus":1,"liveId":7}})", false,
         "url is empty"},
        {R"({"success":true,"payload":{"url":"rtmp://h","liveId":7}})", false,
         "liveStatus is missing"},
        {R"({"success":true,"payload":{"url":"rtmp://h","liveStatus":"1","liveId":7}})", false,
         "liveStatus is of the wrong type"},
        {R"({"success":true,"payload":{"url":"rtmp://h","liveStatus":1}})", false,
         "liveId is missing"},
        {R"({"success":true,"payload":{"url":"rtmp://h","liveStatus":1,"liveId":"7"}})", false,
         "liveId is of the wrong type"},
        {R"({"success":true,"payload":{"url":"rtmp://h","liveStatus":1,"liveId":7.5}})", false,
         "liveId is of the wrong type"},
        {R"({"success":true,"payload":"rtmp://h"})", false, "liveStatus is missing"},
        {R"({"success":true})", false, "liveStatus is missing"},
        {"not json", false, "not json 类型:11"},
        {"", false, " 类型:11"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        media.capture.clearCalls();
        log.clear();
        CComConfig::releaseInstance();
        session.reply = c.reply;
        EXPECT_TRUE(session.startLive());  // the request itself was answered
        EXPECT_EQ(pushed(), c.pushes);
        EXPECT_EQ(session.pushing(), c.pushes);
        EXPECT_EQ(CComConfig::getInstance()->getLivePushRunning(), c.pushes);
        EXPECT_TRUE(log.contains(c.line));
        EXPECT_TRUE(log.contains("直播云sdk开始推流操作: 1 "));
        // Leave no push behind for the next case.
        session.reply = R"({"success":true})";
        media.capture.deliver(1004);
    }
}

TEST_F(MediaBizReplies, AStopReplyConfirmsOnlyWhenItSucceeds) {
    struct Case {
        const char* reply;
        bool confirmed;
    };
    const Case cases[] = {
        {R"({"success":true,"payload":null})", true},
        {R"({"success":true})", true},
        {R"({"success":false,"message":"x"})", false},
        {R"({"payload":{}})", false},
        {"<html>", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        session.reply =
            R"({"success":true,"payload":{"url":"rtmp://h/l","liveStatus":1,"liveId":3}})";
        ASSERT_TRUE(session.startLive());
        ASSERT_FALSE(CComConfig::getInstance()->getLiveStopConfirmed());
        session.reply = c.reply;
        media.capture.deliver(1004);
        EXPECT_EQ(CComConfig::getInstance()->getLiveStopConfirmed(), c.confirmed);
        EXPECT_TRUE(CComConfig::getInstance()->getLivePushRunning());  // never cleared
    }
}

}  // namespace
