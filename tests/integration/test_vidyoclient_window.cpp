// The conference client library draws the conference video into a native X window it is given,
// only while it is in a room and the window can be seen, and keeps drawing (with the pinned
// participant named) after a pin. Runs under xvfb-run.
#include "support/simprocess.h"
#include "support/tempfolder.h"
#include "support/vidyoclientdriver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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

// A render window as the terminal has one: a child filling a mapped top-level window.
class NativeWindow {
public:
    NativeWindow() : display_(XOpenDisplay(nullptr)) {
        if (!display_) {
            return;
        }
        Display* d = display_.get();
        const unsigned long black = BlackPixel(d, DefaultScreen(d));
        top_ = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, kWidth, kHeight, 0, black, black);
        window_ = XCreateSimpleWindow(d, top_, 0, 0, kWidth, kHeight, 0, black, black);
        XSelectInput(d, top_, StructureNotifyMask);
        XMapWindow(d, window_);
        XMapWindow(d, top_);
        XEvent event;
        do {
            XNextEvent(d, &event);
        } while (event.type != MapNotify);
    }
    ~NativeWindow() {
        if (display_ && !destroyed_) {
            XDestroyWindow(display_.get(), top_);
        }
    }

    bool ok() const { return display_ != nullptr; }
    Window id() const { return window_; }
    void destroy() {
        XDestroyWindow(display_.get(), top_);
        XSync(display_.get(), False);
        destroyed_ = true;
    }
    // Hides or shows the top-level window, as a hidden dialog hides its video area.
    void setShown(bool shown) {
        if (shown) {
            XMapWindow(display_.get(), top_);
        } else {
            XUnmapWindow(display_.get(), top_);
        }
        XSync(display_.get(), False);
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
    Window top_ = 0;
    Window window_ = 0;
    bool destroyed_ = false;
};

size_t distinctColours(const std::vector<unsigned long>& pixels) {
    return std::set<unsigned long>(pixels.begin(), pixels.end()).size();
}

// Waits until the window shows a picture (more than a handful of colours). The bound is
// generous: the first picture of a pipeline comes late on a loaded machine or in a sanitizer build.
std::vector<unsigned long> waitForPicture(const NativeWindow& window) {
    std::vector<unsigned long> pixels;
    for (int i = 0; i < 400; ++i) {
        pixels = window.capture();
        if (distinctColours(pixels) > 4) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return pixels;
}

// Threads of this process with that name: the drawing pipeline's streaming thread carries the
// picture source's name, the window watch its own.
int threadsNamed(const std::string& name) {
    int n = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string text;
        std::getline(comm, text);
        n += text == name ? 1 : 0;
    }
    return n;
}

const std::string kStreamThread = "confvideo:src";

bool waitForThreads(const std::string& name, int count) {
    for (int i = 0; i < 200; ++i) {
        if (threadsNamed(name) == count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(VidyoClientWindow, DrawsOnlyInARoomAndKeepsDrawingAfterAPin) {
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
    ASSERT_TRUE(driver.login(sim.baseUrl(), "student01", "pw"));
    ASSERT_TRUE(driver.events.waitFor(VIDYO_CLIENT_OUT_EVENT_SIGNED_IN));
    // Started and logged in but in no room: no media pipeline, nothing drawn.
    EXPECT_EQ(threadsNamed(kStreamThread), 0);
    EXPECT_EQ(threadsNamed("vc-window"), 0);
    EXPECT_EQ(distinctColours(window.capture()), 1u);

    ASSERT_TRUE(driver.link(sim.baseUrl(), "room1", "一号教室"));
    ASSERT_TRUE(driver.events.waitFor(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ACTIVE));
    const auto inRoom = waitForPicture(window);
    EXPECT_GT(distinctColours(inRoom), 4u) << "the conference picture is drawn in the room";
    EXPECT_EQ(threadsNamed(kStreamThread), 1);

    ASSERT_TRUE(driver.pin("teacher.room1@fenwix-sim"));
    auto result = driver.events.waitFor(VIDYO_CLIENT_OUT_EVENT_PIN_RESULT);
    ASSERT_TRUE(result);
    ASSERT_EQ(result->as<VidyoClientOutPinResult>().isSet, 1);
    // The caption changes to the pinned participant; the picture keeps being drawn.
    std::vector<unsigned long> pinned;
    for (int i = 0; i < 100; ++i) {
        pinned = window.capture();
        if (pinned != inRoom && distinctColours(pinned) > 4) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_GT(distinctColours(pinned), 4u);
    EXPECT_NE(pinned, inRoom) << "the picture names the pinned participant";

    ASSERT_TRUE(driver.leave());
    ASSERT_TRUE(driver.events.waitFor(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ENDED));
    EXPECT_TRUE(waitForThreads(kStreamThread, 0)) << "the pipeline is gone with the room";
    EXPECT_EQ(threadsNamed("vc-window"), 0);
}

TEST(VidyoClientWindow, HidingTheWindowStopsTheDrawingAndShowingItStartsItAgain) {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "DISPLAY is not set: this test draws into an X window (run it under "
                        "xvfb-run)";
    }
    NativeWindow window;
    ASSERT_TRUE(window.ok());
    fenwixtest::SimProcess sim;
    VidyoClientDriver driver(window.id(), kWidth, kHeight);
    ASSERT_TRUE(driver.started());
    window.setShown(false);
    ASSERT_TRUE(driver.joinAsUser(sim.baseUrl(), "student01", "room1", "一号教室"));
    // The watch names its thread itself, just after it starts.
    EXPECT_TRUE(waitForThreads("vc-window", 1)) << "a room's window is watched";
    EXPECT_EQ(threadsNamed(kStreamThread), 0) << "nothing is drawn into a hidden window";

    window.setShown(true);
    EXPECT_TRUE(waitForThreads(kStreamThread, 1));
    EXPECT_GT(distinctColours(waitForPicture(window)), 4u);
    window.setShown(false);
    EXPECT_TRUE(waitForThreads(kStreamThread, 0));
    window.setShown(true);
    EXPECT_TRUE(waitForThreads(kStreamThread, 1));

    // A log-out in the room stops the drawing as a leave does.
    ASSERT_TRUE(driver.logout());
    ASSERT_TRUE(driver.events.waitFor(VIDYO_CLIENT_OUT_EVENT_SIGNED_OUT));
    EXPECT_TRUE(waitForThreads(kStreamThread, 0));
    EXPECT_EQ(threadsNamed("vc-window"), 0);
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
        fenwixtest::SimProcess sim;
        VidyoClientDriver driver(window.id(), kWidth, kHeight, folder.path() + "VidyoLog/");
        ASSERT_TRUE(driver.started());
        ASSERT_TRUE(driver.joinAsUser(sim.baseUrl(), "student01", "room1", "一号教室"));
        EXPECT_GT(distinctColours(waitForPicture(window)), 4u);
        window.destroy();
        EXPECT_TRUE(waitForThreads(kStreamThread, 0)) << "a destroyed window is not drawn into";
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
