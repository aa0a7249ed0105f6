// A private PulseAudio daemon for one test, with null sinks and sources made to order.
//
//     fenwixtest::PulseDaemon pulse;                       // starts it, points this process at it
//     std::string spk = pulse.addSink("Speakers (USB Audio)");  // description = friendly name
//     pulse.setSinkVolume(spk, 0.5);
//     ... code under test talks to "the" sound server ...
//     EXPECT_NEAR(pulse.sinkVolume(spk), 0.8, 1e-4);
//
// The daemon gets its own runtime, state and config folders in a temp folder and loads nothing
// but the native protocol on a socket there (anonymous access), so no sink exists until a test
// adds one. While the object lives, PULSE_SERVER and PULSE_COOKIE of this process name that
// socket, so every client of the process (libpulse, pactl) reaches this daemon and no other;
// the destructor stops the daemon and restores both variables. One object per process at a time.
// Failures to start or to run pactl throw std::runtime_error with the daemon's log.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace fenwixtest {

class PulseDaemon {
public:
    PulseDaemon() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fenwix-pulse-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("PulseDaemon: mkdtemp failed");
        }
        dir_ = pattern;
        socket_ = dir_ + "/native";
        saveEnv("PULSE_SERVER", savedServer_);
        saveEnv("PULSE_COOKIE", savedCookie_);
        ::setenv("PULSE_SERVER", server().c_str(), 1);
        ::setenv("PULSE_COOKIE", (dir_ + "/cookie").c_str(), 1);
        start();
    }

    ~PulseDaemon() {
        stop();
        restoreEnv("PULSE_SERVER", savedServer_);
        restoreEnv("PULSE_COOKIE", savedCookie_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    PulseDaemon(const PulseDaemon&) = delete;
    PulseDaemon& operator=(const PulseDaemon&) = delete;

    // The server address clients of this process are pointed at ("unix:<socket>").
    std::string server() const { return "unix:" + socket_; }

    // Adds a null sink whose description (the friendly name) is `description`, blanks and
    // brackets allowed (no quotes or backslashes). Returns the sink's name (generated, plain
    // ASCII).
    std::string addSink(const std::string& description) {
        const std::string name = "fenwix_sink_" + std::to_string(++counter_);
        pactl({"load-module", "module-null-sink", "sink_name=" + name,
               "sink_properties=device.description=" + quoted(description)});
        return name;
    }

    // Adds a null source (a recording endpoint) with the description; returns its name.
    std::string addSource(const std::string& description) {
        const std::string name = "fenwix_source_" + std::to_string(++counter_);
        pactl({"load-module", "module-null-source", "source_name=" + name,
               "description=" + escaped(description)});
        return name;
    }

    void setDefaultSink(const std::string& name) { pactl({"set-default-sink", name}); }
    void setDefaultSource(const std::string& name) { pactl({"set-default-source", name}); }

    // Volume as a scalar: the average of the channels, 1.0 being the normal full level.
    double sinkVolume(const std::string& name) {
        const std::string text = pactl({"get-sink-volume", name});
        static const std::regex channel(R"(:\s*(\d+)\s*/)");
        double sum = 0;
        int count = 0;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), channel);
             it != std::sregex_iterator(); ++it) {
            sum += std::stod((*it)[1].str());
            ++count;
        }
        if (count == 0) {
            throw std::runtime_error("PulseDaemon: no volume in: " + text);
        }
        return sum / count / kNorm;
    }

    // Sets every channel to the scalar (rounded to the server's volume steps).
    void setSinkVolume(const std::string& name, double scalar) {
        pactl({"set-sink-volume", name, std::to_string(static_cast<long>(scalar * kNorm + 0.5))});
    }

    // Each channel's volume as a scalar, in the sink's channel order.
    std::vector<double> sinkChannelVolumes(const std::string& name) {
        const std::string text = pactl({"get-sink-volume", name});
        static const std::regex channel(R"(:\s*(\d+)\s*/)");
        std::vector<double> out;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), channel);
             it != std::sregex_iterator(); ++it) {
            out.push_back(std::stod((*it)[1].str()) / kNorm);
        }
        return out;
    }

    // Sets the channels one by one (a stereo sink: left, right).
    void setSinkChannelVolumes(const std::string& name, const std::vector<double>& scalars) {
        std::vector<std::string> args = {"set-sink-volume", name};
        for (const double s : scalars) {
            args.push_back(std::to_string(static_cast<long>(s * kNorm + 0.5)));
        }
        pactl(args);
    }

    bool sinkMuted(const std::string& name) {
        const std::string text = pactl({"get-sink-mute", name});
        if (text.find("yes") != std::string::npos) {
            return true;
        }
        if (text.find("no") != std::string::npos) {
            return false;
        }
        throw std::runtime_error("PulseDaemon: no mute state in: " + text);
    }

    void setSinkMute(const std::string& name, bool mute) {
        pactl({"set-sink-mute", name, mute ? "1" : "0"});
    }

    // Runs pactl against this daemon; its standard output. Throws when pactl fails.
    std::string pactl(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {"pactl"};
        argv.insert(argv.end(), args.begin(), args.end());
        int status = 0;
        std::string out = run(argv, &status);
        if (status != 0) {
            throw std::runtime_error("PulseDaemon: pactl failed: " + out + "\ndaemon log:\n" +
                                     log());
        }
        return out;
    }

    // The daemon's process, for tests that make it hang (SIGSTOP) or vanish.
    pid_t pid() const { return pid_; }

    // What the daemon wrote so far.
    std::string log() const { return readFile(dir_ + "/daemon.log"); }

    static constexpr double kNorm = 65536.0;  // the server's normal full volume

private:
    void start() {
        const std::vector<std::string> argv = {
            "pulseaudio",
            "--daemonize=no",
            "--exit-idle-time=-1",
            "-n",
            "--use-pid-file=no",
            "--system=no",
            "--realtime=no",
            "--high-priority=no",
            "--log-target=stderr",
            "--load=module-native-protocol-unix socket=" + socket_ + " auth-anonymous=1"};
        pid_ = ::fork();
        if (pid_ < 0) {
            throw std::runtime_error("PulseDaemon: fork failed");
        }
        if (pid_ == 0) {
            // Everything the daemon keeps goes to the temp folder, never to the caller's home.
            ::setenv("HOME", dir_.c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
            ::setenv("PULSE_RUNTIME_PATH", (dir_ + "/runtime").c_str(), 1);
            ::setenv("PULSE_STATE_PATH", (dir_ + "/state").c_str(), 1);
            ::unsetenv("PULSE_SERVER");
            exec(argv, dir_ + "/daemon.log");
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                throw std::runtime_error("PulseDaemon: pulseaudio ended at start:\n" + log());
            }
            if (std::filesystem::exists(socket_)) {
                int infoStatus = 0;
                run({"pactl", "info"}, &infoStatus);
                if (infoStatus == 0) {
                    return;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        stop();
        throw std::runtime_error("PulseDaemon: pulseaudio did not answer:\n" + log());
    }

    void stop() {
        if (pid_ <= 0) {
            return;
        }
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 300; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    // A module argument value with its blanks escaped. Quotes and backslashes are refused: the
    // two parsers the text goes through treat them differently.
    static std::string escaped(const std::string& text) {
        std::string out;
        for (char c : text) {
            if (c == '"' || c == '\\') {
                throw std::invalid_argument("PulseDaemon: no quotes or backslashes in: " + text);
            }
            if (c == ' ' || c == '\t' || c == '\'') {
                out += '\\';
            }
            out += c;
        }
        return out;
    }

    // The same as a property list value: in double quotes as well.
    static std::string quoted(const std::string& text) { return "\"" + escaped(text) + "\""; }

    [[noreturn]] static void exec(const std::vector<std::string>& argv, const std::string& out) {
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        if (std::freopen(out.c_str(), "a", stdout) == nullptr ||
            ::dup2(::fileno(stdout), STDERR_FILENO) < 0) {
            ::_exit(126);
        }
        ::execvp(args[0], args.data());
        ::_exit(127);
    }

    // Runs a program to its end; its output (stdout and stderr), its exit status in *status.
    std::string run(const std::vector<std::string>& argv, int* status) const {
        const std::string out = dir_ + "/run-" + std::to_string(::getpid()) + ".out";
        const pid_t pid = ::fork();
        if (pid < 0) {
            throw std::runtime_error("PulseDaemon: fork failed");
        }
        if (pid == 0) {
            std::remove(out.c_str());
            exec(argv, out);
        }
        int raw = 0;
        ::waitpid(pid, &raw, 0);
        *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        std::string text = readFile(out);
        std::remove(out.c_str());
        return text;
    }

    static std::string readFile(const std::string& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static void saveEnv(const char* name, std::optional<std::string>& saved) {
        if (const char* value = std::getenv(name)) {
            saved = value;
        }
    }

    static void restoreEnv(const char* name, const std::optional<std::string>& saved) {
        if (saved) {
            ::setenv(name, saved->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }

    std::string dir_;
    std::string socket_;
    pid_t pid_ = -1;
    int counter_ = 0;
    std::optional<std::string> savedServer_;
    std::optional<std::string> savedCookie_;
};

}  // namespace fenwixtest
