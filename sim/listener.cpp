#include "sim/listener.h"

#include "sim/connectionkill.h"

#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <iostream>

namespace fenwixsim {

namespace {
SimRequest toSimRequest(const httplib::Request& req) {
    SimRequest request;
    request.method = req.method;
    request.version = req.version;
    std::string rawPath;
    splitTarget(req.target, rawPath, request.query);
    request.path = req.path;
    for (const auto& h : req.headers) {
        if (h.first == "REMOTE_ADDR" || h.first == "REMOTE_PORT" || h.first == "LOCAL_ADDR" ||
            h.first == "LOCAL_PORT") {
            continue;  // added by the HTTP library, not sent by the peer
        }
        request.headers.emplace_back(h.first, h.second);
    }
    request.body = req.body;
    return request;
}

void writeReply(const httplib::Request& req, const SimReply& reply, httplib::Response& res) {
    if (reply.closeWithoutReply) {
        shutDownConnection(req.local_port, req.remote_port);
        return;
    }
    res.status = reply.status;
    for (const auto& h : reply.headers) {
        res.set_header(h.first.c_str(), h.second);
    }
    res.set_content(reply.body, reply.contentType.c_str());
    // The library leaves a GET's body unread; a kept-alive connection would then read those
    // bytes as the start of the next request.
    if (req.method != "POST" && req.method != "PUT" && req.method != "PATCH" &&
        req.method != "DELETE" && req.get_header_value("Content-Length") != "" &&
        req.get_header_value("Content-Length") != "0") {
        res.set_header("Connection", "close");
    }
}

// The library listens with a backlog of 5: a burst of terminals connecting at once would see
// dropped handshakes and retries seconds later. listen() again on the bound socket raises it.
class WideBacklogServer : public httplib::Server {
public:
    void widenBacklog() {
        const socket_t sock = svr_sock_;
        if (sock != INVALID_SOCKET) {
            ::listen(sock, kBacklog);
        }
    }

private:
    static constexpr int kBacklog = 1024;
};

// Plain SO_REUSEADDR: rebinding after a down period works while old connections linger, and two
// sims can never share one port by accident.
void reuseAddress(socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
}
}  // namespace

Listener::Listener(SimCore& core, std::string host) : core_(core), host_(std::move(host)) {}

Listener::~Listener() {
    join();
}

void Listener::join() {
    stop();
    if (reopener_.joinable()) {
        reopener_.join();
    }
    std::list<Cycle> cycles;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cycles.swap(cycles_);
    }
    for (auto& c : cycles) {
        if (c.thread.joinable()) {
            c.thread.join();
        }
    }
}

std::unique_ptr<httplib::Server> Listener::makeServer() {
    auto server = std::make_unique<WideBacklogServer>();
    server->new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    server->set_socket_options(reuseAddress);
    // The terminal sends every 2 to 3 seconds on each of its connections: a longer idle time and
    // no small cap on requests per connection let it keep them instead of reconnecting each time.
    // Without TCP_NODELAY every small reply waits for the peer's delayed acknowledgement.
    server->set_keep_alive_timeout(5);
    server->set_keep_alive_max_count(100000);
    server->set_tcp_nodelay(true);
    // Far above anything the terminal sends; a runaway client gets 413 instead of eating memory.
    server->set_payload_max_length(size_t{64} * 1024 * 1024);
    auto handler = [this](const httplib::Request& req, httplib::Response& res) {
        writeReply(req, core_.handle(toSimRequest(req)), res);
    };
    server->Get(".*", handler);
    server->Post(".*", handler);
    server->Put(".*", handler);
    server->Delete(".*", handler);
    server->Patch(".*", handler);
    server->Options(".*", handler);
    return server;
}

bool Listener::open(int port) {
    auto server = makeServer();
    if (port == 0) {
        const int bound = server->bind_to_any_port(host_);
        if (bound <= 0) {
            return false;
        }
        port_ = bound;
    } else if (!server->bind_to_port(host_, port)) {
        return false;
    } else {
        port_ = port;
    }
    static_cast<WideBacklogServer*>(server.get())->widenBacklog();
    cycles_.emplace_back();
    Cycle& cycle = cycles_.back();
    cycle.server = std::move(server);
    current_ = cycle.server.get();
    cycle.thread = std::thread([s = current_] { s->listen_after_bind(); });
    // stop() only acts on a running server: wait until it runs, so a down right after a start
    // cannot be lost.
    for (int i = 0; i < 2000 && !current_->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool Listener::start(int port) {
    std::lock_guard<std::mutex> lock(mutex_);
    return open(port);
}

void Listener::goDown(int ms) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopped_) {
            return;
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        if (down_) {
            downUntil_ = std::max(downUntil_, until);
            changed_.notify_all();
            return;
        }
        down_ = true;
        downUntil_ = until;
        if (current_ != nullptr) {
            current_->stop();
            current_ = nullptr;
        }
        if (reopener_.joinable()) {
            reopener_.join();  // the previous down period is over; its thread has finished
        }
        reopener_ = std::thread([this] { reopenLater(); });
    }
    if (onDown_) {
        onDown_();
    }
}

bool Listener::isDown() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return down_;
}

void Listener::reopenLater() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopped_ && std::chrono::steady_clock::now() < downUntil_) {
        changed_.wait_until(lock, downUntil_);
    }
    reapFinished();
    // A lingering socket can hold the port for a moment; keep trying for a while.
    for (int attempt = 0; !stopped_ && attempt < 100; ++attempt) {
        if (open(port_)) {
            down_ = false;
            return;
        }
        changed_.wait_for(lock, std::chrono::milliseconds(50));
    }
    if (!stopped_) {
        std::cerr << "fenwix-sim: could not listen again on port " << port_ << std::endl;
        stopped_ = true;
        changed_.notify_all();
    }
}

void Listener::reapFinished() {
    for (auto it = cycles_.begin(); it != cycles_.end();) {
        if (it->server.get() != current_ && !it->server->is_running() && it->thread.joinable()) {
            it->thread.join();
            it = cycles_.erase(it);
        } else {
            ++it;
        }
    }
}

void Listener::stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    if (current_ != nullptr) {
        current_->stop();
        current_ = nullptr;
    }
    changed_.notify_all();
}

void Listener::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return stopped_; });
}

}  // namespace fenwixsim
