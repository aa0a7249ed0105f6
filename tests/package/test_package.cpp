// The Debian package, unpacked into throw-away roots: what it ships, its user unit, and its
// kiosk launcher running the packaged terminal against fenwix-sim. The supervision rules are
// played by starting the terminal again after each exit whenever the unit's Restart= settings
// would, since no systemd runs as init here.
#include <gtest/gtest.h>
#include <json/json.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/simprocess.h"
#include "support_terminalprocess.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using fenwixtest::SimProcess;

const fs::path kBuild = FENWIX_BUILD_DIR;
const char kUnit[] = "usr/lib/systemd/user/fenwix-kiosk.service";
const char kProgramDir[] = "usr/lib/fenwix";

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

fs::path packageFile() {
    return trimmed(e2e::readFile(kBuild / "packages" / "last-built"));
}

// The package unpacked once for the whole program; no test writes into it.
class UnpackedPackage {
public:
    UnpackedPackage() {
        std::string pattern = (fs::temp_directory_path() / "fenwix-deb-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        const auto [status, out] =
            e2e::run("dpkg-deb -x " + quoted(packageFile()) + " " + quoted(root_) + " 2>&1");
        unpacked_ = status == 0;
        error_ = out;
    }
    ~UnpackedPackage() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    const fs::path& root() const { return root_; }
    bool unpacked() const { return unpacked_; }
    const std::string& error() const { return error_; }

private:
    fs::path root_;
    bool unpacked_ = false;
    std::string error_;
};

const UnpackedPackage& package() {
    static const UnpackedPackage unpacked;
    return unpacked;
}

std::string controlField(const std::string& field) {
    return trimmed(e2e::run("dpkg-deb -f " + quoted(packageFile()) + " " + field).second);
}

// What systemd's Restart=on-failure with RestartPreventExitStatus= does with a wait status,
// read from the packaged unit.
class RestartPolicy {
public:
    explicit RestartPolicy(const fs::path& unit) {
        std::istringstream lines(e2e::readFile(unit));
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind("Restart=", 0) == 0) {
                restart_ = line.substr(8);
            } else if (line.rfind("RestartPreventExitStatus=", 0) == 0) {
                std::istringstream codes(line.substr(25));
                int code = 0;
                while (codes >> code) {
                    prevented_.insert(code);
                }
            }
        }
    }
    const std::string& restart() const { return restart_; }
    bool restarts(int status) const {
        if (WIFEXITED(status)) {
            const int code = WEXITSTATUS(status);
            return code != 0 && prevented_.count(code) == 0;
        }
        // The signals systemd counts as a clean end for on-failure.
        const std::set<int> clean{SIGHUP, SIGINT, SIGTERM, SIGPIPE};
        return WIFSIGNALED(status) && clean.count(WTERMSIG(status)) == 0;
    }

private:
    std::string restart_;
    std::set<int> prevented_;
};

TEST(PackageContents, ShipsTheProgramsLibrariesPicturesAndSound) {
    ASSERT_TRUE(package().unpacked()) << package().error();
    const fs::path lib = package().root() / kProgramDir;
    for (const char* file : {"FenwixStuDesktop", "FenwixUpdate", "libVidyoClient.so",
                             "images/main/bg.png", "images/main/student.png", "wav/test.wav"}) {
        EXPECT_TRUE(fs::is_regular_file(lib / file)) << file;
    }
    for (const char* file : {"usr/bin/fenwix-kiosk", "usr/bin/fenwix-kiosk-session", kUnit,
                             "usr/share/xsessions/fenwix-kiosk.desktop"}) {
        EXPECT_TRUE(fs::is_regular_file(package().root() / file)) << file;
    }
    // Every shipped program and library finds what it links: the system's libraries through
    // the package's dependencies, the shipped ones beside it.
    for (const auto& entry : fs::recursive_directory_iterator(lib)) {
        const std::string head = e2e::readFile(entry.path()).substr(0, 4);
        if (entry.is_regular_file() && head ==
                                           "\x7f"
                                           "ELF") {
            const auto [status, out] = e2e::run("ldd " + quoted(entry.path()) + " 2>&1");
            EXPECT_EQ(status, 0) << entry.path();
            EXPECT_EQ(out.find("not found"), std::string::npos) << entry.path() << "\n" << out;
        }
    }
}

TEST(PackageContents, DependsComeFromTheLinkedLibraries) {
    const std::string depends = controlField("Depends");
    for (const char* library : {"libqt6widgets6", "libcurl4", "libjsoncpp25", "libpulse0",
                                "libgstreamer1.0-0", "libc6"}) {
        EXPECT_NE(depends.find(library), std::string::npos) << library << " in " << depends;
    }
    // The libraries the package ships itself are no dependency.
    EXPECT_EQ(depends.find("ibVidyo"), std::string::npos) << depends;
    EXPECT_EQ(controlField("Version"),
              e2e::readFile(package().root() / kProgramDir / "package-version")
                  .substr(0, controlField("Version").size()));
}

TEST(PackageContents, UserUnitVerifies) {
    ASSERT_TRUE(package().unpacked()) << package().error();
    // The unit names its launcher by its installed path; here it lives in the unpacked root.
    std::string unit = e2e::readFile(package().root() / kUnit);
    const std::string exec = "ExecStart=/usr/bin/fenwix-kiosk";
    const auto at = unit.find(exec);
    ASSERT_NE(at, std::string::npos);
    unit.replace(at, exec.size(),
                 "ExecStart=" + (package().root() / "usr/bin/fenwix-kiosk").string());
    const fs::path copy = fs::temp_directory_path() /
                          ("fenwix-kiosk-verify-" + std::to_string(::getpid()) + ".service");
    std::ofstream(copy) << unit;
    const auto [status, out] =
        e2e::run("systemd-analyze verify --man=no " + quoted(copy) + " 2>&1");
    fs::remove(copy);
    EXPECT_EQ(status, 0) << out;
    // Unknown keys and bad values are only warned about: any word from it is a fault.
    EXPECT_EQ(out, "");
    EXPECT_EQ(RestartPolicy(package().root() / kUnit).restart(), "on-failure");
}

class Kiosk : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(package().unpacked()) << package().error();
        if (std::getenv("DISPLAY") != nullptr) {
            ASSERT_TRUE(e2e::displayAnswers());
        }
        home_ = sandbox_.root() / "home";
        program_ = home_ / ".local/share/Fenwix";
        fs::create_directories(program_ / "ini");
        fs::create_directories(sandbox_.root() / "tmp");
        // The machine's settings are there before the first start and survive it.
        std::ofstream(program_ / "ini" / "desktop.ini")
            << "[CONFIG]\napibaseurl=" << sim_.baseUrl() << "\npushbaseurl=" << sim_.baseUrl()
            << "\n";
    }

    void TearDown() override {
        if (HasFailure()) {
            std::cerr << "---- install.log\n"
                      << e2e::readFile(program_ / "install.log") << "---- terminal logs\n";
            std::error_code ec;
            for (const auto& entry : fs::directory_iterator(program_ / "log", ec)) {
                std::cerr << e2e::readFile(entry.path());
            }
            std::cerr << "---- sim\n" << sim_.log();
        }
    }

    std::vector<std::string> environment() const {
        std::vector<std::string> env;
        for (const std::string& e : sandbox_.environment()) {
            // The packaged terminal keeps its settings beside itself and finds its libraries
            // there.
            if (e.rfind("FENWIX_INI_DIR=", 0) != 0 && e.rfind("LD_LIBRARY_PATH=", 0) != 0 &&
                e.rfind("FENWIX_INSTALL_", 0) != 0 && e.rfind("HOME=", 0) != 0 &&
                e.rfind("TMPDIR=", 0) != 0) {
                env.push_back(e);
            }
        }
        env.push_back("HOME=" + home_.string());
        env.push_back("TMPDIR=" + (sandbox_.root() / "tmp").string());
        env.push_back("FENWIX_SUPERVISED=1");  // as the unit sets it
        return env;
    }

    std::unique_ptr<e2e::StartedProgram> start() {
        return std::make_unique<e2e::StartedProgram>(package().root() / "usr/bin/fenwix-kiosk",
                                                     home_, environment());
    }

    // Waits until the backend has seen `count` registrations in all.
    bool registrations(Json::ArrayIndex count) const {
        return e2e::waitUntil(
            [&] { return sim_.requests("/api/business/app/register").size() >= count; }, 40s);
    }

    std::string logOf(pid_t pid) const {
        char pidText[16];
        std::snprintf(pidText, sizeof pidText, "_%06u_", static_cast<unsigned>(pid));
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(program_ / "log", ec)) {
            if (entry.path().filename().string().find(pidText) != std::string::npos) {
                return e2e::readFile(entry.path());
            }
        }
        return "";
    }

    Json::ArrayIndex pushRegistrations() const { return sim_.requests("/api/register").size(); }

    // The push key of the newest push registration, if there are more than `earlier`: a run
    // that crashed may have registered its own key before.
    std::string pushKey(Json::ArrayIndex earlier = 0) const {
        const Json::Value registrations = sim_.requests("/api/register");
        if (registrations.size() <= earlier) {
            return "";
        }
        const std::string query = registrations[registrations.size() - 1]["query"].asString();
        const auto at = query.find("userid=");
        return at == std::string::npos ? "" : query.substr(at + 7);
    }

    // Ends a run with kill -9 and checks that the unit would start it again.
    void crash(e2e::StartedProgram& run) const {
        ::kill(run.pid(), SIGKILL);
        const int status = run.waitStatus(10s);
        ASSERT_NE(status, -1);
        EXPECT_TRUE(policy_.restarts(status)) << "status " << status;
    }

    e2e::TerminalSandbox sandbox_;
    SimProcess sim_;
    fs::path home_;
    fs::path program_;
    RestartPolicy policy_{package().root() / kUnit};
};

TEST_F(Kiosk, FirstStartSetsUpTheProgramFolderAndRegisters) {
    auto run = start();
    ASSERT_TRUE(registrations(1)) << "the packaged terminal never registered";
    EXPECT_TRUE(run->running());
    for (const char* file : {"FenwixStuDesktop", "FenwixUpdate", "libVidyoClient.so",
                             "images/main/bg.png", "wav/test.wav"}) {
        EXPECT_TRUE(fs::is_regular_file(program_ / file)) << file;
    }
    EXPECT_NE(e2e::readFile(program_ / "ini" / "desktop.ini").find(sim_.baseUrl()),
              std::string::npos);
    EXPECT_NE(e2e::readFile(program_ / "install.log").find("set up from package"),
              std::string::npos);
    EXPECT_FALSE(logOf(run->pid()).empty()) << "no log in the program folder";

    // A stop of the unit (SIGTERM) is a deliberate end that is not restarted.
    ::kill(run->pid(), SIGTERM);
    const int status = run->waitStatus(40s);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(policy_.restarts(status));
}

TEST_F(Kiosk, KillIsRestartedAndAltQIsNot) {
    auto first = start();
    ASSERT_TRUE(registrations(1));
    crash(*first);

    auto second = start();
    ASSERT_TRUE(registrations(2)) << "the restarted terminal never registered";
    EXPECT_NE(logOf(second->pid()).find("the previous run did not end by itself"),
              std::string::npos);
    if (std::getenv("DISPLAY") != nullptr) {
        std::string window;
        ASSERT_TRUE(e2e::waitUntil(
            [&] {
                window = trimmed(e2e::run("xdotool search --all --onlyvisible --pid " +
                                          std::to_string(second->pid()) +
                                          " --name '^芬维学生端$' 2>/dev/null | head -n 1")
                                     .second);
                return !window.empty();
            },
            20s));
        EXPECT_EQ(
            e2e::run("xdotool windowfocus --sync " + window + " key --clearmodifiers alt+q").first,
            0);
    } else {
        ::kill(second->pid(), SIGTERM);  // the other deliberate end without a keyboard
    }
    const int status = second->waitStatus(40s);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(policy_.restarts(status));
    EXPECT_NE(e2e::readFile(program_ / "ini" / "runstate").find("state=clean"), std::string::npos);
}

TEST_F(Kiosk, ThreeCrashesGiveTheSafeModeWhichRegistersAndObeysUpdate) {
    for (Json::ArrayIndex n = 1; n <= 3; ++n) {
        auto run = start();
        ASSERT_TRUE(registrations(n)) << "start " << n;
        crash(*run);
    }
    const Json::ArrayIndex earlier = pushRegistrations();
    auto safe = start();
    ASSERT_TRUE(registrations(4)) << "the safe mode did not register";
    ASSERT_TRUE(e2e::waitUntil([&] { return !pushKey(earlier).empty(); }, 20s));
    EXPECT_NE(logOf(safe->pid()).find("safe mode: 3 crashes"), std::string::npos);
    EXPECT_EQ(logOf(safe->pid()).find("业务准备初始化vidyo sdk"), std::string::npos);

    // A pushed log-in is refused: the conference stays off.
    Json::Value login;
    login["userId"] = pushKey();
    login["type"] = "vLogin";
    login["data"]["roomId"] = "R-1";
    login["data"]["username"] = "c1";
    login["data"]["password"] = "p";
    login["data"]["roomKey"] = "room-1";
    sim_.admin("POST", "/admin/push", login);
    EXPECT_TRUE(e2e::waitUntil(
        [&] { return logOf(safe->pid()).find("安全模式，不进入课堂") != std::string::npos; }, 20s));
    for (const Json::Value& request : sim_.requests()) {
        EXPECT_NE(request["path"].asString().rfind("/portal", 0), 0u) << request["path"];
    }

    // A pushed update is obeyed; an installer whose digest differs from the offered one is
    // downloaded but never handed over.
    const std::string installerPath = "/files/broken-installer";
    Json::Value file;
    file["path"] = installerPath;
    file["body"] = "#!/bin/sh\necho this is not the installer that was offered\n";
    file["contentType"] = "application/octet-stream";
    sim_.setReply(file);
    Json::Value offer;
    offer["path"] = "updateVersion";
    offer["payload"]["isupdate"] = true;
    offer["payload"]["installUrl"] = sim_.baseUrl() + installerPath;
    offer["payload"]["sha256"] = std::string(64, 'a');
    sim_.setBusiness(offer);
    Json::Value update;
    update["userId"] = pushKey();
    update["type"] = "vUpdate";
    sim_.admin("POST", "/admin/push", update);
    ASSERT_TRUE(e2e::waitUntil([&] { return !sim_.requests(installerPath).empty(); }, 30s))
        << "the safe mode did not take the update";
    EXPECT_TRUE(e2e::waitUntil(
        [&] { return logOf(safe->pid()).find("sha256 mismatch") != std::string::npos; }, 20s));
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(safe->running());
    EXPECT_FALSE(fs::exists(sandbox_.root() / "tmp" / "FenwixUpdate")) << "handed over";
}

}  // namespace
