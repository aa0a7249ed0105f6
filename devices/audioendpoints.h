// The sound server's playback and recording endpoints, as the audio device functions need them:
// the default endpoint of a data flow, the playback endpoints with their names, and an endpoint's
// volume and mute. One object is one connection; it is used on one thread and then dropped, so
// nothing is cached between uses. Tests put a fake behind it.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fenwix::devices {

enum class AudioFlow { Playback, Recording };

struct AudioEndpointName {
    std::string id;                           // the server's own name of the endpoint
    std::optional<std::string> friendlyName;  // what people see; missing if it cannot be read
};

class AudioEndpoints {
public:
    virtual ~AudioEndpoints() = default;

    // The identifier of the flow's default endpoint; nothing when there is none.
    virtual std::optional<std::string> defaultEndpointId(AudioFlow flow) = 0;

    // The friendly name of an endpoint; nothing when it cannot be read (e.g. it has just gone).
    virtual std::optional<std::string> friendlyName(AudioFlow flow, const std::string& id) = 0;

    // Every playback endpoint in whatever state, in the server's order; nothing on failure.
    virtual std::optional<std::vector<AudioEndpointName>> playbackEndpoints() = 0;

    // A playback endpoint's master volume as a scalar, 1.0 being the normal full level (the
    // server allows more). Nothing when it cannot be read.
    virtual std::optional<float> volumeScalar(const std::string& id) = 0;

    // Sets a playback endpoint's master volume (the scalar read above) keeping the balance of
    // its channels. False on failure.
    virtual bool setVolumeScalar(const std::string& id, float scalar) = 0;
    virtual bool setMute(const std::string& id, bool mute) = 0;
};

// Connects to the sound server, waiting at most `timeout` (every later call waits at most as
// long again). Null when no server answers: the caller reports that and goes on.
std::unique_ptr<AudioEndpoints> connectAudioEndpoints(std::chrono::milliseconds timeout);

}  // namespace fenwix::devices
