// Runs the real terminal as a child process in a private working folder, with its own runtime
// and configuration folders, and looks at what it leaves behind (log files, windows).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// A private working folder with the terminal's pictures, and the environment to run it with.
class TerminalSandbox {
public:
    TerminalSandbox();
    ~TerminalSandbox();

    const std::filesystem::path& root() const { return root_; }
    const std::filesystem::path& workDir() const { return work_; }
    std::vector<std::string> environment() const;
    // Writes ini/desktop.ini so that the terminal talks to the backend at `baseUrl` for both
    // the business API and the push channel.
    void useBackend(const std::string& baseUrl) const;
    // Log files the terminal wrote under ./log/ so far.
    std::vector<std::filesystem::path> logFiles() const;

private:
    std::filesystem::path root_;
    std::filesystem::path work_;
};

class TerminalProcess {
public:
    explicit TerminalProcess(const TerminalSandbox& sandbox);
    ~TerminalProcess();  // kills the process if it still runs

    pid_t pid() const { return pid_; }
    bool running();
    // Waits for the end; the exit code, or nothing if it did not end in time or was killed.
    std::optional<int> waitExit(std::chrono::milliseconds bound);
    void signal(int sig);

private:
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
    bool reaped_ = false;
};

// A program started in a folder of its choice with a given environment (the kiosk launcher, an
// installed terminal); killed at the end of the test if it still runs.
class StartedProgram {
public:
    StartedProgram(const std::filesystem::path& exe, const std::filesystem::path& folder,
                   std::vector<std::string> env);
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    // The wait status once it ended, or -1 when it still runs after `bound`.
    int waitStatus(std::chrono::milliseconds bound);

private:
    pid_t pid_ = -1;
    bool ended_ = false;
    int status_ = 0;
};

std::string readFile(const std::filesystem::path& path);
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound);
// Runs a command line through the shell; its exit status and standard output.
std::pair<int, std::string> run(const std::string& command);
// Whether the X display answers; a display server started just before the tests may need a
// moment before it accepts clients. Waits up to 15 s the first time.
bool displayAnswers();

}  // namespace e2e
