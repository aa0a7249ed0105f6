#include "service/httptransfer.h"

#include <curl/curl.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <system_error>

#include "logging/log4z.h"
#include "platform/process.h"
#include "platform/textcodec.h"
#include "service/commonutil.h"
#include "service/httpclient.h"
#include "service/httpsession.h"

namespace {

constexpr const char* kUserAgent = "FenwixStuDesktop";

// Time-outs. The connect bound covers one connection attempt per address; a stall of more than
// the send/receive bound with no byte moving in either direction ends the transfer (libcurl's
// low-speed check: under 1 byte/s for 3 s).
constexpr long kConnectTimeoutMs = 3000;
constexpr long kStallLimitBytesPerSecond = 1;
constexpr long kStallTimeSeconds = 3;

// Largest reply body that is accepted; one byte more is an error, never a truncated reply.
constexpr std::size_t kMaxReplyBytes = 63487;
// How much of a non-200 reply is read (and dropped) so its connection can be reused.
constexpr std::size_t kMaxDiscardBytes = 65536;

constexpr long kStatusOk = 200;

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

struct ParsedUrl {
    UrlHandle handle;
    std::string origin;  // "scheme://host:port", which picks a handle with a matching connection
};

std::optional<std::string> urlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) {
        return std::nullopt;
    }
    std::string value(text);
    curl_free(text);
    return value;
}

std::optional<ParsedUrl> parseUrl(const std::string& url) {
    UrlHandle handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return std::nullopt;
    }
    auto scheme = urlPart(handle.get(), CURLUPART_SCHEME);
    auto host = urlPart(handle.get(), CURLUPART_HOST);
    auto port = urlPart(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (!scheme || !host || !port || host->empty() || (*scheme != "http" && *scheme != "https")) {
        return std::nullopt;
    }
    return ParsedUrl{std::move(handle), *scheme + "://" + *host + ":" + *port};
}

void setNetOk(bool ok) {
    CComConfig::getInstance()->setNetOk(ok);
}

long responseStatus(CURL* easy) {
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

// Options every exchange shares; false if libcurl refuses one of them.
bool setCommonOptions(CURL* easy, const ParsedUrl& url, const curl_slist* headers) {
    bool ok = curl_easy_setopt(easy, CURLOPT_CURLU, url.handle.get()) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok =
        ok && curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long{CURL_HTTP_VERSION_1_1}) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs) == CURLE_OK;
    // The connect bound covers the name lookup, but without this libcurl still waits for a
    // timed-out lookup to come back (up to the system resolver's own time-outs) before it
    // returns: a backend whose name server does not answer would stall every request, and the
    // shutdown behind them, well past the bound.
    ok = ok && curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L) == CURLE_OK;
    ok = ok &&
         curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, kStallLimitBytesPerSecond) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kStallTimeSeconds) == CURLE_OK;
    return ok;
}

// ---- requests ----

struct ReplyCollector {
    CURL* easy = nullptr;
    std::optional<long> status;
    std::string body;
    std::size_t discarded = 0;
    bool tooLong = false;
};

std::size_t collectReply(char* data, std::size_t size, std::size_t count, void* user) {
    auto& collector = *static_cast<ReplyCollector*>(user);
    const std::size_t length = size * count;
    if (!collector.status) {
        collector.status = responseStatus(collector.easy);
    }
    if (*collector.status != kStatusOk) {
        collector.discarded += length;
        return collector.discarded > kMaxDiscardBytes ? 0 : length;
    }
    if (collector.body.size() + length > kMaxReplyBytes) {
        collector.tooLong = true;
        return 0;
    }
    collector.body.append(data, length);
    return length;
}

bool setRequestOptions(CURL* easy, const ParsedUrl& url, bool isGet, const std::string& body,
                       ReplyCollector& collector) {
    bool ok = setCommonOptions(easy, url, HttpSession::instance().formHeaders());
    // Both verbs carry the form body; libcurl sends it with GET when the verb is overridden.
    ok = ok &&
         curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size())) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data()) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, isGet ? "GET" : nullptr) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &collectReply) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_WRITEDATA, &collector) == CURLE_OK;
    return ok;
}

bool finishRequest(CURLcode code, long status, ReplyCollector& collector, int type,
                   std::string& reply) {
    if (collector.tooLong) {
        setNetOk(true);
        LOGI("http返回数据过长: " << status << " requestType:" << type);
        return false;
    }
    if (status != 0 && status != kStatusOk) {
        setNetOk(false);
        LOGI("http请求异常: " << status << " requestType:" << type);
        return false;
    }
    if (code != CURLE_OK || status != kStatusOk) {
        setNetOk(false);
        LOGE("http CInternetException " << static_cast<int>(code));
        return false;
    }
    setNetOk(true);
    reply = fenwix::platform::utf8ToLocal(collector.body);
    return true;
}

// ---- downloads ----

struct FileWriter {
    CURL* easy = nullptr;
    std::string tempPath;
    std::ofstream file;
    std::optional<long> status;
    std::size_t discarded = 0;
    bool opened = false;
    bool failed = false;

    bool open() {
        file.open(tempPath, std::ios::binary | std::ios::trunc);
        opened = file.is_open();
        failed = !opened;
        return opened;
    }
};

std::size_t writeDownload(char* data, std::size_t size, std::size_t count, void* user) {
    auto& writer = *static_cast<FileWriter*>(user);
    const std::size_t length = size * count;
    if (!writer.status) {
        writer.status = responseStatus(writer.easy);
    }
    if (*writer.status != kStatusOk) {
        writer.discarded += length;
        return writer.discarded > kMaxDiscardBytes ? 0 : length;
    }
    if (!writer.opened && !writer.open()) {
        return 0;
    }
    writer.file.write(data, static_cast<std::streamsize>(length));
    if (!writer.file) {
        writer.failed = true;
        return 0;
    }
    return length;
}

// A sibling of the target, so the final rename stays on one file system.
std::string temporarySibling(const std::string& path) {
    static std::atomic<unsigned> sequence{0};
    return path + ".part" + std::to_string(fenwix::platform::currentProcessId()) + "-" +
           std::to_string(sequence.fetch_add(1));
}

bool commitDownload(FileWriter& writer, const std::string& path) {
    if (!writer.opened && !writer.open()) {
        LOGE("下载文件创建失败: " << path);
        return false;
    }
    writer.file.close();
    if (writer.file.fail()) {
        LOGE("下载文件写入失败: " << path);
        return false;
    }
    std::error_code error;
    std::filesystem::rename(writer.tempPath, path, error);
    if (error) {
        LOGE("下载文件创建失败: " << path << " " << error.message());
        return false;
    }
    writer.opened = false;  // nothing left to clean up
    return true;
}

bool finishDownload(CURLcode code, long status, FileWriter& writer, const std::string& path) {
    if (status != 0 && status != kStatusOk) {
        LOGI("http请求异常: " << status);
        return false;
    }
    if (writer.failed) {
        LOGE((writer.opened ? "下载文件写入失败: " : "下载文件创建失败: ") << path);
        return false;
    }
    if (code != CURLE_OK || status != kStatusOk) {
        LOGE("http CInternetException " << static_cast<int>(code));
        return false;
    }
    return commitDownload(writer, path);
}

void discardPartial(FileWriter& writer) {
    if (writer.opened) {
        writer.file.close();
        std::error_code ignored;
        std::filesystem::remove(writer.tempPath, ignored);
    }
}

}  // namespace

bool performHttpRequest(const std::string& method, const std::string& url, const std::string& data,
                        int type, std::string& reply) {
    reply.clear();
    auto parsed = parseUrl(url);
    if (!parsed) {
        LOGE("AfxParseURL failed");
        return false;
    }
    std::string body = fenwix::platform::localToUtf8(data);
    body.push_back('\0');
    if (body.size() > CHttpClient::kMaxBodyBytes) {
        LOGE("http请求数据过长, 拒绝发送: " << body.size() << " bytes requestType:" << type);
        return false;
    }
    HttpSession::Easy easy = HttpSession::instance().acquire(parsed->origin);
    if (!easy) {
        LOGE("GetHttpConnection failed");
        return false;
    }
    ReplyCollector collector;
    collector.easy = easy.get();
    if (!setRequestOptions(easy.get(), *parsed, method == "GET", body, collector)) {
        LOGE("OpenRequest failed");
        return false;
    }
    const CURLcode code = curl_easy_perform(easy.get());
    return finishRequest(code, responseStatus(easy.get()), collector, type, reply);
}

bool performHttpDownload(const std::string& url, const std::string& path, int /*type*/) {
    auto parsed = parseUrl(url);
    if (!parsed) {
        LOGI("GetHttpConnection failed");
        return false;
    }
    HttpSession::Easy easy = HttpSession::instance().acquire(parsed->origin);
    if (!easy) {
        LOGI("GetHttpConnection failed");
        return false;
    }
    FileWriter writer;
    writer.easy = easy.get();
    writer.tempPath = temporarySibling(path);
    bool ok = setCommonOptions(easy.get(), *parsed, HttpSession::instance().downloadHeaders());
    ok = ok && curl_easy_setopt(easy.get(), CURLOPT_HTTPGET, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, &writeDownload) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &writer) == CURLE_OK;
    if (!ok) {
        LOGI("OpenRequest failed");
        return false;
    }
    const CURLcode code = curl_easy_perform(easy.get());
    const bool done = finishDownload(code, responseStatus(easy.get()), writer, path);
    if (!done) {
        discardPartial(writer);
    }
    return done;
}
