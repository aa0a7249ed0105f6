#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "livepush/mediasdkserver.h"
#include "service/commonutil.h"
#include "support/fakekelvramedia.h"
#include "support/logcapture.h"

namespace {

using fenwixtest::deviceRecord;
using fenwixtest::FakeKelvraMedia;
using fenwixtest::FakeMediaCall;

// Records which sink operation ran, in order.
class RecordingSink : public MediaSdkSink {
public:
    std::vector<std::string> seen;
    void onCameraOpened() override { seen.emplace_back("cameraOpened"); }
    void onMicrophoneOpened() override { seen.emplace_back("microphoneOpened"); }
    void onCameraOpenFailed() override { seen.emplace_back("cameraOpenFailed"); }
    void onMicrophoneOpenFailed() override { seen.emplace_back("microphoneOpenFailed"); }
    void onPushStopped() override { seen.emplace_back("pushStopped"); }
    void onNetworkError() override { seen.emplace_back("networkError"); }
    void onNetworkRestored() override { seen.emplace_back("networkRestored"); }
};

class MediaSdkServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        CComConfig::releaseInstance();
        MediaSdkServer::setSink(&sink);
    }
    void TearDown() override {
        MediaSdkServer::setSink(nullptr);
        CComConfig::releaseInstance();
    }

    // init, then the calls made after it only.
    void initAndClear() {
        server.init("./log/");
        media.capture.clearCalls();
    }

    FakeMediaCall only(int slot) {
        std::vector<FakeMediaCall> found;
        for (const auto& c : media.capture.calls()) {
            if (c.slot == slot) {
                found.push_back(c);
            }
        }
        EXPECT_EQ(found.size(), 1u) << "slot " << slot;
        return found.empty() ? FakeMediaCall{} : found.front();
    }

    LogCapture log;
    FakeKelvraMedia media;
    RecordingSink sink;
    MediaSdkServer server;
};

TEST_F(MediaSdkServerTest, InitStartsTheLibraryAndRegistersTheAdapterWithTheCaptureObject) {
    server.init("./log/");
    EXPECT_EQ(media.functions(), (std::vector<std::string>{"InitMediaSdk", "SetMediaSdkLogPath",
                                                           "CreateLiveCapture"}));
    EXPECT_EQ(media.logPath(), "./log/");
    EXPECT_EQ(media.capture.slots(), (std::vector<int>{35, 18}));
    EXPECT_EQ(only(35).ints, (std::vector<long long>{1280, 720, 30}));
    EXPECT_EQ(only(18).pointer, static_cast<const void*>(&media.capture));
    EXPECT_EQ(media.capture.callback(), &server);
}

TEST_F(MediaSdkServerTest, DeviceListsAreRefilledNotAppendedAndKeepWholeRecords) {
    media.cameras = {deviceRecord("/dev/video0", "USB Cam", 7), deviceRecord("v1", "Other")};
    media.microphones = {deviceRecord("mic-0", "Mic A")};
    initAndClear();
    ASSERT_EQ(server.getCameraList().size(), 2u);
    const auto cameras = server.getCameraList();
    ASSERT_EQ(cameras.size(), 2u);
    EXPECT_EQ(std::memcmp(&cameras[0], &media.cameras[0], sizeof(cameras[0])), 0);
    EXPECT_EQ(cameras[0].flags, 7);
    EXPECT_EQ(server.getMicrophoneList().size(), 1u);
    EXPECT_TRUE(log.contains("pull sdk getVideoDevice,  deviceID/dev/video0"));
    EXPECT_TRUE(log.contains("pull sdk videolist init,size: 2"));
    EXPECT_TRUE(log.contains("pull sdk getAudioDevice,  deviceIDmic-0"));
    EXPECT_TRUE(log.contains("pull sdk audioList init,size: 1"));
    media.cameras.clear();
    EXPECT_TRUE(server.getCameraList().empty());
}

TEST_F(MediaSdkServerTest, AnIdFilledToTheEndWithoutTerminatorIsReadWithinTheRecord) {
    auto info = deviceRecord("", "x");
    std::memset(info.deviceId, 'A', sizeof(info.deviceId));
    media.cameras = {info};
    initAndClear();
    server.getCameraList();
    EXPECT_TRUE(log.contains("deviceID" + std::string(512, 'A')));
    EXPECT_FALSE(log.contains(std::string(513, 'A')));
}

TEST_F(MediaSdkServerTest, SelectionHandsTheLibraryACopyOfTheWholeRecordOrRefusesTheIndex) {
    media.cameras = {deviceRecord("c0", "Cam 0"), deviceRecord("c1", "Cam 1", 3)};
    media.microphones = {deviceRecord("m0", "Mic 0", 9)};
    struct Case {
        const char* what;
        bool camera;
        int index;
        bool ok;
        const char* line;
    };
    const Case cases[] = {
        {"camera 1", true, 1, true, "pull sdk setVideoDevice,  deviceID: c1"},
        {"camera past the end", true, 2, false, "pull sdk setVideoDevice, 下标设置错误"},
        {"camera -1", true, -1, false, "pull sdk setVideoDevice, 下标设置错误"},
        {"microphone 0", false, 0, true, "pull sdk setAudioDevice,  deviceID: m0"},
        {"microphone 1", false, 1, false, "pull sdk setAudioDevice, 下标设置错误"},
        {"microphone -1", false, -1, false, "pull sdk setAudioDevice, 下标设置错误"},
    };
    initAndClear();
    server.getCameraList();
    server.getMicrophoneList();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        media.capture.clearCalls();
        log.clear();
        const bool ok =
            c.camera ? server.setLiveCamera(c.index) : server.setLiveMicrophone(c.index);
        EXPECT_EQ(ok, c.ok);
        EXPECT_TRUE(log.contains(c.line));
        const auto calls = media.capture.calls();
        if (!c.ok) {
            EXPECT_TRUE(calls.empty());
            continue;
        }
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].slot, c.camera ? 34 : 1);
        const auto& source = c.camera ? media.cameras[c.index] : media.microphones[c.index];
        ASSERT_EQ(calls[0].record.size(), 1025u);
        EXPECT_EQ(std::memcmp(calls[0].record.data(), &source, 1025), 0);
        // A copy the adapter keeps, not the list entry that the next refill replaces.
        EXPECT_NE(calls[0].pointer, static_cast<const void*>(&source));
    }
}

TEST_F(MediaSdkServerTest, SelectionWithAnEmptyListIsRefused) {
    initAndClear();
    server.getCameraList();
    EXPECT_FALSE(server.setLiveCamera(0));
    EXPECT_TRUE(log.contains("pull sdk setVideoDevice, 下标设置错误"));
    EXPECT_TRUE(media.capture.calls().empty());
}

TEST_F(MediaSdkServerTest, PreviewIsPlacedAtTheWindowThenStarted) {
    initAndClear();
    media.capture.previewPlaced = false;
    server.setPreviewPos(0x4a0001, 320, 180);
    EXPECT_EQ(media.capture.slots(), (std::vector<int>{6, 14}));
    EXPECT_EQ(only(6).ints, (std::vector<long long>{0x4a0001, 0, 0, 320, 180}));
    EXPECT_TRUE(log.contains("pull sdk SetPreviewPos：0"));
}

TEST_F(MediaSdkServerTest, StartPushSetsFormatBitrateRecordAndUrlThenStarts) {
    initAndClear();
    media.capture.startPushResult = 42;
    EXPECT_EQ(server.startPush("rtmp://127.0.0.1:1935/live/k"), 42);
    EXPECT_EQ(media.capture.slots(), (std::vector<int>{3, 4, 27, 24, 22, 16}));
    EXPECT_EQ(only(3).ints, (std::vector<long long>{1280, 720, 30}));
    EXPECT_EQ(only(4).ints, (std::vector<long long>{768000}));
    EXPECT_EQ(only(27).text, "type.mp4");
    EXPECT_EQ(only(27).ints, (std::vector<long long>{0}));
    EXPECT_EQ(only(22).text, "rtmp://127.0.0.1:1935/live/k");
}

TEST(MediaSdkBitrate, TheFactorIsCutToItsIntegerPartBeforeTheMultiplication) {
    struct Case {
        double factor;
        int bitrate;
    };
    const Case cases[] = {{1.0, 768000},
                          {1.5, 768000},
                          {2.0, 1536000},
                          {0.9, 0},
                          {0.0, 0},
                          // held where the product still fits an int instead of overflowing
                          {1e12, 2796 * 768000}};
    for (const Case& c : cases) {
        EXPECT_EQ(MediaSdkServer::pushBitrate(c.factor), c.bitrate) << c.factor;
    }
}

TEST_F(MediaSdkServerTest, StopsAndReleaseReachTheirSlotsAndReleaseHappensOnce) {
    initAndClear();
    server.stopPreview();
    server.stopPush();
    server.release();
    server.release();
    EXPECT_EQ(media.capture.slots(), (std::vector<int>{15, 17, 0}));
    EXPECT_TRUE(log.contains("pull sdk stopPreview"));
    const auto functions = media.functions();
    EXPECT_EQ(std::count(functions.begin(), functions.end(), "UnInitMediaSdk"), 1);
}

TEST_F(MediaSdkServerTest, CaptureEventsAreLoggedAndRoutedToTheSink) {
    struct Case {
        int event;
        const char* line;  // nullptr: only the event line
        const char* sinkCall;
    };
    const Case cases[] = {
        {1001, "pull sdk回调 预览开始", nullptr},
        {1002, "pull sdk回调 预览结束", nullptr},
        {1003, "pull sdk回调 推流开始", nullptr},
        {1004, "pull sdk回调 推流结束", "pushStopped"},
        {1005, "pull sdk摄像头设备改变", nullptr},
        {1006, "pull sdk麦克风设备改变", nullptr},
        {1007, "pull sdk回调 摄像头设备打开", "cameraOpened"},
        {1008, "pull sdk回调 麦克风设备打开", "microphoneOpened"},
        {1016, "pull sdk麦克风在OS中被设置了静音 ", nullptr},
        {1017, "pull sdk麦克风在OS中取消了静音", nullptr},
        {2001, "pull sdk回调 网络异常", "networkError"},
        {2002, "pull sdk回调 网络恢复", "networkRestored"},
        {2011, "pull sdk打开摄像头失败 ", "cameraOpenFailed"},
        {2012, "pull sdk打开麦克风失败 ", "microphoneOpenFailed"},
        {1234, nullptr, nullptr},
    };
    server.init("./log/");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        log.clear();
        sink.seen.clear();
        media.capture.deliver(c.event, 5);
        const auto lines = log.lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(lines[0].find("pull back event: " + std::to_string(c.event) + " id：5"),
                  std::string::npos);
        EXPECT_EQ(lines.size(), c.line != nullptr ? 2u : 1u);
        if (c.line != nullptr) {
            EXPECT_TRUE(log.contains(c.line));
        }
        EXPECT_EQ(sink.seen, c.sinkCall != nullptr ? std::vector<std::string>{c.sinkCall}
                                                   : std::vector<std::string>{});
    }
}

TEST_F(MediaSdkServerTest, WithoutACaptureObjectEveryOperationIsHarmless) {
    media.giveCapture = false;
    server.init("./log/");
    media.cameras = {deviceRecord("c0", "Cam 0")};
    server.getCameraList();
    EXPECT_TRUE(server.setLiveCamera(0));
    server.setPreviewPos(1, 2, 3);
    EXPECT_EQ(server.startPush("rtmp://x/y"), 0);
    server.stopPreview();
    server.stopPush();
    server.release();
    EXPECT_TRUE(media.capture.calls().empty());
    EXPECT_TRUE(log.contains("gave no capture object"));
}

}  // namespace
