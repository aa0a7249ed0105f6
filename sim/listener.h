#pragma once

#include "sim/simcore.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace fenwixsim {

// Owns the loopback listening socket and the HTTP worker pool. Going down closes the listener
// (new connections are refused) and opens a fresh one on the same port afterwards.
class Listener {
public:
    // Workers: held long polls each occupy one, so there must be room for many terminals.
    static constexpr int kWorkerThreads = 256;

    explicit Listener(SimCore& core, std::string host = "127.0.0.1");
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Binds (port 0 = any free port) and starts serving; false when the port cannot be bound.
    bool start(int port);
    int port() const { return port_; }

    // Refuses connections for `ms` milliseconds, then listens again on the same port.
    void goDown(int ms);
    bool isDown() const;
    // Called right after the listener closed for a down period (e.g. to release long polls).
    void setOnDown(std::function<void()> onDown) { onDown_ = std::move(onDown); }

    // Stops serving for good; wait() returns afterwards.
    void stop();
    void wait();
    // Stops and waits for every worker to finish its request (handlers may still be running
    // until then, so call this before the handlers' owners go away).
    void join();

private:
    struct Cycle {
        std::unique_ptr<httplib::Server> server;
        std::thread thread;
    };

    std::unique_ptr<httplib::Server> makeServer();
    bool open(int port);  // requires mutex_ held
    void reopenLater();
    void reapFinished();

    SimCore& core_;
    std::string host_;
    int port_ = 0;
    std::function<void()> onDown_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    httplib::Server* current_ = nullptr;
    std::list<Cycle> cycles_;
    std::thread reopener_;
    std::chrono::steady_clock::time_point downUntil_{};
    bool down_ = false;
    bool stopped_ = false;
};

}  // namespace fenwixsim
