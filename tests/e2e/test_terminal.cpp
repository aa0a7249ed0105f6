// The real terminal under the test's X display: it starts, shows its idle window, writes its
// dated log, refuses a second copy, and ends only through its own exits.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support_checks.h"
#include "support_terminalprocess.h"

namespace {

using namespace std::chrono_literals;
using e2e::TerminalProcess;
using e2e::TerminalSandbox;

using e2e::displayAnswers;

// The X window of this terminal's main window, or "" when it is not visible. Other tests may
// run terminals on the same display at the same time, hence the process id.
std::string mainWindowId(pid_t pid) {
    auto [status, out] = e2e::run("xdotool search --all --onlyvisible --pid " +
                                  std::to_string(pid) + " --name '^芬维学生端$' 2>/dev/null");
    if (status != 0) {
        return "";
    }
    std::istringstream lines(out);
    std::string first;
    std::getline(lines, first);
    return first;
}

// Waits until the terminal shows its window (with a display) or has logged (without one).
bool waitStarted(const TerminalSandbox& sandbox, TerminalProcess& terminal) {
    return e2e::waitUntil(
               [&] {
                   if (!terminal.running()) {
                       return true;
                   }
                   return e2e::haveDisplay() ? !mainWindowId(terminal.pid()).empty()
                                             : !e2e::terminalLog(sandbox, terminal.pid()).empty();
               },
               30s) &&
           terminal.running();
}

class Terminal : public ::testing::Test {
protected:
    void SetUp() override {
        if (e2e::haveDisplay()) {
            ASSERT_TRUE(displayAnswers())
                << "the X display " << std::getenv("DISPLAY") << " does not answer";
        }
    }
};

const std::regex kLogName(R"(FenwixStuDesktop_Main_\d{12}_(\d{6})_000\.log)");
const std::regex kLogLine(
    R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} \[\d{4,}\] LOG_(TRACE|DEBUG|INFO |WARN |ERROR|ALARM|FATAL) [^\r]*\r)");

TEST_F(Terminal, StartsShowsItsIdleWindowWritesItsLogAndEndsOnASignal) {
    TerminalSandbox sandbox;
    TerminalProcess terminal(sandbox);
    ASSERT_TRUE(waitStarted(sandbox, terminal)) << e2e::terminalLog(sandbox, terminal.pid());
    std::this_thread::sleep_for(1s);  // let it paint before the picture is taken
    e2e::keepScreenshot("idle-window.png");

    // The live-streaming library keeps its own log file in the same folder.
    std::vector<std::filesystem::path> files;
    for (const auto& file : sandbox.logFiles()) {
        if (std::regex_match(file.filename().string(), kLogName)) {
            files.push_back(file);
        }
    }
    ASSERT_EQ(files.size(), 1u);
    std::smatch match;
    const std::string name = files[0].filename().string();
    ASSERT_TRUE(std::regex_match(name, match, kLogName)) << name;
    EXPECT_EQ(std::stoul(match[1].str()), static_cast<unsigned long>(terminal.pid()));

    terminal.signal(SIGTERM);
    EXPECT_EQ(terminal.waitExit(30s), 0);
    const std::string log = e2e::readFile(files[0]);
    // Entries end with CR LF; a logged text may hold a bare line feed of its own (a report's
    // JSON ends with one), which stays inside its entry.
    int count = 0;
    for (std::size_t at = 0; at < log.size();) {
        const std::size_t end = log.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "unterminated entry: " << log.substr(at);
        ++count;
        EXPECT_TRUE(std::regex_match(log.substr(at, end + 1 - at), kLogLine))
            << log.substr(at, end + 1 - at);
        at = end + 2;
    }
    EXPECT_GT(count, 0);
    const auto uninit = log.find(" LOG_INFO  CFenwixDlg::Uninit() fenwixdlg.cpp:");
    const auto destroyed = log.find(" LOG_INFO  CFenwixDlg::~CFenwixDlg() fenwixdlg.cpp:");
    ASSERT_NE(uninit, std::string::npos) << log;
    ASSERT_NE(destroyed, std::string::npos) << log;
    EXPECT_LT(uninit, destroyed);
}

TEST_F(Terminal, ASecondCopyExitsWithMinusOneAndLeavesTheFirstRunning) {
    TerminalSandbox sandbox;
    TerminalProcess first(sandbox);
    ASSERT_TRUE(waitStarted(sandbox, first)) << e2e::terminalLog(sandbox, first.pid());

    TerminalProcess second(sandbox);
    EXPECT_EQ(second.waitExit(30s), 255);  // exit code -1
    const std::string log = e2e::terminalLog(sandbox, second.pid());
    const std::regex infoLine(
        R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} \[\d{4,}\] LOG_INFO  Find other FenwixStuDesktop\.exe thread, exit fenwixdlg\.cpp:\d+\r\n)");
    EXPECT_TRUE(std::regex_search(log, infoLine)) << log;
    // It created nothing: no shutdown sequence ran.
    EXPECT_EQ(log.find("CFenwixDlg::Uninit()"), std::string::npos) << log;

    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(first.running());
    if (e2e::haveDisplay()) {
        EXPECT_FALSE(mainWindowId(first.pid()).empty());
    }
    first.signal(SIGTERM);
    EXPECT_EQ(first.waitExit(30s), 0);
}

TEST_F(Terminal, EscapeEnterAndAltF4DoNotCloseItButAltQDoes) {
    if (!e2e::haveDisplay()) {
        GTEST_SKIP() << "needs an X display to press keys";
    }
    TerminalSandbox sandbox;
    TerminalProcess terminal(sandbox);
    ASSERT_TRUE(waitStarted(sandbox, terminal)) << e2e::terminalLog(sandbox, terminal.pid());
    // Start-up may hide the window once more before it shows the idle screen for good.
    std::string window;
    ASSERT_TRUE(e2e::waitUntil(
        [&] {
            window = mainWindowId(terminal.pid());
            return !window.empty();
        },
        10s));
    const std::string press = "xdotool windowfocus --sync " + window + " key --clearmodifiers ";
    for (const char* keys : {"Escape", "Return", "alt+F4"}) {
        EXPECT_EQ(e2e::run(press + keys).first, 0) << keys;
        std::this_thread::sleep_for(700ms);
        EXPECT_TRUE(terminal.running()) << keys;
    }

    EXPECT_EQ(e2e::run(press + "alt+q").first, 0);
    EXPECT_EQ(terminal.waitExit(30s), 0);
    EXPECT_NE(e2e::terminalLog(sandbox, terminal.pid()).find("CFenwixDlg::~CFenwixDlg()"),
              std::string::npos);
}

}  // namespace
