#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "conference/vidyoserver.h"
#include "support/fakevidyoclient.h"
#include "support/logcapture.h"

namespace {

using fenwixtest::FakeVidyoClient;
using Bytes = std::vector<unsigned char>;

// Writes down every sink call as one line of text.
class RecordingSink : public VidyoServerSink {
public:
    std::vector<std::string> calls;

    void onLoginSuccess() override { add("onLoginSuccess"); }
    void onLoginFailed() override { add("onLoginFailed"); }
    void onLogoutSuccess() override { add("onLogoutSuccess"); }
    void onJoinSuccess() override { add("onJoinSuccess"); }
    void onJoinFailed() override { add("onJoinFailed"); }
    void onLeaveSuccess() override { add("onLeaveSuccess"); }
    void onChatMessage(const std::string& address, const std::string& message,
                       const std::string& displayName, int type) override {
        add("onChatMessage(" + address + "|" + message + "|" + displayName + "|" +
            std::to_string(type) + ")");
    }
    void onDeviceMuteState(int device, bool muted, int origin, int error) override {
        add("onDeviceMuteState(" + std::to_string(device) + "," + std::to_string(muted) + "," +
            std::to_string(origin) + "," + std::to_string(error) + ")");
    }
    void onScreenFixFailed() override { add("onScreenFixFailed"); }
    void onScreenFixSuccess(int mode) override {
        add("onScreenFixSuccess(" + std::to_string(mode) + ")");
    }
    void onSourceRemoved(const std::string& address) override {
        add("onSourceRemoved(" + address + ")");
    }
    void onParticipantsChanged() override { add("onParticipantsChanged"); }
    void onConferenceNotice() override { add("onConferenceNotice"); }
    void onReserved() override { add("onReserved"); }
    void onCallStateChanged(int state) override {
        add("onCallStateChanged(" + std::to_string(state) + ")");
    }
    void onRawAudioFrame(const void*) override { add("onRawAudioFrame"); }
    void onRawVideoFrame(const void*) override { add("onRawVideoFrame"); }

private:
    void add(std::string call) { calls.push_back(std::move(call)); }
};

// A record of `size` bytes with 32-bit values, single bytes and texts placed by offset.
struct RecordBuilder {
    Bytes bytes;
    explicit RecordBuilder(std::size_t size) : bytes(size, 0) {}
    RecordBuilder& u32(std::size_t offset, std::uint32_t v) {
        std::memcpy(bytes.data() + offset, &v, 4);
        return *this;
    }
    RecordBuilder& byte(std::size_t offset, unsigned char v) {
        bytes[offset] = v;
        return *this;
    }
    RecordBuilder& text(std::size_t offset, const std::string& t) {
        std::memcpy(bytes.data() + offset, t.data(), t.size());
        return *this;
    }
};

class VidyoServerOutEvents : public ::testing::Test {
protected:
    void SetUp() override { VidyoServer::setSink(&sink); }
    void TearDown() override { VidyoServer::setSink(nullptr); }

    FakeVidyoClient fake;
    RecordingSink sink;
};

struct RouteCase {
    const char* name;
    unsigned int event;
    Bytes record;
    std::vector<std::string> calls;
};

class Routing : public VidyoServerOutEvents, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(Routing, ReachesTheSinkOperation) {
    const auto& c = GetParam();
    fake.deliverBytes(c.event, c.record);
    EXPECT_EQ(sink.calls, c.calls);
}

RouteCase route(const char* name, unsigned int event, Bytes record,
                std::vector<std::string> calls) {
    return RouteCase{name, event, std::move(record), std::move(calls)};
}

INSTANTIATE_TEST_SUITE_P(
    Events, Routing,
    ::testing::Values(
        route("Joined", 1200, {}, {"onJoinSuccess"}), route("Left", 1201, {}, {"onLeaveSuccess"}),
        route("ParticipantsChanged", 1202, {}, {"onParticipantsChanged"}),
        route("ParticipantsLimit", 2002, {}, {"onParticipantsChanged"}),
        route("SourceRemoved", 1211, RecordBuilder(264).u32(0, 0).text(4, "t@p").bytes,
              {"onSourceRemoved(t@p)"}),
        route("SourceRemovedOtherMedia", 1211, RecordBuilder(264).u32(0, 1).text(4, "t@p").bytes,
              {}),
        route("MicLocal", 1500, RecordBuilder(8).byte(0, 1).u32(4, 0).bytes,
              {"onDeviceMuteState(1,1,0,0)"}),
        route("SpeakerLocal", 1501, RecordBuilder(8).byte(0, 0).u32(4, 3).bytes,
              {"onDeviceMuteState(2,0,0,3)"}),
        route("CameraLocal", 1502, RecordBuilder(8).byte(0, 9).bytes,
              {"onDeviceMuteState(0,1,0,0)"}),
        route("MicServer", 1503, RecordBuilder(8).byte(0, 1).bytes, {"onDeviceMuteState(1,1,1,0)"}),
        route("CameraServer", 1504, RecordBuilder(8).byte(0, 0).u32(4, 12).bytes,
              {"onDeviceMuteState(0,0,1,12)"}),
        route("ConferenceNotice", 2003, {}, {"onConferenceNotice"}),
        route("PinFailed", 2102, RecordBuilder(268).u32(260, 2).byte(264, 0).bytes,
              {"onScreenFixFailed"}),
        route("PinSetMode2", 2102, RecordBuilder(268).u32(260, 2).byte(264, 1).bytes,
              {"onScreenFixSuccess(2)"}),
        route("PinMode1NotSet", 2102, RecordBuilder(268).u32(260, 1).byte(264, 0).bytes,
              {"onScreenFixSuccess(1)"}),
        route("PinFlagOtherThanOne", 2102, RecordBuilder(268).u32(260, 2).byte(264, 2).bytes,
              {"onScreenFixFailed"}),
        route("LoginProgressOnlyLogged", 2300, RecordBuilder(392).u32(0, 5).bytes, {}),
        route("LinkedOnlyLogged", 2302, RecordBuilder(4).u32(0, 0).bytes, {}),
        route("SignedIn", 2303, {}, {"onLoginSuccess"}),
        route("SignedOutIsLogout", 2304, RecordBuilder(8).u32(0, 9).u32(4, 0).bytes,
              {"onLogoutSuccess"}),
        route("SignedOutWithErrorIsLoginFailure", 2304, RecordBuilder(8).u32(4, 5).bytes,
              {"onLoginFailed"}),
        route("JoinFailed", 2305, RecordBuilder(4).u32(0, 5).bytes, {"onJoinFailed"}),
        route("JoinProgressNoError", 2305, RecordBuilder(4).u32(0, 0).bytes, {}),
        route("CallState", 2500, RecordBuilder(4).u32(0, 0).bytes, {"onCallStateChanged(0)"}),
        route("CallStateOther", 2500, RecordBuilder(4).u32(0, 3).bytes, {"onCallStateChanged(3)"}),
        route("GroupChat", 2600,
              RecordBuilder(4484)
                  .text(0, "t@p")
                  .text(257, "张老师")
                  .text(385, "{\"status\":1}")
                  .bytes,
              {"onChatMessage(t@p|{\"status\":1}|张老师|1)"}),
        route("PrivateChat", 2601,
              RecordBuilder(4484).text(0, "a").text(257, "b").text(385, "c").bytes,
              {"onChatMessage(a|c|b|0)"}),
        route("RawAudio", 2810, Bytes(64, 1), {}), route("RawVideo", 2811, Bytes(64, 1), {}),
        route("FloatingWindow", 2004, {}, {}), route("StatisticsTick", 200600, {}, {}),
        route("Unknown", 4242, Bytes(16, 0xFF), {})),
    [](const auto& info) { return std::string(info.param.name); });

// Records too short for the fields an event reads are ignored instead of read past their end.
class ShortRecords : public VidyoServerOutEvents,
                     public ::testing::WithParamInterface<unsigned int> {};

TEST_P(ShortRecords, AreIgnoredWithAWarning) {
    LogCapture log;
    fake.deliverBytes(GetParam(), Bytes(3, 0));
    VidyoServer::outEventHandler(GetParam(), nullptr, 4096, nullptr);
    EXPECT_TRUE(sink.calls.empty());
    EXPECT_EQ(log.count("record too short"), 2u);
    EXPECT_TRUE(fake.eventCodes().empty());
}

INSTANTIATE_TEST_SUITE_P(Events, ShortRecords,
                         ::testing::Values(300u, 1211u, 1500u, 1504u, 2102u, 2300u, 2302u, 2304u,
                                           2305u, 2500u, 2600u, 2601u));

TEST_F(VidyoServerOutEvents, UnterminatedTextsStopAtTheirFieldOrRecordEnd) {
    // A chat whose texts fill their fields without a terminator and whose message runs to the
    // record's end.
    Bytes record(385 + 10, 'x');
    std::memset(record.data(), 'u', 257);
    std::memset(record.data() + 257, 'n', 128);
    fake.deliverBytes(2600, record);
    ASSERT_EQ(sink.calls.size(), 1u);
    EXPECT_EQ(sink.calls[0], "onChatMessage(" + std::string(257, 'u') + "|" + std::string(10, 'x') +
                                 "|" + std::string(128, 'n') + "|1)");
}

TEST_F(VidyoServerOutEvents, SignoffPromptWithZeroConfirms) {
    fake.deliverBytes(300, RecordBuilder(4).u32(0, 0).bytes);
    fake.deliverBytes(300, RecordBuilder(4).u32(0, 1).bytes);
    EXPECT_EQ(fake.eventCodes(), std::vector<unsigned int>{1602});
    const auto events = fake.callsOf(fenwixtest::FakeVidyoCall::kEvent);
    EXPECT_TRUE(events[0].nullRecord);
    EXPECT_TRUE(sink.calls.empty());
}

TEST_F(VidyoServerOutEvents, LogLines) {
    LogCapture log;
    fake.deliver(1200);
    fake.deliver(1201);
    fake.deliverBytes(2304, RecordBuilder(8).u32(4, 5).bytes);
    fake.deliverBytes(2304, RecordBuilder(8).u32(4, 0).bytes);
    fake.deliverBytes(2305, RecordBuilder(4).u32(0, 7).bytes);
    fake.deliverBytes(2302, RecordBuilder(4).u32(0, 6).bytes);
    fake.deliver(2303);
    fake.deliverBytes(2102, RecordBuilder(268).u32(260, 2).byte(264, 1).bytes);
    fake.deliverBytes(
        2300, RecordBuilder(392).u32(0, 6).text(4, "http://portal").text(261, "stu01").bytes);
    EXPECT_TRUE(log.contains("OutEvent: 1200"));
    EXPECT_TRUE(log.contains("加入会议操作成功 \n"));
    EXPECT_TRUE(log.contains("退出会议操作成功 \n"));
    EXPECT_TRUE(log.contains("登录失败: 5"));
    EXPECT_EQ(log.count("登出成功"), 1u);
    EXPECT_TRUE(log.contains("加入房间失败: 7"));
    EXPECT_TRUE(log.contains("link是否成功: error=: 6"));
    EXPECT_TRUE(log.contains("登录成功"));
    EXPECT_TRUE(log.contains("固屏反馈,videoMode=2 isSet=1"));
    EXPECT_TRUE(log.contains("登录PORTAL error=: 6 portalUri=http://portal userName=stu01"));
}

TEST_F(VidyoServerOutEvents, FrequentEventsAreNotLogged) {
    LogCapture log;
    for (const unsigned int event : {1202u, 2004u, 2810u, 2811u, 200600u}) {
        fake.deliver(event);
    }
    fake.deliver(2002);
    EXPECT_EQ(log.count("OutEvent: "), 1u);
    EXPECT_TRUE(log.contains("OutEvent: 2002"));
}

TEST_F(VidyoServerOutEvents, WithoutSinkEventsAreOnlyLogged) {
    VidyoServer::setSink(nullptr);
    LogCapture log;
    fake.deliver(1200);
    fake.deliverBytes(2304, RecordBuilder(8).u32(4, 5).bytes);
    EXPECT_TRUE(sink.calls.empty());
    EXPECT_TRUE(log.contains("OutEvent: 1200"));
}

}  // namespace
