// A headless Chromium driven through chromedriver's WebDriver HTTP interface, for tests of the
// sim's web console in a real browser.
#pragma once

#include <json/json.h>
#include <sys/types.h>

#include <string>

namespace e2e {

class WebBrowser {
public:
    // Starts chromedriver on a free loopback port and opens a headless browser session.
    // available() is false when chromedriver or Chromium is missing or does not start; why()
    // says why, or what the driver answered to the last call that failed.
    WebBrowser();
    ~WebBrowser();
    WebBrowser(const WebBrowser&) = delete;
    WebBrowser& operator=(const WebBrowser&) = delete;

    bool available() const { return !session_.empty(); }
    const std::string& why() const { return why_; }

    bool open(const std::string& url);
    // Runs a script in the page (its `arguments` are `args`) and returns its result.
    Json::Value script(const std::string& body, const Json::Value& args = Json::arrayValue);
    // The element of a CSS selector; empty when there is none.
    std::string find(const std::string& css);
    bool click(const std::string& css);
    // Replaces the text of an input field as a person would type it.
    bool type(const std::string& css, const std::string& text);
    // Writes a PNG screenshot of the page.
    bool screenshot(const std::string& path);

private:
    Json::Value call(const std::string& method, const std::string& path,
                     const Json::Value& body = Json::Value());

    pid_t driver_ = -1;
    int port_ = 0;
    std::string session_;
    std::string why_;
    std::string profileDir_;
};

}  // namespace e2e
