// A stand-in for the conference library at the adapter's seam: records every call with a copy of
// the record it was given, answers requests from programmable replies and keeps a configuration
// record like the library does. One instance at a time; it replaces the seam while it lives.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "conference/vidyoclientapi.h"
#include "conference/vidyoserver.h"

namespace fenwixtest {

struct FakeVidyoCall {
    enum Kind { kInitialize, kStart, kRequest, kEvent, kStop, kUninitialize };
    Kind kind = kInitialize;
    unsigned int code = 0;
    std::vector<unsigned char> record;  // as the adapter passed it (before any reply)
    bool nullRecord = false;
};

// Start arguments as the library saw them.
struct FakeVidyoStart {
    VidyoClientOutEventCallback callback = nullptr;
    std::string userData;
    std::vector<std::string> logTexts;  // fields 1, 3, 4, 5, 6 of the log properties
    std::uint32_t logMaxSize = 0;
    VidyoClientWindowHandle window = 0;
    VidyoClientRect rect{};
    void* reserved = reinterpret_cast<void*>(1);
    std::vector<std::string> startTexts;  // fields 1 to 8 of the start parameters
    std::uint32_t startMaxLog = 0;
    std::uint32_t startReserved = 1;
    VidyoClientBool beginInDock = 1;
};

class FakeVidyoClient {
public:
    FakeVidyoClient() : scope_(table()) {
        std::memset(&configuration, 0, sizeof(configuration));
        current() = this;
    }
    ~FakeVidyoClient() { current() = nullptr; }
    FakeVidyoClient(const FakeVidyoClient&) = delete;
    FakeVidyoClient& operator=(const FakeVidyoClient&) = delete;

    // Results of the six functions (requests and events: see the reply maps).
    int initializeResult = VIDYO_CLIENT_OK;
    int startResult = VIDYO_CLIENT_OK;
    int stopResult = VIDYO_CLIENT_OK;
    int requestResult = VIDYO_CLIENT_OK;
    int eventResult = VIDYO_CLIENT_OK;
    bool failConfigurationRead = false;

    // The configuration record the library keeps (requests 100100 / 100101).
    VidyoClientConfiguration configuration;
    // Bytes copied into the record of a request, by request code.
    std::map<unsigned int, std::vector<unsigned char>> replies;
    // Called for each in-event after it was recorded (e.g. to answer with an out-event).
    std::function<void(unsigned int code)> onEvent;

    template <typename Record>
    void setReply(unsigned int code, const Record& record) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
        std::lock_guard<std::mutex> lock(mutex_);
        replies[code].assign(bytes, bytes + sizeof(Record));
    }

    std::vector<FakeVidyoCall> calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    std::vector<FakeVidyoCall> callsOf(FakeVidyoCall::Kind kind) const {
        std::vector<FakeVidyoCall> out;
        for (const auto& c : calls()) {
            if (c.kind == kind) {
                out.push_back(c);
            }
        }
        return out;
    }
    // Codes of the in-events sent so far, in order.
    std::vector<unsigned int> eventCodes() const {
        std::vector<unsigned int> out;
        for (const auto& c : callsOf(FakeVidyoCall::kEvent)) {
            out.push_back(c.code);
        }
        return out;
    }
    void clearCalls() {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.clear();
    }
    FakeVidyoStart initArgs() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return init_;
    }
    FakeVidyoStart startArgs() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return start_;
    }

    // Delivers an out-event the way the library does: through the registered callback.
    template <typename Record>
    void deliver(unsigned int event, const Record& record) {
        Record copy = record;
        VidyoServer::outEventHandler(event, &copy, sizeof(copy), nullptr);
    }
    void deliver(unsigned int event) { VidyoServer::outEventHandler(event, nullptr, 0, nullptr); }
    void deliverBytes(unsigned int event, std::vector<unsigned char> bytes) {
        VidyoServer::outEventHandler(event, bytes.data(), static_cast<unsigned int>(bytes.size()),
                                     nullptr);
    }

private:
    static FakeVidyoClient*& current() {
        static FakeVidyoClient* instance = nullptr;
        return instance;
    }

    static std::string text(const char* p) { return p == nullptr ? "<null>" : std::string(p); }

    static FakeVidyoStart logArgs(VidyoClientOutEventCallback callback, void* data,
                                  const VidyoClientLogProperties* log) {
        FakeVidyoStart s;
        s.callback = callback;
        s.userData = text(static_cast<const char*>(data));
        if (log != nullptr) {
            s.logTexts = {text(log->levelsAndCategories), text(log->logFileDirectory),
                          text(log->logFileName), text(log->configDirectory), text(log->reserved)};
            s.logMaxSize = log->maxLogFileSize;
        }
        return s;
    }

    void record(FakeVidyoCall::Kind kind, unsigned int code, const void* param, unsigned int size) {
        FakeVidyoCall call;
        call.kind = kind;
        call.code = code;
        call.nullRecord = param == nullptr;
        if (param != nullptr) {
            const auto* bytes = static_cast<const unsigned char*>(param);
            call.record.assign(bytes, bytes + size);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(std::move(call));
    }

    static int initialize(VidyoClientOutEventCallback callback, void* data,
                          const VidyoClientLogProperties* log) {
        FakeVidyoClient* self = current();
        self->record(FakeVidyoCall::kInitialize, 0, nullptr, 0);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->init_ = logArgs(callback, data, log);
        return self->initializeResult;
    }

    static int start(VidyoClientOutEventCallback callback, void* data,
                     const VidyoClientLogProperties* log, VidyoClientWindowHandle window,
                     const VidyoClientRect* rect, void* reserved,
                     const VidyoClientStartParams* params, VidyoClientBool dock) {
        FakeVidyoClient* self = current();
        self->record(FakeVidyoCall::kStart, 0, nullptr, 0);
        FakeVidyoStart s = logArgs(callback, data, log);
        s.window = window;
        if (rect != nullptr) {
            s.rect = *rect;
        }
        s.reserved = reserved;
        if (params != nullptr) {
            s.startTexts = {text(params->pathToLogDir),    text(params->reserved0),
                            text(params->applicationName), text(params->applicationVersion),
                            text(params->pathToDumpDir),   text(params->pathToConfigDir),
                            text(params->pathToTempDir),   text(params->pathToCacheDir)};
            s.startMaxLog = params->maxLogFileSize;
            s.startReserved = params->reserved1;
        }
        s.beginInDock = dock;
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->start_ = s;
        return self->startResult;
    }

    static int sendRequest(unsigned int code, void* param, unsigned int size) {
        FakeVidyoClient* self = current();
        self->record(FakeVidyoCall::kRequest, code, param, size);
        std::lock_guard<std::mutex> lock(self->mutex_);
        if (code == VIDYO_CLIENT_REQUEST_GET_CONFIGURATION ||
            code == VIDYO_CLIENT_REQUEST_SET_CONFIGURATION) {
            if (size != sizeof(VidyoClientConfiguration) || param == nullptr) {
                return VIDYO_CLIENT_FAILED;
            }
            if (code == VIDYO_CLIENT_REQUEST_GET_CONFIGURATION) {
                if (self->failConfigurationRead) {
                    return VIDYO_CLIENT_FAILED;
                }
                std::memcpy(param, &self->configuration, size);
            } else {
                std::memcpy(&self->configuration, param, size);
            }
            return VIDYO_CLIENT_OK;
        }
        const auto reply = self->replies.find(code);
        if (reply != self->replies.end() && param != nullptr) {
            std::memcpy(param, reply->second.data(),
                        std::min<std::size_t>(size, reply->second.size()));
        }
        return self->requestResult;
    }

    static int sendEvent(unsigned int code, void* param, unsigned int size) {
        FakeVidyoClient* self = current();
        self->record(FakeVidyoCall::kEvent, code, param, size);
        if (self->onEvent) {
            self->onEvent(code);
        }
        return self->eventResult;
    }

    static int stop() {
        current()->record(FakeVidyoCall::kStop, 0, nullptr, 0);
        return current()->stopResult;
    }

    static void uninitialize() { current()->record(FakeVidyoCall::kUninitialize, 0, nullptr, 0); }

    static VidyoClientApi table() {
        VidyoClientApi api;
        api.initialize = &FakeVidyoClient::initialize;
        api.start = &FakeVidyoClient::start;
        api.sendRequest = &FakeVidyoClient::sendRequest;
        api.sendEvent = &FakeVidyoClient::sendEvent;
        api.stop = &FakeVidyoClient::stop;
        api.uninitialize = &FakeVidyoClient::uninitialize;
        return api;
    }

    mutable std::mutex mutex_;
    std::vector<FakeVidyoCall> calls_;
    FakeVidyoStart init_;
    FakeVidyoStart start_;
    ScopedVidyoClientApi scope_;
};

}  // namespace fenwixtest
