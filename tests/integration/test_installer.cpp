// The self-extracting installer: packed from a tree by the project's packer, then run for real
// into temporary folders, alone and handed over by FenwixUpdate.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& content,
               fs::perms perms = fs::perms::owner_read | fs::perms::owner_write |
                                 fs::perms::group_read | fs::perms::others_read) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    fs::permissions(path, perms);
}

bool waitForFile(const fs::path& path) {
    for (int i = 0; i < 250 && !fs::exists(path); ++i) {
        std::this_thread::sleep_for(20ms);
    }
    return fs::exists(path);
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "fwxinst.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        target_ = dir_ / "classroom pc" / "Fenwix terminal";
        marker_ = dir_ / "terminal-started";
        static int counter = 0;
        program_ = "fwxterm" + std::to_string(::getpid()) + "n" + std::to_string(++counter);
    }

    void TearDown() override {
        for (pid_t pid : children_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        fs::remove_all(dir_);
    }

    // Runs a program to its end with extra environment values; returns its exit code.
    int run(std::vector<std::string> argv, const std::map<std::string, std::string>& env = {}) {
        std::vector<std::string> envText;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (env.count(entry.substr(0, entry.find('='))) == 0) {
                envText.push_back(entry);
            }
        }
        for (const auto& [key, value] : env) {
            envText.push_back(key + "=" + value);
        }
        std::vector<char*> args;
        std::vector<char*> envp;
        for (std::string& a : argv) {
            args.push_back(a.data());
        }
        for (std::string& e : envText) {
            envp.push_back(e.data());
        }
        args.push_back(nullptr);
        envp.push_back(nullptr);
        pid_t pid = 0;
        if (::posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), envp.data()) != 0) {
            return -1000;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    }

    std::map<std::string, std::string> installEnv(bool start) const {
        std::map<std::string, std::string> env = {{"FENWIX_INSTALL_DIR", target_.string()},
                                                  {"FWX_MARKER", marker_.string()}};
        if (!start) {
            env["FENWIX_INSTALL_NO_START"] = "1";
        }
        return env;
    }

    // A stand-in terminal that records its version and working folder when it starts.
    std::string terminalScript(const std::string& version) const {
        return "#!/bin/sh\necho \"" + version +
               " $PWD\" > \"$FWX_MARKER.tmp\" && mv \"$FWX_MARKER.tmp\" \"$FWX_MARKER\"\n";
    }

    fs::path pack(const fs::path& tree, const std::string& name) {
        const fs::path output = dir_ / name;
        EXPECT_EQ(run({"/bin/sh", FENWIX_INSTALLER_PACKER, tree.string(), FENWIX_INSTALLER_HEADER,
                       program_, output.string()}),
                  0);
        return output;
    }

    fs::path packVersion(const std::string& version,
                         const std::map<std::string, std::string>& files = {}) {
        const fs::path tree = dir_ / ("tree-" + version);
        writeFile(tree / program_, terminalScript(version),
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                      fs::perms::others_read | fs::perms::others_exec);
        for (const auto& [path, content] : files) {
            writeFile(tree / path, content);
        }
        return pack(tree, "setup-" + version);
    }

    // Runs a copy of sleep as the installed terminal, so its program file is busy.
    pid_t startInstalledCopyOfSleep() {
        fs::create_directories(target_);
        const fs::path program = target_ / program_;
        fs::copy_file("/bin/sleep", program, fs::copy_options::overwrite_existing);
        fs::permissions(program, fs::perms::owner_all);
        std::string path = program.string();
        std::string seconds = "120";
        char* argv[] = {path.data(), seconds.data(), nullptr};
        pid_t pid = 0;
        EXPECT_EQ(::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ), 0);
        children_.insert(pid);
        for (int i = 0; i < 200; ++i) {
            std::error_code ec;
            if (fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec).filename() ==
                program_) {
                break;
            }
            std::this_thread::sleep_for(5ms);
        }
        return pid;
    }

    bool noWorkFoldersLeft() const {
        for (const auto& entry : fs::directory_iterator(target_)) {
            if (entry.path().filename().string().rfind(".install.", 0) == 0) {
                return false;
            }
        }
        return true;
    }

    fs::path dir_;
    fs::path target_;
    fs::path marker_;
    std::string program_;
    std::set<pid_t> children_;
};

TEST_F(Installer, UnpacksTheTreeAndStartsTheTerminalInItsFolder) {
    std::string picture = "\x89PNG\r\n\x1a\n";
    picture += std::string(5000, '\0') + "tail";
    const fs::path setup =
        packVersion("v1", {{"images/main/bg.png", picture}, {"wav/test.wav", "RIFF"}});

    ASSERT_EQ(run({setup.string()}, installEnv(true)), 0);

    EXPECT_EQ(readFile(target_ / program_), terminalScript("v1"));
    EXPECT_NE(fs::status(target_ / program_).permissions() & fs::perms::owner_exec,
              fs::perms::none);
    EXPECT_EQ(readFile(target_ / "images/main/bg.png"), picture);
    EXPECT_EQ(readFile(target_ / "wav/test.wav"), "RIFF");
    ASSERT_TRUE(waitForFile(marker_));
    EXPECT_EQ(readFile(marker_), "v1 " + target_.string() + "\n");
    EXPECT_TRUE(noWorkFoldersLeft());
}

TEST_F(Installer, ReplacesARunningProgramButKeepsTheMachinesSettings) {
    startInstalledCopyOfSleep();
    writeFile(target_ / "ini/desktop.ini", "[CONFIG]\nlocal=1\n");
    writeFile(target_ / "images/main/bg.png", "old picture");
    const fs::path setup = packVersion("v2", {{"ini/desktop.ini", "[CONFIG]\nshipped=1\n"},
                                              {"ini/new.ini", "new"},
                                              {"images/main/bg.png", "new picture"}});

    ASSERT_EQ(run({setup.string()}, installEnv(false)), 0);

    EXPECT_EQ(readFile(target_ / program_), terminalScript("v2"));
    EXPECT_EQ(readFile(target_ / "ini/desktop.ini"), "[CONFIG]\nlocal=1\n");
    EXPECT_EQ(readFile(target_ / "ini/new.ini"), "new");
    EXPECT_EQ(readFile(target_ / "images/main/bg.png"), "new picture");
    EXPECT_TRUE(noWorkFoldersLeft());
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(fs::exists(marker_)) << "asked not to start the terminal";
}

class DamagedInstaller : public Installer, public ::testing::WithParamInterface<const char*> {};

TEST_P(DamagedInstaller, LeavesTheInstalledTerminalAsItWasAndStartsIt) {
    ASSERT_EQ(run({packVersion("v1").string()}, installEnv(false)), 0);
    // A payload large enough that damage to it cannot be missed by chance.
    std::string noise;
    for (unsigned i = 0; i < 200000; ++i) {
        noise += static_cast<char>((i * 2654435761u) >> 24);
    }
    const fs::path setup = packVersion("v2", {{"images/main/bg.png", noise}});
    std::string bytes = readFile(setup);
    if (std::string(GetParam()) == "truncated") {
        bytes.resize(bytes.size() - bytes.size() / 4);
    } else {
        for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i) {
            bytes[i] = static_cast<char>(~bytes[i]);
        }
    }
    writeFile(setup, bytes, fs::perms::owner_all);

    EXPECT_EQ(run({setup.string()}, installEnv(true)), 1);

    EXPECT_EQ(readFile(target_ / program_), terminalScript("v1"));
    EXPECT_FALSE(fs::exists(target_ / "images/main/bg.png"));
    EXPECT_TRUE(noWorkFoldersLeft());
    ASSERT_TRUE(waitForFile(marker_)) << "the old terminal should run again";
    EXPECT_EQ(readFile(marker_), "v1 " + target_.string() + "\n");
}

INSTANTIATE_TEST_SUITE_P(Damage, DamagedInstaller, ::testing::Values("truncated", "corrupted"));

TEST_F(Installer, HandedOverByTheUpdaterReplacesTheRunningTerminal) {
    const pid_t old = startInstalledCopyOfSleep();
    const fs::path setup = packVersion("v2");

    EXPECT_EQ(run({FENWIX_UPDATE_PATH, program_ + ".exe", setup.string()}, installEnv(true)), 0);

    int status = 0;
    EXPECT_EQ(::waitpid(old, &status, 0), old);
    children_.erase(old);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ASSERT_TRUE(waitForFile(marker_));
    EXPECT_EQ(readFile(marker_), "v2 " + target_.string() + "\n");
    EXPECT_EQ(readFile(target_ / program_), terminalScript("v2"));
}

TEST_F(Installer, KeepsTheVersionItReplacesForItsTrial) {
    ASSERT_EQ(run({packVersion("v1").string()}, installEnv(false)), 0);
    EXPECT_FALSE(fs::exists(target_ / ".update-trial")) << "a first install replaces nothing";
    writeFile(target_ / "ini/desktop.ini", "[CONFIG]\nlocal=1\n");

    ASSERT_EQ(
        run({packVersion("v2", {{"ini/desktop.ini", "shipped"}}).string()}, installEnv(false)), 0);

    EXPECT_EQ(readFile(target_ / program_), terminalScript("v2"));
    EXPECT_EQ(readFile(target_ / ".previous" / program_), terminalScript("v1"));
    EXPECT_FALSE(fs::exists(target_ / ".previous" / "ini")) << "the settings are never rolled back";
    EXPECT_EQ(readFile(target_ / ".update-trial"), "starts=0\n");
    EXPECT_FALSE(fs::exists(target_ / ".installing"));
}

TEST_F(Installer, LeavesTheStartToASupervisor) {
    auto env = installEnv(true);
    env["FENWIX_SUPERVISED"] = "1";
    ASSERT_EQ(run({packVersion("v1").string()}, env), 0);
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(fs::exists(marker_)) << "the supervisor starts the terminal, not the installer";
    EXPECT_NE(readFile(target_ / "install.log").find("the supervisor starts"), std::string::npos);
}

// The kiosk launcher with stand-in terminals: a packaged tree, the user's program folder, and
// the rollback of a self-update that never reaches the backend.
class KioskLauncher : public Installer {
protected:
    void SetUp() override {
        Installer::SetUp();
        program_ = "FenwixStuDesktop";  // the name the launcher starts
        packaged_ = dir_ / "usr-lib-fenwix";
    }

    void package(const std::string& packageVersion, const std::string& terminal) {
        writeFile(packaged_ / program_, terminal, fs::perms::owner_all);
        writeFile(packaged_ / "images/main/bg.png", "picture " + packageVersion);
        writeFile(packaged_ / "ini/desktop.ini", "shipped");
        writeFile(packaged_ / "package-version", packageVersion + "\n");
    }

    // One start as the user unit makes it; the exit code of the terminal it became.
    int start() {
        fs::remove(marker_);
        auto env = installEnv(true);
        env["FENWIX_PACKAGED_DIR"] = packaged_.string();
        return run({FENWIX_KIOSK_LAUNCHER}, env);
    }

    fs::path packaged_;
};

TEST_F(KioskLauncher, SetsUpTheProgramFolderFromEachPackageVersionKeepingTheSettings) {
    writeFile(target_ / "ini/desktop.ini", "local");
    package("1.0", terminalScript("p1"));
    EXPECT_EQ(start(), 0);
    EXPECT_EQ(readFile(marker_), "p1 " + target_.string() + "\n");
    EXPECT_EQ(readFile(target_ / "images/main/bg.png"), "picture 1.0");
    EXPECT_EQ(readFile(target_ / "ini/desktop.ini"), "local");

    // A self-update since then is kept while the package stays the same...
    ASSERT_EQ(run({packVersion("s2").string()}, installEnv(false)), 0);
    EXPECT_EQ(start(), 0);
    EXPECT_EQ(readFile(marker_), "s2 " + target_.string() + "\n");

    // ...and an upgrade of the package replaces it.
    package("1.1", terminalScript("p2"));
    EXPECT_EQ(start(), 0);
    EXPECT_EQ(readFile(marker_), "p2 " + target_.string() + "\n");
    EXPECT_EQ(readFile(target_ / "ini/desktop.ini"), "local");
}

TEST_F(KioskLauncher, RestoresTheVersionBeforeAnUpdateThatNeverReachesTheBackend) {
    package("1.0", terminalScript("p1"));
    EXPECT_EQ(start(), 0);
    // The new version ends at once without reaching the backend, as a broken build would.
    const fs::path broken = dir_ / "tree-broken";
    writeFile(broken / program_, terminalScript("broken") + "exit 1\n", fs::perms::owner_all);
    ASSERT_EQ(run({pack(broken, "setup-broken").string()}, installEnv(false)), 0);

    // Restart=on-failure starts it again after each non-zero exit.
    std::vector<std::string> versions;
    for (int starts = 0; starts < 6; ++starts) {
        const int code = start();
        versions.push_back(readFile(marker_).substr(0, readFile(marker_).find(' ')));
        if (code == 0) {
            break;
        }
    }
    EXPECT_EQ(versions, (std::vector<std::string>{"broken", "broken", "broken", "p1"}));
    EXPECT_FALSE(fs::exists(target_ / ".update-trial"));
    EXPECT_FALSE(fs::exists(target_ / ".previous"));
    EXPECT_NE(readFile(target_ / "install.log").find("previous version restored"),
              std::string::npos);
}

TEST_F(KioskLauncher, KeepsAnUpdateThatReachedTheBackend) {
    package("1.0", terminalScript("p1"));
    EXPECT_EQ(start(), 0);
    ASSERT_EQ(run({packVersion("v2").string()}, installEnv(false)), 0);
    // What the terminal does on its first answered heartbeat.
    fs::remove(target_ / ".update-trial");
    for (int starts = 0; starts < 4; ++starts) {
        EXPECT_EQ(start(), 0);
        EXPECT_EQ(readFile(marker_), "v2 " + target_.string() + "\n");
    }
}

}  // namespace
