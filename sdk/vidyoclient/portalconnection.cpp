#include "sdk/vidyoclient/portalconnection.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "jsontext/jsontext.h"

namespace vidyoclient {

namespace {
constexpr size_t kMaxReply = size_t{4} * 1024 * 1024;
constexpr long kConnectTimeoutMs = 3000;

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

size_t collect(char* data, size_t size, size_t count, void* target) {
    auto* out = static_cast<std::string*>(target);
    const size_t n = size * count;
    if (out->size() + n > kMaxReply) {
        return 0;  // aborts the transfer: no reply of that size is a portal answer
    }
    out->append(data, n);
    return n;
}

int progress(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(cancel)->load() ? 1 : 0;
}

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}
}  // namespace

std::string jsonText(const Json::Value& value) {
    return jsontext::compactJson(value);
}

std::string PortalConnection::baseUrl(const std::string& portal) {
    std::string base = portal;
    if (base.find("://") == std::string::npos) {
        base = "http://" + base;
    }
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    return base;
}

PortalReply PortalConnection::call(const std::string& url, const Json::Value& body, long timeoutMs,
                                   const std::atomic<bool>& cancel) {
    initCurlOnce();
    PortalReply reply;
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        reply.outcome = PortalReply::Outcome::Unreachable;
        reply.detail = "no HTTP handle";
        return reply;
    }
    std::string received;
    const std::string text = body.isNull() ? std::string() : jsonText(body);
    std::unique_ptr<curl_slist, ListDeleter> headers(
        curl_slist_append(nullptr, "Content-Type: application/json"));
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, std::min(kConnectTimeoutMs, timeoutMs));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(&cancel));
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    if (!body.isNull()) {
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, text.c_str());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(text.size()));
    }
    const CURLcode code = curl_easy_perform(c);
    if (code != CURLE_OK) {
        reply.detail = curl_easy_strerror(code);
        reply.outcome = code == CURLE_ABORTED_BY_CALLBACK  ? PortalReply::Outcome::Cancelled
                        : code == CURLE_OPERATION_TIMEDOUT ? PortalReply::Outcome::Timeout
                        : code == CURLE_WRITE_ERROR        ? PortalReply::Outcome::BadReply
                                                           : PortalReply::Outcome::Unreachable;
        return reply;
    }
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    return readReply(status, received);
}

PortalReply PortalConnection::readReply(long status, const std::string& received) {
    PortalReply reply;
    reply.status = static_cast<int>(status);
    if (!jsontext::parseJson(received, reply.body) || !reply.body.isObject()) {
        reply.outcome = PortalReply::Outcome::BadReply;
        reply.detail =
            "HTTP " + std::to_string(status) + ", not a JSON object: " + received.substr(0, 120);
        reply.body = Json::Value();
    }
    return reply;
}

}  // namespace vidyoclient
