#pragma once
// Drives libVidyoClient.so through its six functions the way the terminal's adapter does, and
// records the out-events it delivers on its callback thread. The library is process-wide: one
// driver at a time.

#include "sdk/vidyoclient/vidyoclient.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fenwixtest {

struct OutEvent {
    unsigned int code = 0;
    std::vector<std::uint8_t> record;
    std::thread::id thread;

    template <typename Record>
    Record as() const {
        Record r{};
        std::memcpy(&r, record.data(), std::min(sizeof(Record), record.size()));
        return r;
    }
};

template <size_t N>
std::string fieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

template <size_t N>
void setField(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

class OutEventRecorder {
public:
    static void callback(unsigned int event, void* param, unsigned int size, void* data) {
        auto* self = static_cast<OutEventRecorder*>(data);
        OutEvent e;
        e.code = event;
        if (param != nullptr) {
            const auto* bytes = static_cast<const std::uint8_t*>(param);
            e.record.assign(bytes, bytes + size);
        }
        e.thread = std::this_thread::get_id();
        if (self->onEvent) {
            self->onEvent(e);  // on the library's thread, like an adapter's handler
        }
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->events_.push_back(std::move(e));
        self->changed_.notify_all();
    }

    // The first event with that code not yet taken and matching `accept`, within the time.
    std::optional<OutEvent> waitFor(unsigned int code, int timeoutMs = 10000,
                                    std::function<bool(const OutEvent&)> accept = nullptr) {
        std::unique_lock<std::mutex> lock(mutex_);
        std::optional<OutEvent> found;
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (size_t i = taken_.size(); i < events_.size(); ++i) {
                taken_.push_back(false);
            }
            for (size_t i = 0; i < events_.size(); ++i) {
                if (!taken_[i] && events_[i].code == code && (!accept || accept(events_[i]))) {
                    taken_[i] = true;
                    found = events_[i];
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    std::vector<unsigned int> codes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<unsigned int> out;
        for (const auto& e : events_) {
            out.push_back(e.code);
        }
        return out;
    }

    // Runs for each event before it is recorded; set before the library starts.
    std::function<void(const OutEvent&)> onEvent;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<OutEvent> events_;
    std::vector<bool> taken_;
};

class VidyoClientDriver {
public:
    explicit VidyoClientDriver(VidyoClientWindowHandle window = 0, int width = 640,
                               int height = 360, std::string logDir = "./VidyoLog/",
                               std::function<void(const OutEvent&)> onEvent = nullptr) {
        events.onEvent = std::move(onEvent);
        logDir_ = std::move(logDir);
        logProperties_ = {
            "debug@App debug@AppEvents", 5000000, logDir_.c_str(), "Vidyo", logDir_.c_str(), ""};
        startParams_ = {logDir_.c_str(), "",
                        "FenwixDesktop", "2.3.2.28",
                        logDir_.c_str(), logDir_.c_str(),
                        logDir_.c_str(), logDir_.c_str(),
                        65000,           0};
        initialized_ = VidyoClientInitialize(OutEventRecorder::callback, &events,
                                             &logProperties_) == VIDYO_CLIENT_OK;
        const VidyoClientRect rect{0, 0, width, height};
        started_ = initialized_ &&
                   VidyoClientStart(OutEventRecorder::callback, &events, &logProperties_, window,
                                    &rect, nullptr, &startParams_, 0) == VIDYO_CLIENT_OK;
    }
    ~VidyoClientDriver() {
        if (started_) {
            VidyoClientStop();
        }
        if (initialized_) {
            VidyoClientUninitialize();
        }
    }
    VidyoClientDriver(const VidyoClientDriver&) = delete;
    VidyoClientDriver& operator=(const VidyoClientDriver&) = delete;

    bool started() const { return started_; }

    bool login(const std::string& portal, const std::string& user, const std::string& password) {
        VidyoClientLogin r{};
        setField(r.portalUri, portal);
        setField(r.userName, user);
        setField(r.password, password);
        return send(VIDYO_CLIENT_IN_EVENT_LOGIN, r);
    }
    bool link(const std::string& portal, const std::string& roomKey,
              const std::string& displayName) {
        VidyoClientRoomLink r{};
        setField(r.portalUri, portal);
        setField(r.roomKey, roomKey);
        setField(r.displayName, displayName);
        return send(VIDYO_CLIENT_IN_EVENT_ROOM_LINK, r);
    }
    bool pin(const std::string& participant, std::uint32_t mode = VIDYO_CLIENT_PIN_MODE_PIN) {
        VidyoClientPinParticipant r{};
        r.source = VIDYO_CLIENT_PIN_SOURCE;
        setField(r.participant, participant);
        r.mode = mode;
        return send(VIDYO_CLIENT_IN_EVENT_PIN_PARTICIPANT, r);
    }
    bool leave() { return VidyoClientSendEvent(VIDYO_CLIENT_IN_EVENT_LEAVE, nullptr, 0) == 1; }
    bool logout() { return VidyoClientSendEvent(VIDYO_CLIENT_IN_EVENT_SIGNOFF, nullptr, 0) == 1; }

    template <typename Record>
    bool send(unsigned int code, Record& record) {
        return VidyoClientSendEvent(code, &record, sizeof(record)) == VIDYO_CLIENT_OK;
    }
    template <typename Record>
    bool request(unsigned int code, Record& record) {
        return VidyoClientSendRequest(code, &record, sizeof(record)) == VIDYO_CLIENT_OK;
    }

    // User log-in and room link; true when the room was joined.
    bool joinAsUser(const std::string& portal, const std::string& user, const std::string& roomKey,
                    const std::string& displayName) {
        return login(portal, user, "pw") && events.waitFor(VIDYO_CLIENT_OUT_EVENT_SIGNED_IN) &&
               link(portal, roomKey, displayName) &&
               events.waitFor(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ACTIVE).has_value();
    }

    OutEventRecorder events;

private:
    std::string logDir_;
    VidyoClientLogProperties logProperties_{};
    VidyoClientStartParams startParams_{};
    bool initialized_ = false;
    bool started_ = false;
};

}  // namespace fenwixtest
