// The live-streaming library driven as the terminal drives it: functions by name, the capture
// object by slot number, events on the library's thread; pushes to a real RTMP receiver checked
// with ffprobe, microphones from a private sound server.
#include "sdk/kelvramedia/kelvramedia.h"
#include "support/capturerecorder.h"
#include "support/captureslot.h"
#include "support/mediaprobe.h"
#include "support/pulsedaemon.h"
#include "support/rtmpserver.h"
#include "support/scopedenv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using fenwixtest::CaptureRecorder;
using fenwixtest::RtmpServer;
using fenwixtest::slot;
using KelvraMediaSdk::CaptureDeviceInfo;
using KelvraMediaSdk::ILiveCapture;

using fenwixtest::ScopedEnv;

namespace {

std::string text(const char* field) {
    return std::string(field, strnlen(field, KelvraMediaSdk::kDeviceTextSize));
}

std::vector<CaptureDeviceInfo> cameras() {
    std::vector<CaptureDeviceInfo> out(KelvraMediaSdk::GetCameraDeviceCount());
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        EXPECT_EQ(KelvraMediaSdk::GetCameraDevice(i, &out[i]), 1);
    }
    return out;
}

std::vector<CaptureDeviceInfo> microphones() {
    std::vector<CaptureDeviceInfo> out(KelvraMediaSdk::GetMicrophoneCount());
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        EXPECT_EQ(KelvraMediaSdk::GetMicrophone(i, &out[i]), 1);
    }
    return out;
}

const CaptureDeviceInfo* byName(const std::vector<CaptureDeviceInfo>& list,
                                const std::string& name) {
    for (const auto& d : list) {
        if (text(d.deviceName) == name) {
            return &d;
        }
    }
    return nullptr;
}

// One capture object set up the way the terminal's adapter does it, with the virtual camera
// and a microphone of a private sound server.
class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        microphoneName_ = pulse_.addSource("Classroom Mic (USB)");
        KelvraMediaSdk::InitMediaSdk();
        capture_ = KelvraMediaSdk::CreateLiveCapture();
        ASSERT_NE(capture_, nullptr);
        slot<void>(capture_, 35, 1280, 720, 30);
        slot<void>(capture_, 18, static_cast<KelvraMediaSdk::ICaptureCallback*>(&events_),
                   static_cast<void*>(capture_));
        const auto cams = cameras();
        const CaptureDeviceInfo* camera = byName(cams, "Fenwix Virtual Camera");
        ASSERT_NE(camera, nullptr);
        camera_ = *camera;
        const auto mics = microphones();
        const CaptureDeviceInfo* mic = byName(mics, "Classroom Mic (USB)");
        ASSERT_NE(mic, nullptr);
        microphone_ = *mic;
        slot<void>(capture_, 34, &camera_);
        slot<void>(capture_, 1, &microphone_);
    }

    void TearDown() override {
        release();
        KelvraMediaSdk::UnInitMediaSdk();
    }

    void release() {
        if (capture_ != nullptr) {
            slot<void>(capture_, 0);
            capture_ = nullptr;
        }
    }

    // slots 3, 4, 27, 24, 22, 16: the push set-up the terminal's adapter makes.
    int startPush(const std::string& url, int bitrate = 768000) {
        slot<void>(capture_, 3, 1280, 720, 30);
        slot<void>(capture_, 4, bitrate);
        slot<void>(capture_, 27, "type.mp4", 0);
        slot<void>(capture_, 24);
        slot<void>(capture_, 22, url.c_str());
        return slot<int>(capture_, 16);
    }

    ScopedEnv camera_env_{"FENWIX_VIRTUAL_CAMERA", "1"};
    fenwixtest::PulseDaemon pulse_;
    CaptureRecorder events_;
    ILiveCapture* capture_ = nullptr;
    CaptureDeviceInfo camera_{};
    CaptureDeviceInfo microphone_{};
    std::string microphoneName_;
};

TEST(KelvraMediaLibrary, DeviceRecordsAndLists) {
    ScopedEnv camera("FENWIX_VIRTUAL_CAMERA", "1");
    fenwixtest::PulseDaemon pulse;
    const std::string first = pulse.addSource("Desk Mic");
    const std::string second = pulse.addSource("Ceiling Array (USB)");
    pulse.setDefaultSource(second);
    pulse.addSink("Speakers");  // its monitor is no microphone
    KelvraMediaSdk::InitMediaSdk();

    const auto cams = cameras();
    const CaptureDeviceInfo* virtualCamera = byName(cams, "Fenwix Virtual Camera");
    ASSERT_NE(virtualCamera, nullptr);
    EXPECT_EQ(text(virtualCamera->deviceId), "virtual:camera");
    EXPECT_TRUE(virtualCamera->flags & KelvraMediaSdk::kDeviceIsVirtual);

    const auto mics = microphones();
    ASSERT_EQ(mics.size(), 2u) << "sources only, in the server's order";
    EXPECT_EQ(text(mics[0].deviceName), "Desk Mic");
    EXPECT_EQ(text(mics[0].deviceId), first);
    EXPECT_EQ(mics[0].flags & KelvraMediaSdk::kDeviceIsDefault, 0);
    EXPECT_EQ(text(mics[1].deviceName), "Ceiling Array (USB)");
    EXPECT_TRUE(mics[1].flags & KelvraMediaSdk::kDeviceIsDefault);

    CaptureDeviceInfo out;
    std::memset(&out, 0x5a, sizeof(out));
    EXPECT_EQ(KelvraMediaSdk::GetMicrophone(2, &out), 0);
    EXPECT_EQ(KelvraMediaSdk::GetMicrophone(-1, &out), 0);
    EXPECT_EQ(out.deviceName[0], 0) << "a refused record is zero-filled";
    EXPECT_EQ(KelvraMediaSdk::GetCameraDevice(0, nullptr), 0);
    KelvraMediaSdk::UnInitMediaSdk();
}

TEST(KelvraMediaLibrary, NoVirtualCameraUnlessSwitchedOn) {
    ScopedEnv camera("FENWIX_VIRTUAL_CAMERA", nullptr);
    KelvraMediaSdk::InitMediaSdk();
    EXPECT_EQ(byName(cameras(), "Fenwix Virtual Camera"), nullptr);
    KelvraMediaSdk::UnInitMediaSdk();
}

TEST(KelvraMediaLibrary, NoCaptureObjectBeforeInit) {
    KelvraMediaSdk::UnInitMediaSdk();
    EXPECT_EQ(KelvraMediaSdk::CreateLiveCapture(), nullptr);
}

TEST_F(CaptureTest, UnusedSlotsAreHarmless) {
    for (int index :
         {2, 5, 7, 8, 9, 10, 11, 12, 13, 19, 20, 21, 23, 25, 26, 28, 29, 30, 31, 32, 33}) {
        slot<void>(capture_, index);
    }
    EXPECT_EQ(events_.events().size(), 0u);
}

TEST_F(CaptureTest, SoundServerChangesAreTold) {
    const std::string other = pulse_.addSource("Spare Mic");
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventMicrophoneListChanged, 5s))
        << events_.codes();
    EXPECT_EQ(events_.events().back().value, 2) << "the new number of microphones";

    pulse_.pactl({"set-source-mute", other, "1"});  // not the chosen one
    pulse_.pactl({"set-source-mute", microphoneName_, "1"});
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventMicrophoneMuted, 5s)) << events_.codes();
    pulse_.pactl({"set-source-mute", microphoneName_, "0"});
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventMicrophoneUnmuted, 5s)) << events_.codes();
    EXPECT_EQ(events_.count(KelvraMediaSdk::kEventMicrophoneMuted), 1) << events_.codes();
    for (const auto& e : events_.events()) {
        EXPECT_NE(e.thread, std::this_thread::get_id());
    }
}

TEST_F(CaptureTest, PushReachesTheReceiverAsH264AndAac) {
    RtmpServer rtmp;
    EXPECT_EQ(startPush(rtmp.url("class1")), KelvraMediaSdk::kPushStarting);
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventPushStarted, 15s)) << events_.codes();
    EXPECT_TRUE(events_.waitFor(KelvraMediaSdk::kEventCameraOpened, 5s)) << events_.codes();
    EXPECT_TRUE(events_.waitFor(KelvraMediaSdk::kEventMicrophoneOpened, 5s)) << events_.codes();
    // A second start while pushing changes nothing.
    EXPECT_EQ(slot<int>(capture_, 16), KelvraMediaSdk::kPushAlreadyRunning);
    ASSERT_TRUE(rtmp.waitForBytes("class1", 300000, 20s)) << rtmp.log();
    slot<void>(capture_, 17);
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventPushStopped, 5s)) << events_.codes();

    for (const auto& e : events_.events()) {
        EXPECT_NE(e.thread, std::this_thread::get_id()) << "events come on the library's thread";
        EXPECT_EQ(e.context, capture_) << "with the context given to slot 18";
    }
    EXPECT_EQ(events_.count(KelvraMediaSdk::kEventPushStarted), 1);
    EXPECT_EQ(events_.count(KelvraMediaSdk::kEventCameraOpened), 1);

    const auto files = rtmp.recordings("class1");
    ASSERT_EQ(files.size(), 1u);
    const auto probe = fenwixtest::probeMedia(files[0]);
    EXPECT_EQ(probe.videoCodec, "h264") << probe.raw;
    EXPECT_EQ(probe.width, 1280);
    EXPECT_EQ(probe.height, 720);
    EXPECT_NEAR(probe.fps, 30, 1.5) << probe.raw;
    EXPECT_EQ(probe.audioCodec, "aac") << probe.raw;
}

TEST_F(CaptureTest, ReceiverRestartIsLostAndRegained) {
    RtmpServer rtmp;
    ASSERT_EQ(startPush(rtmp.url("class2")), KelvraMediaSdk::kPushStarting);
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventPushStarted, 15s)) << events_.codes();
    ASSERT_TRUE(rtmp.waitForBytes("class2", 50000, 10s));

    rtmp.restart();
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventNetworkLost, 10s)) << events_.codes();
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventNetworkRestored, 10s)) << events_.codes();
    // The recording goes on within 5 s, without a new start.
    ASSERT_TRUE(rtmp.waitForBytes("class2", 50000, 5s, rtmp.recordedBytes("class2"))) << rtmp.log();
    EXPECT_EQ(events_.count(KelvraMediaSdk::kEventPushStarted), 1) << events_.codes();
    EXPECT_EQ(events_.count(KelvraMediaSdk::kEventPushStopped), 0) << events_.codes();
    EXPECT_EQ(events_.count(KelvraMediaSdk::kEventCameraOpened), 1) << "no second camera open";
}

struct BadUrl {
    const char* name;
    const char* url;
};

class CaptureBadUrl : public CaptureTest, public ::testing::WithParamInterface<BadUrl> {};

TEST_P(CaptureBadUrl, RefusedAndToldAsEnded) {
    EXPECT_EQ(startPush(GetParam().url), KelvraMediaSdk::kPushNoUrl);
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventPushStopped, 5s)) << events_.codes();
    EXPECT_EQ(events_.count(KelvraMediaSdk::kEventPushStarted), 0);
}

INSTANTIATE_TEST_SUITE_P(Urls, CaptureBadUrl,
                         ::testing::Values(BadUrl{"Http", "http://127.0.0.1:1935/live/x"},
                                           BadUrl{"Empty", ""}, BadUrl{"NoHost", "rtmp:///live/x"},
                                           BadUrl{"NoApp", "rtmp://127.0.0.1"},
                                           BadUrl{"PortOnly", "rtmp://:1935/live/x"},
                                           BadUrl{"Blank", "rtmp://127.0.0.1/live/a b"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CaptureTest, RefusingReceiverIsANetworkErrorUntilStopped) {
    ASSERT_EQ(startPush(fenwixtest::refusingRtmpUrl("x")), KelvraMediaSdk::kPushStarting);
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventNetworkLost, 10s)) << events_.codes();
    slot<void>(capture_, 17);
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventPushStopped, 5s)) << events_.codes();
    EXPECT_EQ(events_.count(KelvraMediaSdk::kEventPushStarted), 0);
    EXPECT_EQ(events_.count(KelvraMediaSdk::kEventNetworkLost), 1) << "told once per outage";
}

TEST_F(CaptureTest, ReleaseWhilePushingEndsEverything) {
    RtmpServer rtmp;
    ASSERT_EQ(startPush(rtmp.url("class3")), KelvraMediaSdk::kPushStarting);
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventPushStarted, 15s)) << events_.codes();
    release();
    const auto count = events_.events().size();
    const auto bytes = rtmp.recordedBytes("class3");
    std::this_thread::sleep_for(1s);  // nothing may arrive after release returned
    EXPECT_EQ(events_.events().size(), count);
    EXPECT_LT(rtmp.recordedBytes("class3"), bytes + 20000) << "the push ended";
}

TEST_F(CaptureTest, MicrophoneThatVanishesIsReplacedBySilence) {
    RtmpServer rtmp;
    ASSERT_EQ(startPush(rtmp.url("class4")), KelvraMediaSdk::kPushStarting);
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventMicrophoneOpened, 15s)) << events_.codes();
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventPushStarted, 15s)) << events_.codes();
    pulse_.pactl({"unload-module", "module-null-source"});
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventMicrophoneOpenFailed, 10s))
        << events_.codes();
    ASSERT_TRUE(rtmp.waitForBytes("class4", 100000, 10s, rtmp.recordedBytes("class4")))
        << "the push goes on";
    const auto files = rtmp.recordings("class4");
    const auto probe = fenwixtest::probeMedia(files.back());
    EXPECT_EQ(probe.audioCodec, "aac") << probe.raw;
    EXPECT_EQ(probe.videoCodec, "h264") << probe.raw;
}

TEST_F(CaptureTest, CameraThatCannotBeOpened) {
    CaptureDeviceInfo missing{};
    std::strcpy(missing.deviceId, "/dev/video-fenwix-missing");
    std::strcpy(missing.deviceName, "Gone Camera");
    slot<void>(capture_, 34, &missing);
    RtmpServer rtmp;
    ASSERT_EQ(startPush(rtmp.url("class5")), KelvraMediaSdk::kPushStarting);
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventCameraOpenFailed, 10s)) << events_.codes();
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventPushStopped, 5s)) << events_.codes();
    EXPECT_EQ(events_.count(KelvraMediaSdk::kEventCameraOpened), 0);
}

}  // namespace
