// A loopback HTTP server for the update window's tests: answers every request with one raw
// reply, then either closes the connection or holds it open (a server that stops sending), and
// counts the requests it read.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class UpdateTestServer {
public:
    // `hold`: keep each connection open after the reply instead of closing it.
    explicit UpdateTestServer(std::string reply, bool hold = false)
        : m_reply(std::move(reply)), m_hold(hold) {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        socklen_t length = sizeof(address);
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        ::listen(m_listen, 16);
        m_thread = std::thread([this] { serve(); });
    }

    ~UpdateTestServer() {
        m_stop = true;
        m_thread.join();
        for (int fd : m_held) {
            ::close(fd);
        }
        ::close(m_listen);
    }

    UpdateTestServer(const UpdateTestServer&) = delete;
    UpdateTestServer& operator=(const UpdateTestServer&) = delete;

    std::string url(const std::string& path = "/setup.bin") const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    int requests() const { return m_requests.load(); }

    static std::string okReply(const std::string& body) {
        return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }

    // A port nothing listens on.
    static int closedPort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        socklen_t length = sizeof(address);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        ::close(fd);
        return ntohs(address.sin_port);
    }

private:
    void serve() {
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                continue;
            }
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            std::string head;
            char buffer[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
                if (n <= 0) {
                    break;
                }
                head.append(buffer, static_cast<std::size_t>(n));
            }
            ++m_requests;
            std::size_t sent = 0;
            while (sent < m_reply.size()) {
                const ssize_t n =
                    ::send(fd, m_reply.data() + sent, m_reply.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) {
                    break;
                }
                sent += static_cast<std::size_t>(n);
            }
            if (m_hold) {
                m_held.push_back(fd);
            } else {
                ::close(fd);
            }
        }
    }

    std::string m_reply;
    bool m_hold;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::vector<int> m_held;
    std::thread m_thread;
};
