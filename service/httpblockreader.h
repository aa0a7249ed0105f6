// A GET whose reply body the caller pulls block by block, for a download that shows its
// progress and can be stopped between blocks. One reader carries one request, on the thread
// that calls it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class HttpBlockReader {
public:
    // Returned by read() when the stop flag fell while it waited for the network.
    static constexpr long long kStopped = -2;

    // `keepGoing`, if given, is watched while open() and read() wait for the network: once it
    // turns false they give up within a fraction of a second (open() false with stopped(),
    // read() kStopped) instead of waiting for a slow or stalled server.
    explicit HttpBlockReader(const std::atomic<bool>* keepGoing = nullptr);
    ~HttpBlockReader();
    HttpBlockReader(const HttpBlockReader&) = delete;
    HttpBlockReader& operator=(const HttpBlockReader&) = delete;

    // Sends the request (no body, redirects not followed) and waits for the reply's status
    // line and headers. False on a transfer failure before them (address that cannot be used,
    // connection refused, name not resolved, time-out); error() tells which.
    bool open(const std::string& url);

    // The reply's status code; 0 before a successful open().
    long status() const;

    // The body length the reply announces; 0 when it announces none.
    std::uint64_t announcedLength() const;

    // Fills `buffer` with up to `capacity` bytes of the body and returns how many. It returns
    // fewer than `capacity` only once the body has ended (0 when it already had). -1 on a
    // transfer failure: connection lost, a stall longer than the receive time-out, or a body
    // that ends before the length its reply announced.
    long long read(char* buffer, std::size_t capacity);

    // open() or read() gave up because the stop flag fell.
    bool stopped() const { return m_stopped; }

    // The failure code of the transfer (the HTTP stack's number), 0 while none occurred.
    int error() const;

    // Time-outs: connecting, and receiving with no byte arriving.
    static constexpr long kConnectTimeoutMs = 3000;
    static constexpr long kReceiveTimeoutSeconds = 2;

private:
    struct Transfer;
    bool stopRequested();

    const std::atomic<bool>* m_keepGoing;
    bool m_stopped = false;
    std::unique_ptr<Transfer> m_transfer;
};
