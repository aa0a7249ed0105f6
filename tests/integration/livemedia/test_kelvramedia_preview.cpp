// The live-streaming library's preview drawn into a real X window (needs a display, as under
// xvfb-run), alone and beside a push.
#include "sdk/kelvramedia/kelvramedia.h"
#include "support/capturerecorder.h"
#include "support/captureslot.h"
#include "support/rtmpserver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

// Last: Xlib's macros clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace std::chrono_literals;
using fenwixtest::CaptureRecorder;
using fenwixtest::slot;
using KelvraMediaSdk::CaptureDeviceInfo;
using KelvraMediaSdk::ILiveCapture;

namespace {

// A black top-level window of its own on the display.
class TestWindow {
public:
    TestWindow(int width, int height) {
        display_ = XOpenDisplay(nullptr);
        if (display_ == nullptr) {
            return;
        }
        const int screen = DefaultScreen(display_);
        window_ =
            XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0, width, height, 0,
                                BlackPixel(display_, screen), BlackPixel(display_, screen));
        XMapWindow(display_, window_);
        XSync(display_, False);
    }
    ~TestWindow() {
        if (display_ != nullptr) {
            XDestroyWindow(display_, window_);
            XCloseDisplay(display_);
        }
    }
    bool open() const { return display_ != nullptr; }
    Window id() const { return window_; }

    // How many of a grid of points in the area are not black.
    int litPoints(int width, int height) {
        XImage* image = XGetImage(display_, window_, 0, 0, width, height, AllPlanes, ZPixmap);
        if (image == nullptr) {
            return 0;
        }
        int lit = 0;
        for (int y = 5; y < height; y += 10) {
            for (int x = 5; x < width; x += 10) {
                lit += XGetPixel(image, x, y) != 0 ? 1 : 0;
            }
        }
        XDestroyImage(image);
        return lit;
    }

    // Waits until most of the area shows something.
    bool waitLit(int width, int height, std::chrono::seconds timeout) {
        const int points = (width / 10) * (height / 10);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (litPoints(width, height) > points / 2) {
                return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    void screenshot(const std::string& name) const {
        const char* folder = std::getenv("FENWIX_ARTIFACTS");
        if (folder == nullptr || *folder == '\0') {
            return;
        }
        const std::string command = "import -window " + std::to_string(window_) + " '" + folder +
                                    "/" + name + "' 2>/dev/null";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "screenshot %s failed\n", name.c_str());
        }
    }

private:
    Display* display_ = nullptr;
    Window window_ = 0;
};

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') {
            GTEST_SKIP() << "no display";
        }
        setenv("FENWIX_VIRTUAL_CAMERA", "1", 1);
        KelvraMediaSdk::InitMediaSdk();
        capture_ = KelvraMediaSdk::CreateLiveCapture();
        slot<void>(capture_, 35, 1280, 720, 30);
        slot<void>(capture_, 18, static_cast<KelvraMediaSdk::ICaptureCallback*>(&events_),
                   static_cast<void*>(nullptr));
        const int count = KelvraMediaSdk::GetCameraDeviceCount();
        for (int i = 0; i < count; ++i) {
            KelvraMediaSdk::GetCameraDevice(i, &camera_);
            if (std::strcmp(camera_.deviceName, "Fenwix Virtual Camera") == 0) {
                break;
            }
        }
        slot<void>(capture_, 34, &camera_);
    }
    void TearDown() override {
        if (capture_ != nullptr) {
            slot<void>(capture_, 0);
        }
        KelvraMediaSdk::UnInitMediaSdk();
        unsetenv("FENWIX_VIRTUAL_CAMERA");
    }

    CaptureRecorder events_;
    ILiveCapture* capture_ = nullptr;
    CaptureDeviceInfo camera_{};
};

TEST_F(PreviewTest, RefusesWindowsItCannotDrawIntoButOpensTheCamera) {
    TestWindow window(64, 64);
    ASSERT_TRUE(window.open());
    EXPECT_EQ(slot<std::uint8_t>(capture_, 6, KelvraMediaSdk::WindowHandle{0}, 0, 0, 320, 180), 0);
    EXPECT_EQ(
        slot<std::uint8_t>(capture_, 6, KelvraMediaSdk::WindowHandle{0x7ffffff0}, 0, 0, 320, 180),
        0);
    EXPECT_EQ(
        slot<std::uint8_t>(capture_, 6, KelvraMediaSdk::WindowHandle{window.id()}, 0, 0, 0, 180),
        0);
    // Without a usable window the camera still opens, so a push can follow it.
    slot<void>(capture_, 14);
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventCameraOpened, 10s)) << events_.codes();
    EXPECT_EQ(window.litPoints(64, 64), 0) << "nothing was drawn into the window";
}

TEST_F(PreviewTest, DrawsTheCameraIntoTheWindowAlsoWhilePushing) {
    TestWindow window(320, 180);
    ASSERT_TRUE(window.open());
    ASSERT_EQ(
        slot<std::uint8_t>(capture_, 6, KelvraMediaSdk::WindowHandle{window.id()}, 0, 0, 320, 180),
        1);
    slot<void>(capture_, 14);
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventPreviewStarted, 10s)) << events_.codes();
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventCameraOpened, 10s)) << events_.codes();
    EXPECT_TRUE(window.waitLit(320, 180, 10s)) << "the camera picture fills the window";
    window.screenshot("livemedia-preview.png");

    fenwixtest::RtmpServer rtmp;
    slot<void>(capture_, 22, rtmp.url("withpreview").c_str());
    ASSERT_EQ(slot<int>(capture_, 16), KelvraMediaSdk::kPushStarting);
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventPushStarted, 15s)) << events_.codes();
    EXPECT_TRUE(window.waitLit(320, 180, 10s)) << "the preview goes on while pushing";
    EXPECT_EQ(events_.count(KelvraMediaSdk::kEventCameraOpened), 1) << "the camera stays open";

    slot<void>(capture_, 15);
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventPreviewStopped, 5s)) << events_.codes();
    const auto bytes = rtmp.recordedBytes("withpreview");
    EXPECT_TRUE(rtmp.waitForBytes("withpreview", 30000, 10s, bytes))
        << "the push goes on without the preview";
    slot<void>(capture_, 17);
    ASSERT_TRUE(events_.waitFor(KelvraMediaSdk::kEventPushStopped, 5s)) << events_.codes();
}

}  // namespace
