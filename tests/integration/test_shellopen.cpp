// Opening a program through the platform seam: real files, real child processes.
#include "platform/shellopen.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ShellOpen : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "fwxopen.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A script that writes its argument count and then each argument on a line of its own.
    fs::path argumentRecorder() {
        const fs::path script = dir_ / "record args";
        std::ofstream(script)
            << "#!/bin/sh\n{ echo \"$#\"; for a in \"$@\"; do echo \"[$a]\"; done; } > '"
            << (dir_ / "args.tmp").string() << "'\nmv '" << (dir_ / "args.tmp").string() << "' '"
            << (dir_ / "args").string() << "'\n";
        return script;
    }

    std::string waitAndRead(const fs::path& path) {
        for (int i = 0; i < 250 && !fs::exists(path); ++i) {
            std::this_thread::sleep_for(20ms);
        }
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_;
};

TEST_F(ShellOpen, HandsEveryArgumentOverUntouched) {
    const std::vector<std::string> args = {"FenwixStuDesktop.exe", "/tmp/a b/setup",
                                           "it's \"q\"; touch pwned", "$(touch pwned)", ""};
    ASSERT_TRUE(fenwix::platform::shellOpen(argumentRecorder().string(), args));
    EXPECT_EQ(waitAndRead(dir_ / "args"),
              "5\n[FenwixStuDesktop.exe]\n[/tmp/a b/setup]\n[it's \"q\"; touch pwned]\n"
              "[$(touch pwned)]\n[]\n");
    EXPECT_FALSE(fs::exists(dir_ / "pwned"));
    EXPECT_FALSE(fs::exists("pwned"));
}

TEST_F(ShellOpen, ReportsWhatCannotBeStarted) {
    const fs::path noShebang = dir_ / "data.txt";
    std::ofstream(noShebang) << "just text\n";
    for (const std::string& path :
         {std::string(), (dir_ / "missing").string(), dir_.string(), noShebang.string()}) {
        EXPECT_FALSE(fenwix::platform::shellOpen(path)) << "'" << path << "'";
    }
}

TEST_F(ShellOpen, BareNameIsNeverLookedUpOnThePath) {
    // "sh" exists on PATH but not in the working directory, so nothing may start.
    ASSERT_FALSE(fs::exists("sh"));
    EXPECT_FALSE(
        fenwix::platform::shellOpen("sh", {"-c", "touch '" + (dir_ / "pwned").string() + "'"}));
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(fs::exists(dir_ / "pwned"));
}

}  // namespace
