// The conference client library draws the conference video into a native X window it is given,
// and keeps drawing (with the pinned participant named) after a pin. Runs under xvfb-run.
#include "support/simprocess.h"
#include "support/tempfolder.h"
#include "support/vidyoclientdriver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using fenwixtest::VidyoClientDriver;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};

// A mapped top-level window on the test display.
class NativeWindow {
public:
    NativeWindow() : display_(XOpenDisplay(nullptr)) {
        if (!display_) {
            return;
        }
        Display* d = display_.get();
        window_ =
            XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, kWidth, kHeight, 0,
                                BlackPixel(d, DefaultScreen(d)), BlackPixel(d, DefaultScreen(d)));
        XSelectInput(d, window_, StructureNotifyMask);
        XMapWindow(d, window_);
        XEvent event;
        do {
            XNextEvent(d, &event);
        } while (event.type != MapNotify);
    }
    ~NativeWindow() {
        if (display_ && !destroyed_) {
            XDestroyWindow(display_.get(), window_);
        }
    }

    bool ok() const { return display_ != nullptr; }
    Window id() const { return window_; }
    void destroy() {
        XDestroyWindow(display_.get(), window_);
        XSync(display_.get(), False);
        destroyed_ = true;
    }

    // The window's pixels as 0xRRGGBB values.
    std::vector<unsigned long> capture() const {
        std::vector<unsigned long> pixels;
        XImage* image =
            XGetImage(display_.get(), window_, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
        if (image == nullptr) {
            return pixels;
        }
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                pixels.push_back(XGetPixel(image, x, y));
            }
        }
        XDestroyImage(image);
        return pixels;
    }

private:
    std::unique_ptr<Display, DisplayCloser> display_;
    Window window_ = 0;
    bool destroyed_ = false;
};

size_t distinctColours(const std::vector<unsigned long>& pixels) {
    return std::set<unsigned long>(pixels.begin(), pixels.end()).size();
}

// Waits until the window shows a picture (more than a handful of colours).
std::vector<unsigned long> waitForPicture(const NativeWindow& window) {
    std::vector<unsigned long> pixels;
    for (int i = 0; i < 100; ++i) {
        pixels = window.capture();
        if (distinctColours(pixels) > 4) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return pixels;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(VidyoClientWindow, DrawsIntoTheGivenWindowAndKeepsDrawingAfterAPin) {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "DISPLAY is not set: this test draws into an X window (run it under "
                        "xvfb-run)";
    }
    NativeWindow window;
    ASSERT_TRUE(window.ok()) << "cannot open the display " << std::getenv("DISPLAY");
    ASSERT_TRUE(window.capture().size() == kWidth * kHeight);
    EXPECT_EQ(distinctColours(window.capture()), 1u) << "an empty window is one colour";

    fenwixtest::SimProcess sim;
    VidyoClientDriver driver(window.id(), kWidth, kHeight);
    ASSERT_TRUE(driver.started());
    const auto idle = waitForPicture(window);
    EXPECT_GT(distinctColours(idle), 4u) << "the conference picture is drawn";

    ASSERT_TRUE(driver.joinAsUser(sim.baseUrl(), "student01", "room1", "一号教室"));
    ASSERT_TRUE(driver.pin("teacher.room1@fenwix-sim"));
    auto result = driver.events.waitFor(VIDYO_CLIENT_OUT_EVENT_PIN_RESULT);
    ASSERT_TRUE(result);
    ASSERT_EQ(result->as<VidyoClientOutPinResult>().isSet, 1);
    // The caption changes to the pinned participant; the picture keeps being drawn.
    std::vector<unsigned long> pinned;
    for (int i = 0; i < 100; ++i) {
        pinned = window.capture();
        if (pinned != idle && distinctColours(pinned) > 4) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_GT(distinctColours(pinned), 4u);
    EXPECT_NE(pinned, idle) << "the picture names the pinned participant";
}

// The host may destroy its window before stopping the library, or hand over a stale handle: the
// drawing fails but the program goes on (X errors would otherwise end the process).
TEST(VidyoClientWindow, DestroyedOrUnknownWindowDoesNotEndTheProgram) {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "DISPLAY is not set: this test needs an X display (run it under xvfb-run)";
    }
    TempFolder folder;
    {
        NativeWindow window;
        ASSERT_TRUE(window.ok());
        VidyoClientDriver driver(window.id(), kWidth, kHeight, folder.path() + "VidyoLog/");
        ASSERT_TRUE(driver.started());
        EXPECT_GT(distinctColours(waitForPicture(window)), 4u);
        window.destroy();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // frames keep coming
        EXPECT_NE(VidyoClientStop(), 0);
    }
    {
        VidyoClientDriver driver(0x3fffff0, kWidth, kHeight, folder.path() + "VidyoLog/");
        EXPECT_TRUE(driver.started());
    }
    const std::string log = readFile(folder.path() + "VidyoLog/VidyoClient.log");
    EXPECT_NE(log.find("does not exist"), std::string::npos) << log;
}

TEST(VidyoClientWindow, WithoutAWindowNothingIsDrawnAndTheLogSaysSo) {
    TempFolder folder;
    {
        VidyoClientDriver driver(0, kWidth, kHeight, folder.path() + "VidyoLog/");
        ASSERT_TRUE(driver.started()) << "starting without a window still works";
    }
    const std::string log = readFile(folder.path() + "VidyoLog/VidyoClient.log");
    EXPECT_NE(log.find("not drawn"), std::string::npos) << log;
}

}  // namespace
