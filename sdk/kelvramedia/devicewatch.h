// Tells a capture object when the device lists change and when its microphone is muted or
// unmuted in the sound server. Event driven: a subscription to the sound server and the media
// framework's device monitor, each blocked until something happens; nothing polls.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace kelvramedia {

class DeviceWatch {
public:
    // Receives 1005/1006/1016/1017 with their value; called from the watch's threads.
    using EventSink = std::function<void(int event, int value, const std::string& detail)>;

    explicit DeviceWatch(EventSink sink);
    ~DeviceWatch();
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;

    // The sound server's name of the microphone whose mute state is told; empty: the default.
    void setMicrophone(const std::string& sourceName);

    struct Sound;
    struct Video;

private:
    std::unique_ptr<Sound> sound_;
    std::unique_ptr<Video> video_;
};

}  // namespace kelvramedia
