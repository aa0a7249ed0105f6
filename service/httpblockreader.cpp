#include "service/httpblockreader.h"

#include <curl/curl.h>

#include <algorithm>
#include <optional>

#include "service/httpsession.h"

namespace {

constexpr const char* kUserAgent = "FenwixStuDesktop";
// How long one wait for network activity lasts before the transfer is driven again.
constexpr int kPollSliceMs = 100;
// A stall is fewer than this many bytes per second for the receive time-out.
constexpr long kStallBytesPerSecond = 1;

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

std::optional<std::string> urlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) {
        return std::nullopt;
    }
    std::string value(text);
    curl_free(text);
    return value;
}

}  // namespace

struct HttpBlockReader::Transfer {
    UrlHandle url;
    MultiHandle multi;
    HttpSession::Easy easy;
    bool attached = false;
    bool headDone = false;
    bool finished = false;
    CURLcode result = CURLE_OK;
    long status = 0;
    std::uint64_t length = 0;
    std::string pending;  // body bytes received and not yet read

    ~Transfer() {
        if (attached) {
            curl_multi_remove_handle(multi.get(), easy.get());
        }
    }

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
        auto& self = *static_cast<Transfer*>(user);
        const std::size_t length = size * count;
        const bool blankLine =
            (length == 2 && data[0] == '\r' && data[1] == '\n') || (length == 1 && data[0] == '\n');
        if (blankLine) {
            long code = 0;
            curl_easy_getinfo(self.easy.get(), CURLINFO_RESPONSE_CODE, &code);
            // An interim 1xx head is followed by the real one.
            if (code >= 200) {
                self.headDone = true;
            }
        }
        return length;
    }

    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
        auto& self = *static_cast<Transfer*>(user);
        self.pending.append(data, size * count);
        return size * count;
    }

    bool prepare() {
        CURL* handle = easy.get();
        bool ok = curl_easy_setopt(handle, CURLOPT_CURLU, url.get()) == CURLE_OK;
        ok = ok && curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
        ok = ok && curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
        ok = ok && curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, long{CURL_HTTP_VERSION_1_1}) ==
                       CURLE_OK;
        ok = ok && curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L) == CURLE_OK;
        ok = ok && curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK;
        ok = ok && curl_easy_setopt(handle, CURLOPT_USERAGENT, kUserAgent) == CURLE_OK;
        ok = ok && curl_easy_setopt(handle, CURLOPT_HTTPHEADER,
                                    HttpSession::instance().formHeaders()) == CURLE_OK;
        ok = ok && curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                                    HttpBlockReader::kConnectTimeoutMs) == CURLE_OK;
        ok = ok &&
             curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond) == CURLE_OK;
        ok = ok && curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME,
                                    HttpBlockReader::kReceiveTimeoutSeconds) == CURLE_OK;
        ok =
            ok && curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &Transfer::onHeader) == CURLE_OK;
        ok = ok && curl_easy_setopt(handle, CURLOPT_HEADERDATA, this) == CURLE_OK;
        ok = ok && curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Transfer::onBody) == CURLE_OK;
        ok = ok && curl_easy_setopt(handle, CURLOPT_WRITEDATA, this) == CURLE_OK;
        return ok;
    }

    void finish(CURLcode code) {
        finished = true;
        result = code;
    }

    // Moves the transfer on as far as the network allows right now, then waits a short while
    // for more unless `enough` already holds.
    template <typename Enough>
    void drive(const Enough& enough) {
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            finish(CURLE_RECV_ERROR);
            return;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
            if (message->msg == CURLMSG_DONE) {
                finish(message->data.result);
            }
        }
        if (!finished && running == 0) {
            finish(CURLE_RECV_ERROR);  // ended without saying how: never taken as complete
        }
        if (!finished && !enough()) {
            curl_multi_poll(multi.get(), nullptr, 0, kPollSliceMs, nullptr);
        }
    }

    void readHead() {
        long code = 0;
        curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &code);
        status = code;
        curl_off_t announced = -1;
        curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
        length = announced > 0 ? static_cast<std::uint64_t>(announced) : 0;
    }
};

HttpBlockReader::HttpBlockReader(const std::atomic<bool>* keepGoing) : m_keepGoing(keepGoing) {}

bool HttpBlockReader::stopRequested() {
    if (m_keepGoing != nullptr && !m_keepGoing->load()) {
        m_stopped = true;
    }
    return m_stopped;
}

HttpBlockReader::~HttpBlockReader() = default;

bool HttpBlockReader::open(const std::string& url) {
    m_transfer = std::make_unique<Transfer>();
    Transfer& t = *m_transfer;
    t.url.reset(curl_url());
    if (!t.url || curl_url_set(t.url.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        t.finish(CURLE_URL_MALFORMAT);
        return false;
    }
    const auto scheme = urlPart(t.url.get(), CURLUPART_SCHEME);
    const auto host = urlPart(t.url.get(), CURLUPART_HOST);
    const auto port = urlPart(t.url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (!scheme || !host || !port || host->empty()) {
        t.finish(CURLE_URL_MALFORMAT);
        return false;
    }
    t.easy = HttpSession::instance().acquire(*scheme + "://" + *host + ":" + *port);
    t.multi.reset(curl_multi_init());
    if (!t.easy || !t.multi || !t.prepare()) {
        t.finish(CURLE_FAILED_INIT);
        return false;
    }
    if (curl_multi_add_handle(t.multi.get(), t.easy.get()) != CURLM_OK) {
        t.finish(CURLE_FAILED_INIT);
        return false;
    }
    t.attached = true;
    while (!t.headDone && !t.finished) {
        if (stopRequested()) {
            return false;
        }
        t.drive([&t] { return t.headDone; });
    }
    if (!t.headDone) {
        if (t.result == CURLE_OK) {
            t.finish(CURLE_RECV_ERROR);
        }
        return false;
    }
    t.readHead();
    return true;
}

long HttpBlockReader::status() const {
    return m_transfer ? m_transfer->status : 0;
}

std::uint64_t HttpBlockReader::announcedLength() const {
    return m_transfer ? m_transfer->length : 0;
}

long long HttpBlockReader::read(char* buffer, std::size_t capacity) {
    if (!m_transfer || !m_transfer->headDone) {
        return -1;
    }
    Transfer& t = *m_transfer;
    while (t.pending.size() < capacity && !t.finished) {
        if (stopRequested()) {
            return kStopped;
        }
        t.drive([&t, capacity] { return t.pending.size() >= capacity; });
    }
    if (t.pending.size() < capacity && t.result != CURLE_OK) {
        return -1;
    }
    const std::size_t taken = std::min(capacity, t.pending.size());
    std::copy_n(t.pending.data(), taken, buffer);
    t.pending.erase(0, taken);
    return static_cast<long long>(taken);
}

int HttpBlockReader::error() const {
    return m_transfer ? static_cast<int>(m_transfer->result) : 0;
}
