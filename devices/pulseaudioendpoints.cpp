// The audio endpoints over a PulseAudio (or PipeWire) server: sinks are the playback endpoints,
// sources the recording ones; an endpoint's friendly name is its description. Every request runs
// a private main loop until its answer arrives or the time-out passes, so a missing or stuck
// server never blocks the caller for long. This is the only file that calls libpulse.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "devices/audioendpoints.h"

namespace fenwix::devices {
namespace {

using Clock = std::chrono::steady_clock;

// What one request delivers; the callbacks fill it in on the caller's thread.
struct SinkAnswer {
    bool done = false;
    bool found = false;
    pa_cvolume volume{};
    std::optional<std::string> description;
};

struct ListAnswer {
    bool done = false;
    bool failed = false;
    std::vector<AudioEndpointName> endpoints;
};

struct ServerAnswer {
    bool done = false;
    std::string defaultSink;
    std::string defaultSource;
};

struct SuccessAnswer {
    bool done = false;
    bool success = false;
};

std::optional<std::string> descriptionOf(const char* description) {
    if (description == nullptr) {
        return std::nullopt;
    }
    return std::string(description);
}

template <typename Info>
void onEndpointInfo(pa_context*, const Info* info, int eol, void* userdata) {
    auto* answer = static_cast<SinkAnswer*>(userdata);
    if (eol != 0) {
        answer->done = true;
        return;
    }
    if (info != nullptr && !answer->found) {
        answer->found = true;
        answer->volume = info->volume;
        answer->description = descriptionOf(info->description);
    }
}

void onSinkListEntry(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
    auto* answer = static_cast<ListAnswer*>(userdata);
    if (eol != 0) {
        answer->failed = eol < 0;
        answer->done = true;
        return;
    }
    if (info != nullptr && info->name != nullptr) {
        answer->endpoints.push_back({info->name, descriptionOf(info->description)});
    }
}

void onServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    auto* answer = static_cast<ServerAnswer*>(userdata);
    if (info != nullptr) {
        answer->defaultSink = info->default_sink_name != nullptr ? info->default_sink_name : "";
        answer->defaultSource =
            info->default_source_name != nullptr ? info->default_source_name : "";
    }
    answer->done = true;
}

void onSuccess(pa_context*, int success, void* userdata) {
    auto* answer = static_cast<SuccessAnswer*>(userdata);
    answer->success = success != 0;
    answer->done = true;
}

// The channels scaled so that their average becomes `level`, keeping their balance: flattening
// an unbalanced sink to its average would lower its louder channels.
pa_cvolume withAverage(const pa_cvolume& current, pa_volume_t level) {
    pa_cvolume out = current;
    const pa_volume_t average = pa_cvolume_avg(&current);
    if (average == PA_VOLUME_MUTED) {
        pa_cvolume_set(&out, current.channels, level);
        return out;
    }
    const double factor = static_cast<double>(level) / average;
    for (unsigned i = 0; i < current.channels; ++i) {
        const double raw = std::round(current.values[i] * factor);
        out.values[i] = static_cast<pa_volume_t>(std::min(raw, static_cast<double>(PA_VOLUME_MAX)));
    }
    return out;
}

pa_volume_t volumeOfScalar(float scalar) {
    if (!(scalar > 0.0F)) {  // NaN too
        return PA_VOLUME_MUTED;
    }
    const double raw = std::round(static_cast<double>(scalar) * PA_VOLUME_NORM);
    return static_cast<pa_volume_t>(std::min(raw, static_cast<double>(PA_VOLUME_MAX)));
}

class PulseAudioEndpoints : public AudioEndpoints {
public:
    explicit PulseAudioEndpoints(std::chrono::milliseconds timeout)
        : timeout_(timeout), loop_(pa_mainloop_new()) {
        if (loop_ == nullptr) {
            return;
        }
        context_ = pa_context_new(pa_mainloop_get_api(loop_), "FenwixStuDesktop");
    }

    ~PulseAudioEndpoints() override {
        if (context_ != nullptr) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        if (loop_ != nullptr) {
            pa_mainloop_free(loop_);
        }
    }

    PulseAudioEndpoints(const PulseAudioEndpoints&) = delete;
    PulseAudioEndpoints& operator=(const PulseAudioEndpoints&) = delete;

    // Never starts a server of its own: a terminal without sound keeps running without it.
    bool connect() {
        if (context_ == nullptr ||
            pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            return false;
        }
        runUntil([&] {
            const pa_context_state_t state = pa_context_get_state(context_);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        });
        return pa_context_get_state(context_) == PA_CONTEXT_READY;
    }

    std::optional<std::string> defaultEndpointId(AudioFlow flow) override {
        ServerAnswer answer;
        if (!await(pa_context_get_server_info(context_, onServerInfo, &answer), answer.done)) {
            return std::nullopt;
        }
        const std::string& id =
            flow == AudioFlow::Playback ? answer.defaultSink : answer.defaultSource;
        if (id.empty()) {
            return std::nullopt;
        }
        return id;
    }

    std::optional<std::string> friendlyName(AudioFlow flow, const std::string& id) override {
        SinkAnswer answer;
        if (!endpointInfo(flow, id, answer)) {
            return std::nullopt;
        }
        return answer.description;
    }

    std::optional<std::vector<AudioEndpointName>> playbackEndpoints() override {
        ListAnswer answer;
        if (!await(pa_context_get_sink_info_list(context_, onSinkListEntry, &answer),
                   answer.done) ||
            answer.failed) {
            return std::nullopt;
        }
        return std::move(answer.endpoints);
    }

    std::optional<float> volumeScalar(const std::string& id) override {
        SinkAnswer answer;
        if (!endpointInfo(AudioFlow::Playback, id, answer) || answer.volume.channels == 0) {
            return std::nullopt;
        }
        return static_cast<float>(static_cast<double>(pa_cvolume_avg(&answer.volume)) /
                                  PA_VOLUME_NORM);
    }

    bool setVolumeScalar(const std::string& id, float scalar) override {
        SinkAnswer current;
        if (!endpointInfo(AudioFlow::Playback, id, current) || current.volume.channels == 0) {
            return false;
        }
        const pa_cvolume volume = withAverage(current.volume, volumeOfScalar(scalar));
        SuccessAnswer answer;
        return await(pa_context_set_sink_volume_by_name(context_, id.c_str(), &volume, onSuccess,
                                                        &answer),
                     answer.done) &&
               answer.success;
    }

    bool setMute(const std::string& id, bool mute) override {
        SuccessAnswer answer;
        return await(pa_context_set_sink_mute_by_name(context_, id.c_str(), mute ? 1 : 0, onSuccess,
                                                      &answer),
                     answer.done) &&
               answer.success;
    }

private:
    bool endpointInfo(AudioFlow flow, const std::string& id, SinkAnswer& answer) {
        pa_operation* operation =
            flow == AudioFlow::Playback
                ? pa_context_get_sink_info_by_name(context_, id.c_str(),
                                                   onEndpointInfo<pa_sink_info>, &answer)
                : pa_context_get_source_info_by_name(context_, id.c_str(),
                                                     onEndpointInfo<pa_source_info>, &answer);
        return await(operation, answer.done) && answer.found;
    }

    // Runs the loop until the operation's answer is in. On a time-out the operation is
    // cancelled, so its callback can no longer write into the caller's answer.
    bool await(pa_operation* operation, const bool& done) {
        if (operation == nullptr) {
            return false;
        }
        const bool answered = runUntil([&] { return done; });
        if (!answered) {
            pa_operation_cancel(operation);
        }
        pa_operation_unref(operation);
        return answered;
    }

    bool runUntil(const std::function<bool()>& condition) {
        const Clock::time_point deadline = Clock::now() + timeout_;
        while (!condition()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
            if (left.count() <= 0 || pa_context_get_state(context_) == PA_CONTEXT_FAILED ||
                pa_context_get_state(context_) == PA_CONTEXT_TERMINATED) {
                return condition();
            }
            if (pa_mainloop_prepare(loop_, static_cast<int>(left.count())) < 0 ||
                pa_mainloop_poll(loop_) < 0 || pa_mainloop_dispatch(loop_) < 0) {
                return condition();
            }
        }
        return true;
    }

    std::chrono::milliseconds timeout_;
    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

}  // namespace

std::unique_ptr<AudioEndpoints> connectAudioEndpoints(std::chrono::milliseconds timeout) {
    auto endpoints = std::make_unique<PulseAudioEndpoints>(timeout);
    if (!endpoints->connect()) {
        return nullptr;
    }
    return endpoints;
}

}  // namespace fenwix::devices
