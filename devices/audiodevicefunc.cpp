#include "devices/audiodevicefunc.h"

#include <cstdio>
#include <optional>
#include <thread>
#include <utility>

#include "logging/log4z.h"
#include "platform/textcodec.h"

using fenwix::devices::AudioEndpoints;
using fenwix::devices::AudioFlow;

namespace {

std::string sixDecimals(double value) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.6f", value);
    return text;
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string asciiLower(std::string text) {
    for (char& c : text) {
        c = asciiLower(c);
    }
    return text;
}

// The first playback endpoint whose friendly name contains the wanted name. Every name seen is
// logged, so a name that matches nothing shows in the log what was there instead.
std::optional<std::string> findPlaybackEndpoint(AudioEndpoints& endpoints,
                                                const std::string& wanted) {
    const auto all = endpoints.playbackEndpoints();
    if (!all) {
        LOGE("EnumAudioEndpoints failed");
        return std::nullopt;
    }
    LOGI("EnumAudioEndpoints counts " << all->size());
    for (const auto& endpoint : *all) {
        if (!endpoint.friendlyName) {
            continue;
        }
        LOGI(fenwix::platform::wideToLocal(*endpoint.friendlyName));
        if (audiodevicefunc::NameMatches(*endpoint.friendlyName, wanted)) {
            return endpoint.id;
        }
    }
    return std::nullopt;
}

// Raises a quiet speaker to the floor; a loud one keeps its level after a brief dip. The dip
// makes the system notice a change even when the level stays the same. Both end unmuted.
void applyVolumeFloor(AudioEndpoints& endpoints, const std::string& id, float current) {
    const double level = current;  // a stored single-precision 0.8 counts as at the floor
    if (level >= CAudioDeviceFunc::kVolumeFloor) {
        const auto dipped = static_cast<float>(level - CAudioDeviceFunc::kVolumeDip);
        if (!endpoints.setVolumeScalar(id, dipped)) {
            LOGE("SetMasterVolumeLevelScalar " << sixDecimals(dipped) << "failed");
            return;
        }
        std::this_thread::sleep_for(CAudioDeviceFunc::kDipDuration);
        if (!endpoints.setVolumeScalar(id, current)) {
            LOGE("SetMasterVolumeLevelScalar" << sixDecimals(level) << "failed");
            return;
        }
    } else if (!endpoints.setVolumeScalar(id, static_cast<float>(CAudioDeviceFunc::kVolumeFloor))) {
        LOGE("SetMasterVolumeLevelScalar 0.8 failed");
        return;
    }
    if (!endpoints.setMute(id, false)) {
        LOGE("SetMute failed");
    }
}

}  // namespace

CAudioDeviceFunc::CAudioDeviceFunc()
    : connect_([] { return fenwix::devices::connectAudioEndpoints(kServerTimeout); }) {}

CAudioDeviceFunc::CAudioDeviceFunc(Connector connect) : connect_(std::move(connect)) {}

bool CAudioDeviceFunc::GetDefaultCaptureName(std::string& name) const {
    return GetDefaultName(true, name);
}

bool CAudioDeviceFunc::GetDefaultRenderName(std::string& name) const {
    return GetDefaultName(false, name);
}

bool CAudioDeviceFunc::GetDefaultName(bool capture, std::string& name) const {
    LOGI("Adjust System Volume");
    const std::unique_ptr<AudioEndpoints> endpoints = connect_ ? connect_() : nullptr;
    if (!endpoints) {
        LOGE("CoCreateInstance failed");
        return false;
    }
    const AudioFlow flow = capture ? AudioFlow::Recording : AudioFlow::Playback;
    const auto id = endpoints->defaultEndpointId(flow);
    if (!id) {
        LOGE("Activate failed endpointVolume is NULL");
        return false;
    }
    if (auto friendly = endpoints->friendlyName(flow, *id)) {
        name = std::move(*friendly);
        LOGI(fenwix::platform::wideToLocal(name));
    }
    return true;
}

bool CAudioDeviceFunc::EnsureSpeakerVolume(const std::string& speakerName) const {
    LOGI("Adjust System Volume");
    const std::unique_ptr<AudioEndpoints> endpoints = connect_ ? connect_() : nullptr;
    if (!endpoints) {
        LOGE("CoCreateInstance failed");
        return true;
    }
    const auto id = findPlaybackEndpoint(*endpoints, speakerName);
    if (!id) {
        return true;
    }
    const auto current = endpoints->volumeScalar(*id);
    if (!current) {
        LOGE("Activate failed endpointVolume is NULL");
        return true;
    }
    applyVolumeFloor(*endpoints, *id, *current);
    return true;
}

namespace audiodevicefunc {

bool EnsureSpeakerVolume(const std::string& speakerName) {
    return CAudioDeviceFunc().EnsureSpeakerVolume(speakerName);
}

bool NameMatches(const std::string& friendlyName, const std::string& wanted) {
    return asciiLower(friendlyName).find(asciiLower(wanted)) != std::string::npos;
}

}  // namespace audiodevicefunc
