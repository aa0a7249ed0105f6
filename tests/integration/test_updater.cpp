// FenwixUpdate against real processes: copies of a harmless program under test-chosen names,
// and small shell-script installers that leave a marker file when they run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct UpdaterResult {
    int exitCode = -1000;
    std::string out;
    std::string err;
};

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string readAll(int fd) {
    std::string text;
    char buf[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) {
            text.append(buf, static_cast<size_t>(n));
        }
    }
    return text;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool waitForFile(const fs::path& path, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (fs::exists(path)) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return fs::exists(path);
}

class UpdaterProgram : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "fwxupd.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        marker_ = dir_ / "installer-ran";
    }

    void TearDown() override {
        for (pid_t pid : children_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        fs::remove_all(dir_);
    }

    // A process id not used by any other test running at the same time.
    std::string uniqueName(const std::string& stem) {
        static int counter = 0;
        return stem + std::to_string(::getpid()) + "n" + std::to_string(++counter);
    }

    // Runs a copy of sleep under the given file name; it shows in the process list by that name.
    pid_t startDummy(const std::string& fileName) {
        const fs::path program = dir_ / fileName;
        if (!fs::exists(program)) {
            fs::copy_file("/bin/sleep", program);
            fs::permissions(program, fs::perms::owner_all);
        }
        std::string path = program.string();
        std::string seconds = "120";
        char* argv[] = {path.data(), seconds.data(), nullptr};
        pid_t pid = 0;
        EXPECT_EQ(::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ), 0);
        children_.insert(pid);
        // Until exec has happened the child still carries the test's own image name.
        const fs::path exe = "/proc/" + std::to_string(pid) + "/exe";
        for (int i = 0; i < 200; ++i) {
            std::error_code ec;
            if (fs::read_symlink(exe, ec).filename() == fileName) {
                break;
            }
            std::this_thread::sleep_for(5ms);
        }
        return pid;
    }

    // Whether the child ended by SIGKILL (waiting for it a little), reaping it if so.
    bool wasKilled(pid_t pid) {
        for (int i = 0; i < 100; ++i) {
            int status = 0;
            const pid_t r = ::waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                children_.erase(pid);
                return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    bool isRunning(pid_t pid) {
        int status = 0;
        return ::waitpid(pid, &status, WNOHANG) == 0;
    }

    fs::path writeInstaller(const std::string& fileName, const std::string& body,
                            fs::perms perms = fs::perms::owner_read | fs::perms::owner_write) {
        const fs::path path = dir_ / fileName;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, perms);
        return path;
    }

    fs::path markerInstaller(const std::string& fileName = "setup") {
        return writeInstaller(fileName, "echo ran > '" + marker_.string() + "'");
    }

    // Runs FenwixUpdate in the test folder and collects its exit code and both output streams.
    UpdaterResult runUpdater(const std::vector<std::string>& args) {
        int outPipe[2];
        int errPipe[2];
        EXPECT_EQ(::pipe2(outPipe, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(errPipe, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
        ::posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());

        std::vector<std::string> all = {FENWIX_UPDATE_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);

        UpdaterResult result;
        pid_t pid = 0;
        const int spawned =
            ::posix_spawn(&pid, FENWIX_UPDATE_PATH, &actions, nullptr, argv.data(), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        EXPECT_EQ(spawned, 0);
        if (spawned == 0) {
            // Output is small; stdout ends when the updater and everything holding it end.
            result.out = readAll(outPipe[0]);
            result.err = readAll(errPipe[0]);
            int status = 0;
            ::waitpid(pid, &status, 0);
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        }
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return result;
    }

    fs::path dir_;
    fs::path marker_;
    std::set<pid_t> children_;
};

// --- ending the process ----------------------------------------------------------------------

struct NameCase {
    const char* label;
    const char* fileSuffix;  // appended to a unique lower-case stem to form the file name
    bool argumentWithExe;    // argument = upper-cased file name, plus ".EXE" if set
};

class UpdaterEndsByName : public UpdaterProgram, public ::testing::WithParamInterface<NameCase> {};

TEST_P(UpdaterEndsByName, UpperCaseArgumentEndsLowerCaseProcessThenOpensInstaller) {
    const std::string fileName = uniqueName("fwxdummy") + GetParam().fileSuffix;
    const std::string argument = upper(fileName) + (GetParam().argumentWithExe ? ".EXE" : "");
    const pid_t pid = startDummy(fileName);
    const fs::path installer = markerInstaller();

    const UpdaterResult result = runUpdater({argument, installer.string()});

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "kill exe name " + argument + "\nstart exe path " + installer.string() + "\n");
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(wasKilled(pid));
    EXPECT_TRUE(waitForFile(marker_, 5s));
}

INSTANTIATE_TEST_SUITE_P(Names, UpdaterEndsByName,
                         ::testing::Values(NameCase{"BareName", "", false},
                                           NameCase{"WindowsFormOfABareFile", "", true},
                                           NameCase{"FileThatCarriesExe", ".exe", false}),
                         [](const ::testing::TestParamInfo<NameCase>& info) {
                             return std::string(info.param.label);
                         });

TEST_F(UpdaterProgram, EndsOnlyTheLowestPidOfSeveralNamesakes) {
    const std::string name = uniqueName("fwxtwin");
    const pid_t a = startDummy(name);
    const pid_t b = startDummy(name);
    const pid_t first = std::min(a, b);
    const pid_t second = std::max(a, b);

    const UpdaterResult result = runUpdater({name, markerInstaller().string()});

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(wasKilled(first));
    EXPECT_TRUE(isRunning(second));
}

TEST_F(UpdaterProgram, EndsAProcessWhoseProgramFileWasRemoved) {
    const std::string name = uniqueName("fwxgone");
    const pid_t pid = startDummy(name);
    fs::remove(dir_ / name);

    const UpdaterResult result = runUpdater({name + ".exe", markerInstaller().string()});

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(wasKilled(pid));
}

TEST_F(UpdaterProgram, TracesTheNamesItWalksUpToTheMatchWhenAsked) {
    const std::string name = uniqueName("fwxtraced");
    const pid_t pid = startDummy(name);
    ::setenv("FENWIX_DEBUG_TRACE", "1", 1);
    const UpdaterResult result = runUpdater({name, markerInstaller().string()});
    ::unsetenv("FENWIX_DEBUG_TRACE");

    EXPECT_TRUE(wasKilled(pid));
    // One name per line, in pid order, and the walk stops at the process it ends.
    ASSERT_GE(result.err.size(), name.size() + 2);
    EXPECT_EQ(result.err.substr(result.err.size() - name.size() - 2), "\n" + name + "\n");
    // This test program started its target, so it comes earlier in the walk.
    const std::string self = fs::read_symlink("/proc/self/exe").filename().string();
    EXPECT_NE(result.err.find("\n" + self + "\n"), std::string::npos) << result.err;
}

// --- opening the installer -------------------------------------------------------------------

TEST_F(UpdaterProgram, MissingProcessStillOpensANonExecutableInstaller) {
    const fs::path installer = markerInstaller();
    ASSERT_EQ(fs::status(installer).permissions() & fs::perms::owner_exec, fs::perms::none);

    const UpdaterResult result = runUpdater({uniqueName("fwxnobody") + ".exe", installer.string()});

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(waitForFile(marker_, 5s));
    EXPECT_NE(fs::status(installer).permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST_F(UpdaterProgram, MissingInstallerIsNotReportedAndStillExitsZero) {
    const std::string missing = (dir_ / "no-such-installer").string();
    const std::string name = uniqueName("fwxnobody");
    const UpdaterResult result = runUpdater({name, missing});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "kill exe name " + name + "\nstart exe path " + missing + "\n");
    EXPECT_EQ(result.err, "");
}

class UpdaterOpensOddPath : public UpdaterProgram,
                            public ::testing::WithParamInterface<const char*> {};

TEST_P(UpdaterOpensOddPath, PathIsOnlyEverAPath) {
    const fs::path installer = markerInstaller(GetParam());

    const UpdaterResult result = runUpdater({uniqueName("fwxnobody"), installer.string()});

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(waitForFile(marker_, 5s)) << installer;
    // Had any shell read the path, the command hidden in the name would have run here.
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(fs::exists(dir_ / "pwned"));
}

INSTANTIATE_TEST_SUITE_P(Paths, UpdaterOpensOddPath,
                         ::testing::Values("setup with blanks", "it's \"quoted\" setup",
                                           "x;touch pwned;", "$(touch pwned)", "`touch pwned`",
                                           "a|touch pwned", "a&&touch pwned", "-n setup"));

TEST_F(UpdaterProgram, InstallerRunsDetachedFromTheUpdatersSessionAndConsole) {
    const fs::path info = dir_ / "session";
    const fs::path installer = writeInstaller(
        "setup", "echo leaked; echo leaked >&2\nset -- $(cat /proc/$$/stat)\necho \"$$ $6\" > '" +
                     info.string() + ".tmp' && mv '" + info.string() + ".tmp' '" + info.string() +
                     "'\nsleep 1");

    const UpdaterResult result = runUpdater({uniqueName("fwxnobody"), installer.string()});

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.find("leaked"), std::string::npos);
    EXPECT_EQ(result.err.find("leaked"), std::string::npos);
    ASSERT_TRUE(waitForFile(info, 5s));
    std::istringstream fields(readFile(info));
    long pid = 0;
    long session = 0;
    fields >> pid >> session;
    EXPECT_GT(pid, 0);
    EXPECT_EQ(session, pid) << "the installer should lead a session of its own";
}

// --- refused command lines -------------------------------------------------------------------

class UpdaterWrongArgumentCount : public UpdaterProgram,
                                  public ::testing::WithParamInterface<int> {};

TEST_P(UpdaterWrongArgumentCount, ExitsMinusOneSilentlyAndTouchesNothing) {
    const std::string name = uniqueName("fwxspared");
    const pid_t pid = startDummy(name);
    const std::vector<std::string> all = {name, markerInstaller().string(), "extra"};
    const std::vector<std::string> args(all.begin(), all.begin() + GetParam());

    const UpdaterResult result = runUpdater(args);

    EXPECT_EQ(result.exitCode, 255);  // -1 as an exit status
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(isRunning(pid));
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(fs::exists(marker_));
}

INSTANTIATE_TEST_SUITE_P(Counts, UpdaterWrongArgumentCount, ::testing::Values(0, 1, 3));

TEST_F(UpdaterProgram, OverLongArgumentsAreRefusedBeforeAnythingHappens) {
    const std::string name = uniqueName("fwxspared");
    const pid_t pid = startDummy(name);
    const std::string installer = markerInstaller().string();
    const std::string longName = name + std::string(512 - name.size(), 'x');
    // Repeated separators keep naming the same file, so only the length can stop it.
    const std::string longPath = dir_.string() + std::string(600, '/') + "setup";

    for (const auto& args : {std::vector<std::string>{longName, installer},
                             std::vector<std::string>{name, longPath}}) {
        const UpdaterResult result = runUpdater(args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("longer than 511 characters"), std::string::npos) << result.err;
    }
    EXPECT_TRUE(isRunning(pid));
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(fs::exists(marker_));
}

}  // namespace
