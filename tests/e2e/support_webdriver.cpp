#include "support_webdriver.h"

#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "support/simprocess.h"

namespace e2e {

namespace {

// W3C WebDriver names an element by this key.
const char kElementKey[] = "element-6066-11e4-a52e-4f735466cecf";

int freeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

std::string program(const char* env, const char* fallback) {
    const char* value = std::getenv(env);
    return value != nullptr ? value : fallback;
}

pid_t spawnQuiet(const std::vector<std::string>& args, const std::string& logFile) {
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (std::freopen(logFile.c_str(), "w", stdout) == nullptr ||
            dup2(fileno(stdout), STDERR_FILENO) < 0) {
            _exit(126);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

}  // namespace

WebBrowser::WebBrowser() {
    const std::string driver = program("FENWIX_CHROMEDRIVER", "/usr/bin/chromedriver");
    const std::string browser = program("FENWIX_CHROMIUM", "/usr/bin/chromium");
    if (access(driver.c_str(), X_OK) != 0 || access(browser.c_str(), X_OK) != 0) {
        why_ = "needs " + driver + " and " + browser + " (packages chromium, chromium-driver)";
        return;
    }
    char dirTemplate[] = "/tmp/fenwix-browser-XXXXXX";
    if (mkdtemp(dirTemplate) == nullptr) {
        why_ = "mkdtemp failed";
        return;
    }
    profileDir_ = dirTemplate;
    port_ = freeLoopbackPort();
    driver_ = spawnQuiet({driver, "--port=" + std::to_string(port_), "--allowed-ips=127.0.0.1"},
                         profileDir_ + "/chromedriver.log");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline &&
           !call("GET", "/status")["value"]["ready"].asBool()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Json::Value options;
    options["binary"] = browser;
    for (const char* arg : {"--headless=new", "--no-sandbox", "--disable-gpu",
                            "--disable-dev-shm-usage", "--window-size=1600,1200", "--lang=zh-CN"}) {
        options["args"].append(arg);
    }
    options["args"].append("--user-data-dir=" + profileDir_ + "/profile");
    Json::Value capabilities;
    capabilities["capabilities"]["alwaysMatch"]["browserName"] = "chrome";
    capabilities["capabilities"]["alwaysMatch"]["goog:chromeOptions"] = options;
    const Json::Value reply = call("POST", "/session", capabilities);
    session_ = reply["value"]["sessionId"].asString();
    if (session_.empty()) {
        why_ = "no browser session: " + fenwixtest::simJsonText(reply);
    }
}

WebBrowser::~WebBrowser() {
    if (!session_.empty()) {
        call("DELETE", "/session/" + session_);
    }
    if (driver_ > 0) {
        kill(driver_, SIGTERM);
        waitpid(driver_, nullptr, 0);
    }
    if (!profileDir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(profileDir_, ignored);
    }
}

Json::Value WebBrowser::call(const std::string& method, const std::string& path,
                             const Json::Value& body) {
    httplib::Client client("127.0.0.1", port_);
    client.set_connection_timeout(2, 0);
    client.set_read_timeout(60, 0);
    const std::string text = body.isNull() ? "{}" : fenwixtest::simJsonText(body);
    httplib::Result r = method == "GET"      ? client.Get(path.c_str())
                        : method == "DELETE" ? client.Delete(path.c_str())
                                             : client.Post(path.c_str(), text, "application/json");
    if (!r) {
        return Json::Value();
    }
    try {
        return fenwixtest::simParseJson(r->body);
    } catch (const std::exception&) {
        return Json::Value();
    }
}

bool WebBrowser::open(const std::string& url) {
    Json::Value body;
    body["url"] = url;
    return call("POST", "/session/" + session_ + "/url", body)["value"].isNull();
}

Json::Value WebBrowser::script(const std::string& body, const Json::Value& args) {
    Json::Value request;
    request["script"] = body;
    request["args"] = args;
    return call("POST", "/session/" + session_ + "/execute/sync", request)["value"];
}

std::string WebBrowser::find(const std::string& css) {
    Json::Value body;
    body["using"] = "css selector";
    body["value"] = css;
    const Json::Value reply = call("POST", "/session/" + session_ + "/element", body);
    why_ = fenwixtest::simJsonText(reply);
    const Json::Value& value = reply["value"];
    return value.isObject() && value[kElementKey].isString() ? value[kElementKey].asString() : "";
}

bool WebBrowser::click(const std::string& css) {
    const std::string element = find(css);
    if (element.empty()) {
        return false;
    }
    const Json::Value reply =
        call("POST", "/session/" + session_ + "/element/" + element + "/click",
             Json::Value(Json::objectValue));
    why_ = fenwixtest::simJsonText(reply);
    return reply.isObject() && reply["value"].isNull();
}

bool WebBrowser::type(const std::string& css, const std::string& text) {
    const std::string element = find(css);
    if (element.empty()) {
        why_ = "no element " + css + ": " + why_;
        return false;
    }
    const std::string base = "/session/" + session_ + "/element/" + element;
    call("POST", base + "/clear", Json::Value(Json::objectValue));
    Json::Value keys;
    keys["text"] = text;
    const Json::Value reply = call("POST", base + "/value", keys);
    why_ = fenwixtest::simJsonText(reply);
    return reply.isObject() && reply["value"].isNull();
}

bool WebBrowser::screenshot(const std::string& path) {
    const Json::Value value = call("GET", "/session/" + session_ + "/screenshot")["value"];
    if (!value.isString()) {
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << fenwixtest::simBase64Decode(value.asString());
    return static_cast<bool>(out);
}

}  // namespace e2e
