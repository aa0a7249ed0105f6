// What the terminal costs while it waits on its idle screen, beside a minimal Qt widgets window
// on the same display in the same run, and what it costs in a class; then how fast a pushed
// log-in command reaches the conference portal. The terminal runs for real against fenwix-sim,
// under the caller's X display or an Xvfb of its own.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "procsampler.h"
#include "support/simprocess.h"
#include "support_terminalprocess.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

struct Settings {
    int warmUpSeconds = 20;
    int windowSeconds = 60;
    int latencyRuns = 20;
};

// A child program, ended (SIGTERM, then SIGKILL) with its owner.
class Child {
public:
    explicit Child(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
    }
    ~Child() {
        if (pid_ <= 0) {
            return;
        }
        kill(pid_, SIGTERM);
        for (int i = 0; i < 300 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        if (waitpid(pid_, nullptr, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

// An Xvfb on a free display when the caller has none; DISPLAY names it for every child.
class OwnDisplay {
public:
    OwnDisplay() {
        if (const char* display = std::getenv("DISPLAY"); display != nullptr && *display != 0) {
            return;
        }
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        const std::string fd = std::to_string(fds[1]);
        xvfb_ = std::make_unique<Child>(std::vector<std::string>{
            "/usr/bin/Xvfb", "-displayfd", fd, "-screen", "0", "1920x1080x24", "-nolisten", "tcp"});
        close(fds[1]);
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) {
            setenv("DISPLAY", (":" + number).c_str(), 1);
        }
    }
    bool ok() const { return std::getenv("DISPLAY") != nullptr; }

private:
    std::unique_ptr<Child> xvfb_;
};

// While alive, the standard output and error of children started meanwhile go to a file: the
// terminal prints its whole log there, which would bury the figures.
class QuietChildren {
public:
    explicit QuietChildren(const std::string& file)
        : savedOut_(dup(STDOUT_FILENO)), savedErr_(dup(STDERR_FILENO)) {
        std::fflush(stdout);
        std::fflush(stderr);
        if (FILE* sink = std::fopen(file.c_str(), "a")) {
            dup2(fileno(sink), STDOUT_FILENO);
            dup2(fileno(sink), STDERR_FILENO);
            std::fclose(sink);
        }
    }
    ~QuietChildren() {
        dup2(savedOut_, STDOUT_FILENO);
        dup2(savedErr_, STDERR_FILENO);
        close(savedOut_);
        close(savedErr_);
    }
    QuietChildren(const QuietChildren&) = delete;
    QuietChildren& operator=(const QuietChildren&) = delete;

private:
    int savedOut_, savedErr_;
};

long long steadyMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Json::Value object(std::initializer_list<std::pair<const char*, Json::Value>> members) {
    Json::Value v(Json::objectValue);
    for (const auto& [key, value] : members) {
        v[key] = value;
    }
    return v;
}

int countIn(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// The terminal against the sim, driven through the sim's admin API as the backend and the
// teacher would.
class Classroom {
public:
    Classroom(fenwixtest::SimProcess& sim, e2e::TerminalSandbox& sandbox,
              e2e::TerminalProcess& terminal)
        : sim_(sim), sandbox_(sandbox), terminal_(terminal) {}

    bool waitRegistered() {
        if (!e2e::waitUntil([&] { return !devices().empty() || !terminal_.running(); }, 60s) ||
            !terminal_.running()) {
            return false;
        }
        deviceKey_ = devices()[0]["deviceKey"].asString();
        return !sim_.waitForRequests("/api/getData", 1, 30000).empty();
    }

    // Steady-clock microseconds just before the push was queued.
    long long pushLogIn() {
        const long long at = steadyMicros();
        push("vLogin", object({{"roomId", "R-1"},
                               {"username", "bench01"},
                               {"password", "secret"},
                               {"roomKey", kRoom},
                               {"displayName", "一号教室"}}));
        return at;
    }

    bool enterWithVideo() {
        pushLogIn();
        if (!waitLogged("用户模式登录成功", 40s)) {
            return false;
        }
        // The first curtain command may come before the screen is fixed on the teacher.
        for (int attempt = 0; attempt < 5; ++attempt) {
            portal("curtain", object({{"roomKey", kRoom}, {"status", 1}}));
            if (waitLogged("固屏成功，等待下次固屏", 3s)) {
                return true;
            }
            portal("curtain", object({{"roomKey", kRoom}, {"status", 0}}));
            std::this_thread::sleep_for(1s);
        }
        return false;
    }

    bool leave() {
        const int before = countIn(log(), "OnAnalyzeLogoutSuccess");
        push("vLogout");
        return waitLogged("OnAnalyzeLogoutSuccess", 20s, before + 1);
    }

    Json::Value requests(const std::string& path) const { return sim_.requests(path); }

private:
    static constexpr const char* kRoom = "bench-room";

    Json::Value devices() const { return sim_.admin("GET", "/admin/devices")["devices"]; }

    void push(const std::string& type, const Json::Value& data = Json::Value()) const {
        Json::Value body = object({{"deviceKey", deviceKey_}, {"type", type}});
        if (!data.isNull()) {
            body["data"] = data;
        }
        sim_.admin("POST", "/admin/push", body);
    }

    void portal(const std::string& what, const Json::Value& body) const {
        sim_.admin("POST", "/admin/portal/" + what, body);
    }

    std::string log() const {
        char pidText[16];
        std::snprintf(pidText, sizeof pidText, "_%06u_", static_cast<unsigned>(terminal_.pid()));
        for (const auto& file : sandbox_.logFiles()) {
            if (file.filename().string().find(pidText) != std::string::npos) {
                return e2e::readFile(file);
            }
        }
        return "";
    }

    bool waitLogged(const std::string& text, std::chrono::milliseconds bound, int times = 1) {
        return e2e::waitUntil([&] { return countIn(log(), text) >= times; }, bound);
    }

    fenwixtest::SimProcess& sim_;
    e2e::TerminalSandbox& sandbox_;
    e2e::TerminalProcess& terminal_;
    std::string deviceKey_;
};

struct Latencies {
    std::vector<double> replyToLogInMs;
    std::vector<double> pushToLogInMs;
};

// One pushed log-in per run: the data reply that carried it is the last one that left the sim
// before the portal log-in arrived (the next poll starts seconds later).
Latencies measureLatencies(Classroom& room, int runs) {
    Latencies out;
    for (int run = 0; run < runs; ++run) {
        const size_t logIns = room.requests("/portal/login").size();
        const long long pushedAt = room.pushLogIn();
        Json::Value login;
        e2e::waitUntil(
            [&] {
                const Json::Value list = room.requests("/portal/login");
                if (list.size() > logIns) {
                    login = list[list.size() - 1];
                }
                return !login.isNull();
            },
            20s);
        if (login.isNull()) {
            std::cerr << "run " << run << ": no portal log-in arrived\n";
            room.leave();
            continue;
        }
        const long long arrived = login["arrivedUs"].asInt64();
        long long replied = 0;
        for (const Json::Value& poll : room.requests("/api/getData")) {
            const long long at = poll["repliedUs"].asInt64();
            if (at != 0 && at <= arrived) {
                replied = std::max(replied, at);
            }
        }
        if (replied > 0) {
            out.replyToLogInMs.push_back(static_cast<double>(arrived - replied) / 1000.0);
        }
        out.pushToLogInMs.push_back(static_cast<double>(arrived - pushedAt) / 1000.0);
        room.leave();
        std::this_thread::sleep_for(1s);  // back on the idle screen before the next push
    }
    return out;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const size_t index =
        static_cast<size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string spread(int first, int last, int max) {
    return std::to_string(first) + " -> " + std::to_string(last) + " (max " + std::to_string(max) +
           ")";
}

void printRow(const std::string& name, const std::vector<std::string>& cells) {
    std::printf("%-22s", name.c_str());
    for (const std::string& cell : cells) {
        std::printf(" %-20s", cell.c_str());
    }
    std::printf("\n");
}

void printFigures(const std::vector<std::string>& columns,
                  const std::vector<bench::ProcessFigures>& figures) {
    printRow("", columns);
    const auto row = [&](const std::string& name, auto cell) {
        std::vector<std::string> cells;
        for (const auto& f : figures) {
            cells.push_back(f.ok ? cell(f) : "(gone)");
        }
        printRow(name, cells);
    };
    row("wake-ups per second", [](const auto& f) { return fixed(f.wakeupsPerSecond, 2); });
    row("CPU ms per minute", [](const auto& f) { return fixed(f.cpuMsPerMinute, 0); });
    row("resident MB", [](const auto& f) { return fixed(static_cast<double>(f.rssKb) / 1024, 1); });
    row("threads",
        [](const auto& f) { return spread(f.threadsFirst, f.threadsLast, f.threadsMax); });
    row("open fds", [](const auto& f) { return spread(f.fdsFirst, f.fdsLast, f.fdsMax); });
    for (size_t i = 0; i < figures.size(); ++i) {
        std::printf("  busiest threads, %s:", columns[i].c_str());
        for (size_t t = 0; t < figures[i].busiest.size() && t < 6; ++t) {
            std::printf(" %s %.2f/s", figures[i].busiest[t].first.c_str(),
                        figures[i].busiest[t].second);
        }
        std::printf("\n");
    }
}

const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            settings = Settings{5, 8, 3};
        } else {
            std::cerr << "usage: bench_idle [--quick]\n";
            return 2;
        }
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
    OwnDisplay display;
    if (!display.ok() || !e2e::displayAnswers()) {
        std::cerr << "no X display (Xvfb did not start)\n";
        return 1;
    }
    fenwixtest::SimProcess sim;
    e2e::TerminalSandbox sandbox;
    sandbox.useBackend(sim.baseUrl());
    // A machine without a camera joins with the virtual one, as in the class tests.
    setenv("FENWIX_VIRTUAL_CAMERA", "1", 1);
    const std::string output = (sandbox.root() / "children.out").string();
    std::optional<QuietChildren> quiet(std::in_place, output);
    e2e::TerminalProcess terminal(sandbox);
    Child peer({BENCH_PEER_WINDOW});
    quiet.reset();
    Classroom room(sim, sandbox, terminal);
    if (!room.waitRegistered()) {
        std::cerr << "the terminal did not register with the sim\n" << sim.log();
        return 1;
    }
    std::printf("display %s, terminal pid %d, peer window pid %d; warm-up %d s, windows of %d s\n",
                std::getenv("DISPLAY"), terminal.pid(), peer.pid(), settings.warmUpSeconds,
                settings.windowSeconds);
    std::this_thread::sleep_for(std::chrono::seconds(settings.warmUpSeconds));

    const auto idle = bench::measure({terminal.pid(), peer.pid()}, settings.windowSeconds);
    if (!room.enterWithVideo()) {
        std::cerr << "the terminal did not show the class video\n";
        return 1;
    }
    std::this_thread::sleep_for(2s);
    const auto inClass = bench::measure({terminal.pid()}, settings.windowSeconds);
    if (!room.leave()) {
        std::cerr << "the terminal did not leave the class\n";
        return 1;
    }
    std::this_thread::sleep_for(3s);
    const auto afterClass = bench::measure({terminal.pid()}, settings.windowSeconds);

    std::printf("\n");
    printFigures({"terminal idle", "peer Qt window", "terminal in class", "idle after class"},
                 {idle[0], idle[1], inClass[0], afterClass[0]});

    const Latencies latencies = measureLatencies(room, settings.latencyRuns);
    std::printf("\npushed log-in, %zu runs:\n", latencies.pushToLogInMs.size());
    std::printf("  data reply left the sim -> portal log-in: p50 %.1f ms, p95 %.1f ms\n",
                percentile(latencies.replyToLogInMs, 50), percentile(latencies.replyToLogInMs, 95));
    std::printf(
        "  /admin/push -> portal log-in:              p50 %.0f ms, p95 %.0f ms "
        "(bounded by the poll cadence)\n",
        percentile(latencies.pushToLogInMs, 50), percentile(latencies.pushToLogInMs, 95));

    const auto& t = idle[0];
    std::printf(
        "\nidle targets: wake-ups <= 8/s %s, CPU <= 150 ms/min %s, RSS <= 60 MB %s, "
        "threads flat %s, fds flat %s; log-in p95 <= 50 ms %s\n",
        verdict(t.ok && t.wakeupsPerSecond <= 8), verdict(t.ok && t.cpuMsPerMinute <= 150),
        verdict(t.ok && t.rssKb <= 60 * 1024), verdict(t.ok && t.threadsLast <= t.threadsFirst),
        verdict(t.ok && t.fdsLast <= t.fdsFirst),
        verdict(!latencies.replyToLogInMs.empty() &&
                percentile(latencies.replyToLogInMs, 95) <= 50));
    terminal.signal(SIGTERM);
    terminal.waitExit(30s);
    return 0;
}
