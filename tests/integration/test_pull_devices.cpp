// Device selection across conference and live push: the conference's camera and microphone are
// found again by name in the live-push library's lists, with "Same as system" resolved through a
// private sound server's default source. Both libraries are replaced at their seams.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "service/commonutil.h"
#include "service/fenwixstudentserver.h"
#include "support/fakekelvramedia.h"
#include "support/fakevidyoclient.h"
#include "support/logcapture.h"
#include "support/pulsedaemon.h"

namespace {

using fenwixtest::deviceRecord;
using fenwixtest::FakeKelvraMedia;
using fenwixtest::FakeVidyoClient;

struct ConferenceDevices {
    std::vector<std::string> cameras;
    int curCamera;
    std::vector<std::string> microphones;
    int curMicrophone;
};

void fill(VidyoClientConfiguration& c, const ConferenceDevices& d) {
    std::memset(&c, 0, sizeof(c));
    for (std::size_t i = 0; i < d.cameras.size(); ++i) {
        std::strncpy(c.cameras[i], d.cameras[i].c_str(), VIDYO_CLIENT_DEVICE_NAME_SIZE - 1);
    }
    for (std::size_t i = 0; i < d.microphones.size(); ++i) {
        std::strncpy(c.microphones[i], d.microphones[i].c_str(), VIDYO_CLIENT_DEVICE_NAME_SIZE - 1);
    }
    c.numberCameras = static_cast<std::uint32_t>(d.cameras.size());
    c.currentCamera = static_cast<std::uint32_t>(d.curCamera);
    c.numberMicrophones = static_cast<std::uint32_t>(d.microphones.size());
    c.currentMicrophone = static_cast<std::uint32_t>(d.curMicrophone);
}

class PullDevices : public ::testing::Test {
protected:
    void SetUp() override {
        CComConfig::releaseInstance();
        builtIn = pulse.addSource("Built-in Mic");
        usb = pulse.addSource("USB Mic (Front)");
        pulse.setDefaultSource(usb);
        media.cameras = {deviceRecord("/dev/video0", "Integrated Cam"),
                         deviceRecord("/dev/video2", "USB Cam")};
        media.microphones = {deviceRecord("src-1", "Built-in Mic"),
                             deviceRecord("src-2", "USB Mic (Front)")};
        server.mediaBiz().init(nullptr, "./log/");
        media.capture.clearCalls();
    }
    void TearDown() override {
        server.mediaBiz().release();
        MediaSdkServer::setSink(nullptr);
        CComConfig::releaseInstance();
    }

    // Device records the live-push library was handed, by slot (34 camera, 1 microphone).
    std::vector<std::string> selected(int slot) const {
        std::vector<std::string> out;
        for (const auto& c : media.capture.calls()) {
            if (c.slot == slot && c.record.size() == sizeof(KelvraMediaSdk::CaptureDeviceInfo)) {
                const auto* info =
                    reinterpret_cast<const KelvraMediaSdk::CaptureDeviceInfo*>(c.record.data());
                out.emplace_back(info->deviceId);
            }
        }
        return out;
    }

    LogCapture log;
    fenwixtest::PulseDaemon pulse;
    std::string builtIn;
    std::string usb;
    FakeVidyoClient vidyo;
    FakeKelvraMedia media;
    FenwixStudentServer server;
};

TEST_F(PullDevices, TheConferenceDevicesAreFoundByWholeCaseSensitiveName) {
    struct Case {
        const char* what;
        ConferenceDevices conference;
        bool ok;
        const char* camera;      // deviceId handed over; nullptr: none
        const char* microphone;  // likewise
    };
    const Case cases[] = {
        {"second camera, named microphone",
         {{"Integrated Cam", "USB Cam"}, 1, {"Same as system", "Built-in Mic"}, 1},
         true,
         "/dev/video2",
         "src-1"},
        {"Same as system is the default source",
         {{"Integrated Cam"}, 0, {"Same as system", "Built-in Mic"}, 0},
         true,
         "/dev/video0",
         "src-2"},
        {"letter case differs", {{"usb cam"}, 0, {"Built-in Mic"}, 0}, false, nullptr, nullptr},
        {"part of a name", {{"USB"}, 0, {"Built-in Mic"}, 0}, false, nullptr, nullptr},
        {"in-use index matches no entry",
         {{"Integrated Cam"}, 5, {"Built-in Mic"}, 0},
         false,
         nullptr,
         nullptr},
        {"microphone unknown to the live push",
         {{"Integrated Cam"}, 0, {"Headset"}, 0},
         false,
         nullptr,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fill(vidyo.configuration, c.conference);
        media.capture.clearCalls();
        log.clear();
        EXPECT_EQ(server.setPullDeviceByVidyo(), c.ok);
        EXPECT_EQ(selected(34),
                  c.camera ? std::vector<std::string>{c.camera} : std::vector<std::string>{});
        EXPECT_EQ(selected(1), c.microphone ? std::vector<std::string>{c.microphone}
                                            : std::vector<std::string>{});
        EXPECT_TRUE(log.contains(c.ok ? "pull prepare to set device" : "pull device check fail"));
    }
}

TEST_F(PullDevices, TheWalksLogEveryEntryUpToTheMatch) {
    fill(vidyo.configuration, {{"Integrated Cam", "USB Cam"}, 1, {"Same as system"}, 0});
    ASSERT_TRUE(server.setPullDeviceByVidyo());
    EXPECT_TRUE(log.contains("camera name=Integrated Cam  |  index=0  |  curCamera=1"));
    EXPECT_TRUE(log.contains("camera name=USB Cam  |  index=1  |  curCamera=1"));
    EXPECT_TRUE(log.contains("camera name=USB Cam  |  index=1"));
    EXPECT_TRUE(log.contains("microphone name=Same as system  |  index=0  |  curMic=0"));
    EXPECT_TRUE(log.contains(
        "vidyo 麦克风设备为 Same as system，实际系统默认麦克风设备为 USB Mic (Front)"));
    EXPECT_TRUE(log.contains(
        "pull video name=USB Cam  |  index=1  |  mic name=USB Mic (Front)  |  index=1"));
    EXPECT_TRUE(log.contains("直播云sdk设置摄像头操作: 1 "));
    EXPECT_TRUE(log.contains("直播云sdk设置麦克风操作: 1 "));
}

TEST_F(PullDevices, AnEmptyLivePushCameraListFailsAndChangesNothing) {
    media.cameras.clear();
    fill(vidyo.configuration, {{"Integrated Cam"}, 0, {"Built-in Mic"}, 0});
    EXPECT_FALSE(server.setPullDeviceByVidyo());
    EXPECT_TRUE(log.contains("pull device check fail"));
    EXPECT_TRUE(media.capture.calls().empty());
}

TEST(PullDevicesNoSoundServer, SameAsSystemStaysUnresolvedWithoutASoundServer) {
    // No daemon: the name cannot be resolved, so no live-push microphone matches.
    const char* saved = std::getenv("PULSE_SERVER");
    const std::string previous = saved != nullptr ? saved : "";
    ::setenv("PULSE_SERVER", "unix:/nonexistent/fenwix-no-pulse", 1);
    LogCapture log;
    FakeVidyoClient vidyo;
    FakeKelvraMedia media;
    media.cameras = {deviceRecord("/dev/video0", "Integrated Cam")};
    media.microphones = {deviceRecord("src-1", "Built-in Mic")};
    FenwixStudentServer server;
    server.mediaBiz().init(nullptr, "./log/");
    fill(vidyo.configuration, {{"Integrated Cam"}, 0, {"Same as system"}, 0});
    EXPECT_FALSE(server.setPullDeviceByVidyo());
    EXPECT_TRUE(log.contains("实际系统默认麦克风设备为 Same as system"));
    server.mediaBiz().release();
    MediaSdkServer::setSink(nullptr);
    if (saved != nullptr) {
        ::setenv("PULSE_SERVER", previous.c_str(), 1);
    } else {
        ::unsetenv("PULSE_SERVER");
    }
}

}  // namespace
