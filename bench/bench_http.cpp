// Client cost of CHttpClient::post against a bare libcurl loop that keeps one easy handle, both
// against the same keep-alive HTTP server on loopback in the same run. Prints the client thread's
// CPU time per request, new TCP connections per 100 requests (counted by the server) and the
// ratio. Targets: at most 1.2x the bare loop's CPU per request, at most 1 new connection per 100.
#include <curl/curl.h>
#include <httplib.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "service/httpclient.h"

namespace {

constexpr int kRequestsPerRound = 1000;
constexpr int kRounds = 7;
constexpr const char* kPath = "/api/business/desktop/ping";
constexpr const char* kReply = R"({"message":"","payload":null,"success":true})";

// Counts distinct client sockets seen by the server: one per new TCP connection.
class LoopbackServer {
public:
    LoopbackServer() {
        m_server.set_keep_alive_max_count(1000000);
        // Long enough to span the other side's round; short, because stopping waits for it.
        m_server.set_keep_alive_timeout(3);
        m_server.set_tcp_nodelay(true);
        m_server.Post(kPath, [this](const httplib::Request& request, httplib::Response& response) {
            {
                std::lock_guard<std::mutex> lock(m_lock);
                m_clientPorts.insert(request.remote_port);
            }
            response.set_content(kReply, "application/json");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running()) {
            std::this_thread::yield();
        }
    }
    ~LoopbackServer() {
        m_server.stop();
        m_thread.join();
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + kPath; }

    std::size_t connectionsSoFar() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_clientPorts.size();
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    std::mutex m_lock;
    std::set<int> m_clientPorts;
};

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Round {
    double cpuPerRequestUs = 0;
    std::size_t newConnections = 0;
};

template <typename OneRequest>
Round measure(LoopbackServer& server, OneRequest request) {
    const std::size_t connectionsBefore = server.connectionsSoFar();
    const double start = threadCpuSeconds();
    for (int i = 0; i < kRequestsPerRound; ++i) {
        if (!request()) {
            std::fprintf(stderr, "request failed\n");
            std::exit(1);
        }
    }
    const double cpu = threadCpuSeconds() - start;
    return Round{cpu * 1e6 / kRequestsPerRound, server.connectionsSoFar() - connectionsBefore};
}

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// The peer: the least a libcurl user can do for the same exchange, one handle kept for the run.
class BareCurlLoop {
public:
    explicit BareCurlLoop(const std::string& url) : m_easy(curl_easy_init()) {
        m_headers = curl_slist_append(nullptr, "Content-Type:   application/x-www-form-urlencoded");
        m_headers = curl_slist_append(m_headers, "Accept:");
        curl_easy_setopt(m_easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_headers);
        curl_easy_setopt(m_easy, CURLOPT_POSTFIELDS, m_body);
        curl_easy_setopt(m_easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(sizeof(m_body)));
        curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &collect);
        curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, &m_reply);
    }
    ~BareCurlLoop() {
        curl_easy_cleanup(m_easy);
        curl_slist_free_all(m_headers);
    }
    BareCurlLoop(const BareCurlLoop&) = delete;
    BareCurlLoop& operator=(const BareCurlLoop&) = delete;

    bool operator()() {
        m_reply.clear();
        long status = 0;
        return curl_easy_perform(m_easy) == CURLE_OK &&
               curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
               status == 200;
    }

private:
    CURL* m_easy;
    curl_slist* m_headers = nullptr;
    const char m_body[4] = {'a', '=', '1', '\0'};
    std::string m_reply;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    curl_global_init(CURL_GLOBAL_ALL);
    LoopbackServer server;
    const std::string url = server.url();
    CHttpClient client;
    BareCurlLoop bare(url);
    auto viaClient = [&] {
        std::string reply;
        return client.post(url, "a=1", reply);
    };

    // The warm-up round opens each side's connection: its CPU time is left out, its new
    // connections are counted.
    std::size_t clientConnections = measure(server, viaClient).newConnections;
    std::size_t bareConnections = measure(server, [&] { return bare(); }).newConnections;

    std::vector<double> clientCpu;
    std::vector<double> bareCpu;
    for (int round = 0; round < kRounds; ++round) {
        const Round c = measure(server, viaClient);
        const Round b = measure(server, [&] { return bare(); });
        clientCpu.push_back(c.cpuPerRequestUs);
        bareCpu.push_back(b.cpuPerRequestUs);
        clientConnections += c.newConnections;
        bareConnections += b.newConnections;
    }
    const double total = static_cast<double>(kRounds + 1) * kRequestsPerRound;
    const double clientUs = median(clientCpu);
    const double bareUs = median(bareCpu);
    std::printf("%d rounds of %d POST requests, median client-thread CPU per request\n", kRounds,
                kRequestsPerRound);
    std::printf("%-22s %10s %26s\n", "", "CPU us/req", "new connections / 100 req");
    std::printf("%-22s %10.2f %26.2f\n", "CHttpClient::post", clientUs,
                100.0 * static_cast<double>(clientConnections) / total);
    std::printf("%-22s %10.2f %26.2f\n", "bare libcurl loop", bareUs,
                100.0 * static_cast<double>(bareConnections) / total);
    std::printf("CPU ratio CHttpClient/bare: %.2fx (target <= 1.2x)\n", clientUs / bareUs);
    return 0;
}
