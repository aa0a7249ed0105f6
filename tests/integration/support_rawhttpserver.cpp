#include "support/rawhttpserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool sendAll(int fd, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void parseHead(const std::string& head, CapturedRequest& request) {
    std::size_t start = 0;
    bool first = true;
    while (start < head.size()) {
        std::size_t end = head.find("\r\n", start);
        if (end == std::string::npos) {
            end = head.size();
        }
        const std::string line = head.substr(start, end - start);
        start = end + 2;
        if (first) {
            request.requestLine = line;
            first = false;
            continue;
        }
        request.headerLines.push_back(line);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            const std::size_t value = line.find_first_not_of(' ', colon + 1);
            request.headers[lower(line.substr(0, colon))] =
                value == std::string::npos ? std::string() : line.substr(value);
        }
    }
}

bool closesConnection(const std::string& reply) {
    return lower(reply.substr(0, reply.find("\r\n\r\n"))).find("connection: close") !=
           std::string::npos;
}

}  // namespace

std::string RawHttpServer::okReply(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

RawHttpServer::RawHttpServer(std::string reply) : m_reply(std::move(reply)) {
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (m_listenFd < 0 ||
        ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_listenFd, 64) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (m_listenFd >= 0) {
            ::close(m_listenFd);
        }
        throw std::runtime_error("raw http server: cannot listen on loopback");
    }
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

RawHttpServer::~RawHttpServer() {
    m_stopping = true;
    ::shutdown(m_listenFd, SHUT_RDWR);
    m_acceptor.join();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (int fd : m_openFds) {
            ::shutdown(fd, SHUT_RDWR);
        }
    }
    for (std::thread& connection : m_connections) {
        connection.join();
    }
    ::close(m_listenFd);
}

std::string RawHttpServer::baseUrl() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

void RawHttpServer::setReply(std::string reply) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_reply = std::move(reply);
}

std::vector<CapturedRequest> RawHttpServer::requests() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_requests;
}

bool RawHttpServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

void RawHttpServer::acceptLoop() {
    while (!m_stopping) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (m_stopping) {
                return;
            }
            continue;
        }
        ++m_accepted;
        std::lock_guard<std::mutex> lock(m_lock);
        m_openFds.push_back(fd);
        m_connections.emplace_back([this, fd] { serve(fd); });
    }
}

void RawHttpServer::serve(int fd) {
    std::string pending;
    CapturedRequest request;
    while (!m_stopping && readRequest(fd, pending, request)) {
        std::string reply;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_requests.push_back(request);
            reply = m_reply;
        }
        m_changed.notify_all();
        if (!sendAll(fd, reply) || closesConnection(reply) || m_closeSilently) {
            break;
        }
        request = CapturedRequest{};
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_openFds.erase(std::remove(m_openFds.begin(), m_openFds.end(), fd), m_openFds.end());
    ::close(fd);
}

bool RawHttpServer::readRequest(int fd, std::string& pending, CapturedRequest& request) {
    char buffer[4096];
    std::size_t headEnd = std::string::npos;
    std::size_t bodyLength = 0;
    for (;;) {
        if (headEnd == std::string::npos) {
            headEnd = pending.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                parseHead(pending.substr(0, headEnd), request);
                const auto it = request.headers.find("content-length");
                bodyLength = it == request.headers.end() ? 0 : std::stoul(it->second);
            }
        }
        if (headEnd != std::string::npos && pending.size() >= headEnd + 4 + bodyLength) {
            request.body = pending.substr(headEnd + 4, bodyLength);
            pending.erase(0, headEnd + 4 + bodyLength);
            return true;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0) {
            return false;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
    }
}
