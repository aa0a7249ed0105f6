// Names of the default audio devices and the speaker volume floor, over the sound server's
// endpoints. A device name is the endpoint's friendly name (UTF-8). Each call connects afresh and
// lets everything go before it returns, so devices that come and go are seen at the next call.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "devices/audioendpoints.h"

class CAudioDeviceFunc {
public:
    using Connector = std::function<std::unique_ptr<fenwix::devices::AudioEndpoints>()>;

    // The endpoints of the system's sound server. This sound system needs no per-thread
    // initialisation, so an instance may be made on any thread.
    CAudioDeviceFunc();
    // Tests hand in their own endpoints; the connector returns null for "no server".
    explicit CAudioDeviceFunc(Connector connect);

    // The friendly name of the default recording / playback device. True once the default
    // endpoint was found, even if its name then cannot be read (the name is then left as it was);
    // false, with the name unchanged, when there is no server or no default endpoint.
    bool GetDefaultCaptureName(std::string& name) const;
    bool GetDefaultRenderName(std::string& name) const;
    bool GetDefaultName(bool capture, std::string& name) const;

    // Finds the first playback endpoint, in any state, whose friendly name contains speakerName
    // (letter case ignored) and makes it loud enough: below kVolumeFloor it is raised to the floor,
    // otherwise it keeps its level after a dip of kVolumeDip for kDipDuration; either way it ends
    // unmuted. No match changes nothing. Always true: failures are only logged.
    bool EnsureSpeakerVolume(const std::string& speakerName) const;

    static constexpr double kVolumeFloor = 0.8;
    static constexpr double kVolumeDip = 0.01;
    static constexpr std::chrono::milliseconds kDipDuration{100};
    // How long one request to the sound server may take before it counts as failed.
    static constexpr std::chrono::milliseconds kServerTimeout{3000};

private:
    Connector connect_;
};

namespace audiodevicefunc {

// The speaker volume floor for the backend client (FenwixStudentServer::EnsureSpeakerVolume
// delegates here): CAudioDeviceFunc().EnsureSpeakerVolume(speakerName). Always true.
bool EnsureSpeakerVolume(const std::string& speakerName);

// Whether a friendly name contains the wanted name, ASCII letters compared without case.
bool NameMatches(const std::string& friendlyName, const std::string& wanted);

}  // namespace audiodevicefunc
