// A minimal HTTP/1.1 server on a loopback port for tests that must see exactly what a client
// sends: it records each request's head and Content-Length body byte for byte (a GET's body
// included) and answers every request with one canned raw reply. Keep-alive connections are
// served until the client closes them; accepted connections are counted.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct CapturedRequest {
    std::string requestLine;                     // "POST /x HTTP/1.1"
    std::vector<std::string> headerLines;        // as sent, without CR LF
    std::map<std::string, std::string> headers;  // lower-case name -> value without leading blanks
    std::string body;                            // exactly Content-Length bytes
};

class RawHttpServer {
public:
    static std::string okReply(const std::string& body);

    explicit RawHttpServer(std::string reply = okReply("ok"));
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    int port() const { return m_port; }
    std::string baseUrl() const;

    void setReply(std::string reply);
    // Drop each connection right after its reply without saying so, as a server does when an
    // idle keep-alive connection times out.
    void setCloseSilently(bool close) { m_closeSilently = close; }
    std::vector<CapturedRequest> requests() const;
    int connectionsAccepted() const { return m_accepted.load(); }
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    void acceptLoop();
    void serve(int fd);
    bool readRequest(int fd, std::string& pending, CapturedRequest& request);

    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_accepted{0};
    std::atomic<bool> m_closeSilently{false};
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::string m_reply;
    std::vector<CapturedRequest> m_requests;
    std::vector<int> m_openFds;
    std::vector<std::thread> m_connections;
    std::thread m_acceptor;
};
