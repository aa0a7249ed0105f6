// The whole self-update with real programs: a terminal installed by the installer is offered a
// newer installer by fenwix-sim, downloads it, hands over to the updater, is ended by it, and the
// installer puts the newer terminal in place and starts it, which registers with its new version.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
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

// The installer the build makes, and the packing tools beside this source tree.
const fs::path kInstaller = fs::path(FENWIX_APP_DIR).parent_path() / "FenwixStuDesktopSetup";
const fs::path kSourceRoot = FENWIX_SOURCE_DIR;

// What the installed terminal sends as its client version, and the newer one it is updated to.
const char kClientVersion[] = "20190128";
const char kNewerClientVersion[] = "20190199";

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Replaces every occurrence of `from` by `to` (same length) in a file; how many were replaced.
int patchFile(const fs::path& path, const std::string& from, const std::string& to) {
    std::string data = readAll(path);
    int count = 0;
    for (auto at = data.find(from); at != std::string::npos; at = data.find(from, at + 1)) {
        data.replace(at, from.size(), to);
        ++count;
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
    return count;
}

std::string base64(const std::string& bytes) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6) {
            out += alphabet[(v >> shift) & 63];
        }
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (two ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += two ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

std::string sha256Of(const fs::path& path) {
    const std::string out = e2e::run("sha256sum " + quoted(path)).second;
    return out.substr(0, out.find(' '));
}

// Processes running the program file `exe`, found through /proc.
std::vector<pid_t> processesRunning(const fs::path& exe) {
    std::vector<pid_t> pids;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::error_code linkError;
        if (fs::read_symlink(entry.path() / "exe", linkError) == exe) {
            pids.push_back(static_cast<pid_t>(std::stoi(name)));
        }
    }
    return pids;
}

void endAll(const fs::path& exe) {
    for (pid_t pid : processesRunning(exe)) {
        ::kill(pid, SIGKILL);
    }
    e2e::waitUntil([&] { return processesRunning(exe).empty(); }, 10s);
}

bool registeredWithClientVersion(const SimProcess& sim, const std::string& version) {
    for (const Json::Value& r : sim.requests("/api/business/app/register")) {
        for (const Json::Value& field : r["form"]) {
            if (field["name"].asString() == "clientversion" &&
                field["value"].asString() == version) {
                return true;
            }
        }
    }
    return false;
}

std::string logsOf(const fs::path& folder) {
    std::string all;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder / "log", ec)) {
        all += readAll(entry.path());
    }
    return all;
}

class SelfUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") != nullptr) {
            ASSERT_TRUE(e2e::displayAnswers());
        }
        if (!fs::exists(kInstaller)) {
            GTEST_SKIP() << "no installer at " << kInstaller << ": build the target installer";
        }
        install_ = sandbox_.root() / "install";
        tmp_ = sandbox_.root() / "tmp";
        fs::create_directories(tmp_);
    }

    void TearDown() override {
        endAll(install_ / "FenwixStuDesktop");
        if (HasFailure()) {
            std::cerr << "---- terminal logs\n"
                      << logsOf(install_) << "---- install.log\n"
                      << readAll(install_ / "install.log") << "---- sim\n"
                      << sim_.log();
        }
    }

    // Installs the current build without starting it.
    void installCurrent() {
        const auto [status, out] =
            e2e::run("FENWIX_INSTALL_DIR=" + quoted(install_) + " FENWIX_INSTALL_NO_START=1 sh " +
                     quoted(kInstaller) + " 2>&1");
        ASSERT_EQ(status, 0) << out;
        ASSERT_TRUE(fs::exists(install_ / "FenwixStuDesktop"));
        ASSERT_TRUE(fs::exists(install_ / "FenwixUpdate"));
    }

    // The same installer with a terminal that reports a newer client version.
    std::string newerInstaller() {
        const fs::path stage = sandbox_.root() / "stage";
        const fs::path newer = sandbox_.root() / "FenwixStuDesktopSetup-newer";
        fs::create_directories(stage);
        const auto [unpacked, unpackOut] =
            e2e::run("tail -n +\"$(awk '/^__FENWIX_PAYLOAD__$/ { print NR + 1; exit }' " +
                     quoted(kInstaller) + ")\" " + quoted(kInstaller) + " | tar -xzf - -C " +
                     quoted(stage) + " 2>&1");
        EXPECT_EQ(unpacked, 0) << unpackOut;
        EXPECT_GT(patchFile(stage / "FenwixStuDesktop", kClientVersion, kNewerClientVersion), 0);
        const auto [packed, packOut] = e2e::run(
            "sh " + quoted(kSourceRoot / "packaging" / "makeinstaller.sh") + " " + quoted(stage) +
            " " + quoted(kSourceRoot / "packaging" / "installer-header.sh") + " FenwixStuDesktop " +
            quoted(newer) + " 2>&1");
        EXPECT_EQ(packed, 0) << packOut;
        return readAll(newer);
    }

    std::vector<std::string> environment() const {
        std::vector<std::string> env;
        for (const std::string& e : sandbox_.environment()) {
            // The installed terminal must find its libraries in its own folder.
            if (e.rfind("LD_LIBRARY_PATH=", 0) != 0 && e.rfind("FENWIX_INSTALL_", 0) != 0 &&
                e.rfind("TMPDIR=", 0) != 0) {
                env.push_back(e);
            }
        }
        // The installer the update runs installs here; the download and the updater copy go
        // to a temporary folder of this test.
        env.push_back("FENWIX_INSTALL_DIR=" + install_.string());
        env.push_back("TMPDIR=" + tmp_.string());
        return env;
    }

    e2e::TerminalSandbox sandbox_;
    SimProcess sim_;
    fs::path install_;
    fs::path tmp_;
};

TEST_F(SelfUpdate, OfferedInstallerReplacesTheRunningTerminal) {
    installCurrent();
    const std::string newer = newerInstaller();
    ASSERT_FALSE(HasFailure());

    // The updater ends the first process of the terminal's name: give this terminal a name of
    // its own, so that terminals of other tests on this machine are never taken for it.
    const fs::path oldTerminal = install_ / "FenwixStuDesktopUpdateTest";
    fs::rename(install_ / "FenwixStuDesktop", oldTerminal);

    const std::string installerPath = "/files/FenwixStuDesktopSetup";
    Json::Value file;
    file["path"] = installerPath;
    file["bodyBase64"] = base64(newer);
    file["contentType"] = "application/octet-stream";
    file["times"] = 1;
    sim_.setReply(file);
    Json::Value offer;
    offer["path"] = "updateVersion";
    offer["payload"]["isupdate"] = true;
    offer["payload"]["installUrl"] = sim_.baseUrl() + installerPath;
    // The offer names the installer's digest: the download is verified before the hand-over.
    offer["payload"]["sha256"] = sha256Of(sandbox_.root() / "FenwixStuDesktopSetup-newer");
    ASSERT_EQ(offer["payload"]["sha256"].asString().size(), 64u);
    sim_.setBusiness(offer);
    sandbox_.useBackend(sim_.baseUrl());

    e2e::StartedProgram terminal(oldTerminal, install_, environment());
    ASSERT_GT(terminal.pid(), 0);
    ASSERT_TRUE(e2e::waitUntil([&] { return !sim_.requests(installerPath).empty(); }, 60s))
        << "the terminal never downloaded the offered installer";
    // The newer terminal is not offered anything again.
    offer["payload"]["isupdate"] = false;
    sim_.setBusiness(offer);

    ASSERT_TRUE(e2e::waitUntil([&] { return !terminal.running(); }, 60s))
        << "the updater did not end the terminal";
    ASSERT_TRUE(
        e2e::waitUntil([&] { return registeredWithClientVersion(sim_, kNewerClientVersion); }, 90s))
        << "the newer terminal did not start and register";

    EXPECT_TRUE(registeredWithClientVersion(sim_, kClientVersion));
    EXPECT_EQ(processesRunning(install_ / "FenwixStuDesktop").size(), 1u);
    // The download and the updater copy are in the temporary folder.
    EXPECT_EQ(readAll(tmp_ / "FenwixStuDesktopUpdateTestupdate"), newer);
    EXPECT_EQ(readAll(tmp_ / "FenwixUpdate"), readAll(install_ / "FenwixUpdate"));
    EXPECT_NE(readAll(install_ / "install.log").find("installed"), std::string::npos);
    EXPECT_NE(logsOf(install_).find("update installer sha256 verified"), std::string::npos);
    // The replaced version is kept for a rollback until the new one reaches the backend, which
    // it has by now.
    EXPECT_TRUE(fs::exists(install_ / ".previous" / "FenwixUpdate"));
    EXPECT_TRUE(e2e::waitUntil([&] { return !fs::exists(install_ / ".update-trial"); }, 20s))
        << "the newer terminal did not record that it reached the backend";
}

}  // namespace
