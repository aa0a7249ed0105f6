// The HTTP client every exchange with the backend goes through: form-encoded GET or POST to a
// full URL, reply body back as text. It keeps no state: create one wherever a call is made.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

// Outcome of an asynchronous request; runs on the request's worker thread. `reply` is empty
// when `ok` is false.
using HttpRequestCompletion = std::function<void(bool ok, const std::string& reply, int type)>;
// Outcome of a download; runs on the download's worker thread.
using HttpDownloadCompletion = std::function<void(bool ok, int type)>;

class CHttpClient {
public:
    // Longest URL or file path accepted, in characters. Longer ones are refused (failure and a
    // log line), never cut.
    static constexpr std::size_t kMaxTextChars = 1023;
    // Longest request body accepted: the form text in UTF-8 with its terminating zero byte. The
    // terminal's own reports grow with portal, room and participant names, so the body is sized
    // to the data; this bound only stops absurd sizes (refused with a log line, never cut).
    static constexpr std::size_t kMaxBodyBytes = std::size_t{1} << 20;

    // Synchronous GET of url + query (the query starts with "?"); the body is an empty form.
    bool get(const std::string& url, const std::string& query, std::string& reply);
    // Synchronous POST of the form text `data`.
    bool post(const std::string& url, const std::string& data, std::string& reply);

    // Start the request on a worker thread of its own and return at once. The completion is
    // called exactly once, on that thread, with the request's type, whether the request
    // succeeded, failed or was refused. Returns false only if no thread could be started; the
    // completion has then already been called with a failure.
    bool getAsync(const std::string& url, const std::string& data, HttpRequestCompletion completion,
                  int type);
    bool postAsync(const std::string& url, const std::string& data,
                   HttpRequestCompletion completion, int type);

    // Download url into the file at path on a worker thread; same completion rules as above.
    bool download(const std::string& url, const std::string& path,
                  HttpDownloadCompletion completion, int type);

    // Waits up to `bound` until no request or download of the process is running; false when
    // some still run then. For tests and fuzz targets that must see every completion.
    static bool waitForWorkers(std::chrono::milliseconds bound);

private:
    bool startRequest(const char* method, const std::string& url, const std::string& data,
                      HttpRequestCompletion completion, int type);
};
