// One HTTP exchange over libcurl on the calling thread: the request algorithm behind CHttpClient.
#pragma once

#include <string>

// Sends `data` (local text) as a form body with verb GET when `method` is exactly "GET", POST
// otherwise, and fills `reply` with the body of a 200 reply. Sets the shared network flag from the
// outcome; every failure is logged and returns false with `reply` empty.
bool performHttpRequest(const std::string& method, const std::string& url, const std::string& data,
                        int type, std::string& reply);

// Fetches `url` with a plain GET and stores a 200 reply's body at `path`. A failed download
// leaves whatever was at `path` untouched. The network flag is not changed.
bool performHttpDownload(const std::string& url, const std::string& path, int type);
