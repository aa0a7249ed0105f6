#pragma once
// Starts the real fenwix-sim on a free loopback port for a test and talks to its admin API.
// A test program that includes this links cpp-httplib and jsoncpp and defines
// FENWIX_SIM_EXECUTABLE (the path of the built fenwix-sim), see tests/integration/CMakeLists.txt.

#include <arpa/inet.h>
#include <httplib.h>
#include <json/json.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace fenwixtest {

inline std::string simJsonText(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

inline Json::Value simParseJson(const std::string& text) {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value out;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &out, &errors)) {
        throw std::runtime_error("not JSON: " + text.substr(0, 300));
    }
    return out;
}

// The value of one field of a recorded request's form, "<missing>" when it has none.
inline std::string simFormValue(const Json::Value& request, const std::string& name) {
    for (const Json::Value& pair : request["form"]) {
        if (pair["name"].asString() == name) {
            return pair["value"].asString();
        }
    }
    return "<missing>";
}

inline std::string simBase64Decode(const std::string& text) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned int buffer = 0;
    int bits = 0;
    for (char c : text) {
        const auto pos = alphabet.find(c);
        if (pos == std::string::npos) {
            continue;  // padding
        }
        buffer = (buffer << 6) | static_cast<unsigned int>(pos);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return out;
}

// A reply read off the wire.
struct RawReply {
    bool ok = false;  // false: no connection, or closed without any reply
    int status = 0;
    std::string head;
    std::string body;
};

// Sends bytes as they are on a new connection and reads until the peer closes it.
inline RawReply rawExchange(int port, const std::string& bytes, int timeoutMs = 10000) {
    RawReply reply;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return reply;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size())) {
        close(fd);
        return reply;
    }
    std::string all;
    char buffer[65536];
    ssize_t n = 0;
    while ((n = recv(fd, buffer, sizeof(buffer), 0)) > 0) {
        all.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    const size_t split = all.find("\r\n\r\n");
    if (all.compare(0, 9, "HTTP/1.1 ") != 0 || split == std::string::npos) {
        return reply;
    }
    reply.ok = true;
    reply.status = std::atoi(all.c_str() + 9);
    reply.head = all.substr(0, split);
    reply.body = all.substr(split + 4);
    return reply;
}

// A request framed the way the terminal's client frames it: the form-type header with three
// blanks after the colon and the form text followed by one zero byte, for GET as for POST.
inline RawReply terminalRequest(int port, const std::string& method, const std::string& target,
                                const std::string& form, int timeoutMs = 10000) {
    const std::string body = form + std::string(1, '\0');
    const std::string request = method + " " + target +
                                " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                "Content-Type:   application/x-www-form-urlencoded\r\n"
                                "Content-Length: " +
                                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
                                body;
    return rawExchange(port, request, timeoutMs);
}

class SimProcess {
public:
    // Extra arguments, e.g. {"--strict"} or {"--hold-ms", "3000"}.
    explicit SimProcess(std::vector<std::string> extraArgs = {},
                        std::string executable = defaultExecutable()) {
        char dirTemplate[] = "/tmp/fenwix-sim-test-XXXXXX";
        if (mkdtemp(dirTemplate) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        dir_ = dirTemplate;
        const std::string portFile = dir_ + "/port";
        logFile_ = dir_ + "/sim.log";
        std::vector<std::string> args = {executable, "--port", "0", "--port-file", portFile};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        pid_ = spawn(args, logFile_);
        port_ = waitForPortFile(portFile);
        if (port_ <= 0) {
            stop();
            throw std::runtime_error("fenwix-sim did not start; log:\n" + log());
        }
    }

    ~SimProcess() {
        stop();
        std::remove((dir_ + "/port").c_str());
        std::remove(logFile_.c_str());
        rmdir(dir_.c_str());
    }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    int port() const { return port_; }
    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
    pid_t pid() const { return pid_; }
    // What the sim wrote to stdout and stderr so far.
    std::string log() const {
        std::ifstream in(logFile_);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Ends the process (SIGTERM, then SIGKILL after 3 s); safe to call twice. True when it
    // ended by itself with exit status 0.
    bool stop() {
        if (pid_ <= 0) {
            return false;
        }
        kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 300; ++i) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) && WEXITSTATUS(status) == 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return false;
    }

    httplib::Client client(int timeoutSec = 10) const {
        httplib::Client c("127.0.0.1", port_);
        c.set_connection_timeout(3, 0);
        c.set_read_timeout(timeoutSec, 0);
        c.set_write_timeout(5, 0);
        return c;
    }

    // One admin call; the parsed JSON reply. Throws when the call or its reply fails.
    Json::Value admin(const std::string& method, const std::string& path,
                      const Json::Value& body = Json::Value()) const {
        auto c = client();
        const std::string text = body.isNull() ? std::string() : simJsonText(body);
        httplib::Result r = method == "GET"      ? c.Get(path.c_str())
                            : method == "DELETE" ? c.Delete(path.c_str())
                                                 : c.Post(path.c_str(), text, "application/json");
        if (!r) {
            throw std::runtime_error("admin " + method + " " + path + " failed");
        }
        Json::Value reply = simParseJson(r->body);
        if (r->status != 200) {
            throw std::runtime_error("admin " + method + " " + path + ": " + r->body);
        }
        return reply;
    }

    // Canned reply, see POST /admin/replies.
    void setReply(const Json::Value& spec) const { admin("POST", "/admin/replies", spec); }
    void clearReplies() const { admin("DELETE", "/admin/replies"); }
    // Recorded requests, all or those of one path.
    Json::Value requests(const std::string& path = "") const {
        return admin("GET",
                     path.empty() ? "/admin/requests" : "/admin/requests?path=" + path)["requests"];
    }
    void clearRequests() const { admin("DELETE", "/admin/requests"); }
    void down(int ms) const {
        Json::Value b;
        b["ms"] = ms;
        admin("POST", "/admin/down", b);
    }
    // Queues a push message for a push user id: {"type":..,"data":..}.
    void push(const std::string& userId, const Json::Value& message) const {
        Json::Value b = message;
        b["userId"] = userId;
        admin("POST", "/admin/push", b);
    }
    // Sets the reply envelope of a business path, see POST /admin/business.
    void setBusiness(const Json::Value& spec) const { admin("POST", "/admin/business", spec); }
    Json::Value deviations() const { return admin("GET", "/admin/strict")["deviations"]; }
    Json::Value device(const std::string& deviceKey) const {
        return admin("GET", "/admin/device?deviceKey=" + deviceKey)["device"];
    }
    void reset() const { admin("POST", "/admin/reset", Json::Value(Json::objectValue)); }

    // Polls the record until at least `count` requests to `path` arrived (or the time is up).
    Json::Value waitForRequests(const std::string& path, Json::ArrayIndex count,
                                int timeoutMs = 10000) const {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        Json::Value list = requests(path);
        while (list.size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            list = requests(path);
        }
        return list;
    }

    static std::string defaultExecutable() {
        if (const char* env = std::getenv("FENWIX_SIM")) {
            return env;
        }
#ifdef FENWIX_SIM_EXECUTABLE
        return FENWIX_SIM_EXECUTABLE;
#else
        return "fenwix-sim";
#endif
    }

private:
    static pid_t spawn(const std::vector<std::string>& args, const std::string& logFile) {
        std::vector<char*> argv;
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        const pid_t pid = fork();
        if (pid < 0) {
            throw std::runtime_error("fork failed");
        }
        if (pid == 0) {
            if (std::freopen(logFile.c_str(), "w", stdout) == nullptr ||
                dup2(fileno(stdout), STDERR_FILENO) < 0) {
                _exit(126);
            }
            execv(argv[0], argv.data());
            _exit(127);
        }
        return pid;
    }

    int waitForPortFile(const std::string& portFile) {
        for (int i = 0; i < 500; ++i) {
            std::ifstream in(portFile);
            int port = 0;
            if (in >> port && port > 0) {
                return port;
            }
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;  // already reaped
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

    std::string dir_;
    std::string logFile_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace fenwixtest
