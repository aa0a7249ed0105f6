#include "support_terminalprocess.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace e2e {

namespace fs = std::filesystem;

TerminalSandbox::TerminalSandbox() {
    std::string pattern = (fs::temp_directory_path() / "fenwix-e2e-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    work_ = root_ / "run";
    fs::create_directories(work_);
    fs::create_directories(root_ / "xdg-runtime");
    fs::permissions(root_ / "xdg-runtime", fs::perms::owner_all);
    fs::create_directories(root_ / "xdg-config");
    fs::create_directories(root_ / "ini");
    // The terminal loads its pictures relative to the working folder.
    const fs::path app = FENWIX_APP_DIR;
    for (const char* folder : {"images", "wav"}) {
        if (fs::exists(app / folder)) {
            fs::copy(app / folder, work_ / folder, fs::copy_options::recursive);
        }
    }
}

TerminalSandbox::~TerminalSandbox() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

std::vector<std::string> TerminalSandbox::environment() const {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos) {
            env[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
    }
    env["XDG_RUNTIME_DIR"] = (root_ / "xdg-runtime").string();
    env["XDG_CONFIG_HOME"] = (root_ / "xdg-config").string();
    env["FENWIX_INI_DIR"] = (root_ / "ini").string();
    if (env.count("DISPLAY") == 0) {
        env["QT_QPA_PLATFORM"] = "offscreen";
    }
    std::vector<std::string> out;
    for (const auto& [key, value] : env) {
        out.push_back(key + "=" + value);
    }
    return out;
}

std::vector<fs::path> TerminalSandbox::logFiles() const {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(work_ / "log", ec)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    return files;
}

TerminalProcess::TerminalProcess(const TerminalSandbox& sandbox) {
    const std::string exe = FENWIX_TERMINAL_EXE;
    std::vector<std::string> env = sandbox.environment();
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::vector<char> exeBuffer(exe.begin(), exe.end());
    exeBuffer.push_back('\0');
    char* argv[] = {exeBuffer.data(), nullptr};
    // The child starts in the sandbox's working folder.
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addchdir_np(&actions, sandbox.workDir().c_str());
    if (::posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv, envp.data()) != 0) {
        pid_ = -1;
    }
    ::posix_spawn_file_actions_destroy(&actions);
}

TerminalProcess::~TerminalProcess() {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

bool TerminalProcess::running() {
    if (pid_ <= 0 || reaped_) {
        return false;
    }
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == 0) {
        return true;
    }
    reaped_ = true;
    if (r == pid_ && WIFEXITED(status)) {
        exitCode_ = WEXITSTATUS(status);
    }
    return false;
}

std::optional<int> TerminalProcess::waitExit(std::chrono::milliseconds bound) {
    waitUntil([this] { return !running(); }, bound);
    return exitCode_;
}

void TerminalProcess::signal(int sig) {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, sig);
    }
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void TerminalSandbox::useBackend(const std::string& baseUrl) const {
    std::ofstream(root_ / "ini" / "desktop.ini")
        << "[CONFIG]\napibaseurl=" << baseUrl << "\npushbaseurl=" << baseUrl << "\n";
}

bool displayAnswers() {
    static const bool answers = waitUntil([] { return run("xdpyinfo >/dev/null 2>&1").first == 0; },
                                          std::chrono::seconds(15));
    return answers;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::pair<int, std::string> run(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {-1, output};
    }
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        output.append(buffer.data(), n);
    }
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

StartedProgram::StartedProgram(const fs::path& exe, const fs::path& folder,
                               std::vector<std::string> env) {
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::string path = exe.string();
    char* argv[] = {path.data(), nullptr};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    if (::posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv, envp.data()) != 0) {
        pid_ = -1;
    }
    ::posix_spawn_file_actions_destroy(&actions);
}

StartedProgram::~StartedProgram() {
    if (running()) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool StartedProgram::running() {
    if (pid_ <= 0 || ended_) {
        return false;
    }
    ended_ = ::waitpid(pid_, &status_, WNOHANG) != 0;
    return !ended_;
}

int StartedProgram::waitStatus(std::chrono::milliseconds bound) {
    waitUntil([this] { return !running(); }, bound);
    return ended_ ? status_ : -1;
}

}  // namespace e2e
