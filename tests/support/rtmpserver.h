// A private RTMP receiver for one test: Debian's nginx with its RTMP module, listening on a free
// loopback port, recording every stream it receives as .flv files.
//
//     fenwixtest::RtmpServer rtmp;                   // starts it
//     push to rtmp.url("stream1")                    // rtmp://127.0.0.1:<port>/live/stream1
//     rtmp.waitForBytes("stream1", 100000, 10s);    // recorded so far, over every connection
//     rtmp.recordings("stream1")                     // the .flv files, oldest first
//     rtmp.restart();                                // same port, same record folder
//
// The server gets its own config, pid file, error log and record folder in a temp folder, loads
// the module from the system's module folder and runs in the foreground as a child of the test,
// so nothing outside the temp folder is touched and only this server is ever stopped. Each
// connection of a publisher makes a new recording (the name carries the time it started), so a
// restart leaves the earlier recording complete beside the new one (connections within the same
// second go on in one file). Failures to start throw
// std::runtime_error with the server's error log.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace fenwixtest {

class RtmpServer {
public:
    // The application name in every URL of this server.
    static constexpr const char* kApplication = "live";

    RtmpServer() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fenwix-rtmp-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("RtmpServer: mkdtemp failed");
        }
        dir_ = pattern;
        std::filesystem::create_directories(recordFolder());
        // The worker process writes the recordings; as root it runs as root (see the config),
        // otherwise as this user, who owns the folder.
        std::filesystem::permissions(recordFolder(), std::filesystem::perms::all);
        start();
    }

    ~RtmpServer() {
        stop();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    RtmpServer(const RtmpServer&) = delete;
    RtmpServer& operator=(const RtmpServer&) = delete;

    int port() const { return port_; }
    bool running() const { return pid_ > 0; }

    // The address to publish (or play) a stream at.
    std::string url(const std::string& stream) const {
        return "rtmp://127.0.0.1:" + std::to_string(port_) + "/" + kApplication + "/" + stream;
    }

    // Ends the server (its connections drop at once).
    void stop() {
        if (pid_ <= 0) {
            return;
        }
        ::kill(pid_, SIGTERM);
        if (!waitEnd(std::chrono::seconds(5))) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

    // Starts it again on the same port with the same record folder. Throws when the port is
    // taken meanwhile or the server does not come up.
    void restart() {
        stop();
        launch();
    }

    std::string recordFolder() const { return dir_ + "/record"; }

    // The recordings of a stream (empty: of every stream), oldest first.
    std::vector<std::string> recordings(const std::string& stream = "") const {
        std::vector<std::filesystem::path> files;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(recordFolder(), error)) {
            const std::string name = entry.path().filename().string();
            if (entry.path().extension() == ".flv" &&
                (stream.empty() || name.rfind(stream + "-", 0) == 0 || name == stream + ".flv")) {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());  // the names end in the start time
        std::vector<std::string> out;
        for (const auto& f : files) {
            out.push_back(f.string());
        }
        return out;
    }

    // Total bytes recorded for a stream (empty: every stream) so far.
    std::uintmax_t recordedBytes(const std::string& stream = "") const {
        std::uintmax_t total = 0;
        for (const auto& file : recordings(stream)) {
            std::error_code error;
            const auto size = std::filesystem::file_size(file, error);
            total += error ? 0 : size;
        }
        return total;
    }

    // Waits until the stream's recordings hold more than `bytes` bytes beyond `after`; true
    // when they did before the deadline.
    bool waitForBytes(const std::string& stream, std::uintmax_t bytes,
                      std::chrono::milliseconds timeout, std::uintmax_t after = 0) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (recordedBytes(stream) > after + bytes) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // What the server wrote to its error log so far.
    std::string log() const { return readFile(dir_ + "/error.log"); }

private:
    void start() {
        // A free port found by the kernel may be taken by someone else before nginx binds it:
        // try a few.
        for (int attempt = 0; attempt < 5; ++attempt) {
            port_ = freePort();
            try {
                launch();
                return;
            } catch (const std::runtime_error&) {
                if (attempt == 4) {
                    throw;
                }
            }
        }
    }

    void launch() {
        writeConfig();
        pid_ = ::fork();
        if (pid_ < 0) {
            throw std::runtime_error("RtmpServer: fork failed");
        }
        if (pid_ == 0) {
            const std::string out = dir_ + "/stdout.log";
            if (std::freopen(out.c_str(), "a", stdout) == nullptr ||
                ::dup2(::fileno(stdout), STDERR_FILENO) < 0) {
                ::_exit(126);
            }
            const std::string conf = dir_ + "/nginx.conf";
            const std::string errorLog = dir_ + "/error.log";
            const std::string prefix = dir_ + "/";
            ::execlp("nginx", "nginx", "-p", prefix.c_str(), "-c", conf.c_str(), "-e",
                     errorLog.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                throw std::runtime_error("RtmpServer: nginx ended at start:\n" + log() +
                                         readFile(dir_ + "/stdout.log"));
            }
            if (accepts()) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        stop();
        throw std::runtime_error("RtmpServer: nginx did not listen on " + std::to_string(port_) +
                                 ":\n" + log());
    }

    static std::string modulePath() {
        for (const char* path : {"/usr/lib/nginx/modules/ngx_rtmp_module.so",
                                 "/usr/share/nginx/modules/ngx_rtmp_module.so"}) {
            if (std::filesystem::exists(path)) {
                return path;
            }
        }
        throw std::runtime_error("RtmpServer: the nginx RTMP module is not installed");
    }

    void writeConfig() const {
        std::ofstream conf(dir_ + "/nginx.conf", std::ios::trunc);
        conf << "daemon off;\n"
             << "master_process on;\n"
             << "worker_processes 1;\n"
             << (::geteuid() == 0 ? "user root;\n" : "") << "pid " << dir_ << "/nginx.pid;\n"
             << "error_log " << dir_ << "/error.log info;\n"
             << "load_module " << modulePath() << ";\n"
             << "events { worker_connections 64; }\n"
             << "rtmp {\n"
             << "  server {\n"
             << "    listen 127.0.0.1:" << port_ << ";\n"
             << "    application " << kApplication << " {\n"
             << "      live on;\n"
             << "      record all;\n"
             << "      record_path " << recordFolder() << ";\n"
             << "      record_unique on;\n"
             // Two connections within one second share a name: the later one is appended
             // instead of overwriting the earlier one.
             << "      record_append on;\n"
             << "    }\n"
             << "  }\n"
             << "}\n";
    }

    bool accepts() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return false;
        }
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port_));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
        ::close(fd);
        return ok;
    }

    bool waitEnd(std::chrono::seconds timeout) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

public:
    // A loopback port nothing listens on right now.
    static int freePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(addr);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            if (fd >= 0) {
                ::close(fd);
            }
            throw std::runtime_error("RtmpServer: no free loopback port");
        }
        ::close(fd);
        return ntohs(addr.sin_port);
    }

private:
    static std::string readFile(const std::string& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string dir_;
    int port_ = 0;
    pid_t pid_ = -1;
};

// A loopback address where nothing listens: a publisher's connection is refused.
inline std::string refusingRtmpUrl(const std::string& stream) {
    return "rtmp://127.0.0.1:" + std::to_string(RtmpServer::freePort()) + "/live/" + stream;
}

}  // namespace fenwixtest
