// The sound server as the microphone and speaker tests need it: the recording and playback
// devices with their names, and one stream at a time per test that delivers or takes whole
// blocks. Every wait can be ended from another thread (requestStop), so a test thread never
// outlives its stop request by more than the server's answer to a disconnect, even when the
// server hangs. Tests put a fake behind it; the real one is the PulseAudio client.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fenwix::devices {

struct SoundDeviceEntry {
    std::string description;  // what people see and what callers name the device by
    std::string id;           // the server's own name of the device
};

struct PcmFormat {
    unsigned channels = 0;
    unsigned samplesPerSec = 0;
    unsigned bitsPerSample = 0;
    unsigned blockAlign() const { return bitsPerSample / 8 * channels; }
};

enum class StreamWake { Ready, TimedOut, Stopped, Failed };

// Where opening a stream gave up, so the caller can say which step failed.
enum class OpenFailure { None, Connect, Create, Start };

class SoundStream {
public:
    virtual ~SoundStream() = default;
    // Any thread: the stream's current and every later wait end with Stopped.
    virtual void requestStop() = 0;
};

// Sound from one recording device, in whole blocks.
class CaptureStream : public SoundStream {
public:
    // Connects and starts capturing from the device in the format, with blocks of blockBytes.
    virtual OpenFailure open(const std::string& id, const PcmFormat& format,
                             std::size_t blockBytes) = 0;
    // Waits without time-out until a whole block has arrived (Ready, block filled), the stream
    // failed (the device or the server went away) or a stop was requested.
    virtual StreamWake waitBlock(std::vector<unsigned char>& block) = 0;
};

// Sound to one playback device, queued a block at a time into a ring of ringBytes.
class PlaybackStream : public SoundStream {
public:
    virtual OpenFailure open(const std::string& id, const PcmFormat& format, std::size_t blockBytes,
                             std::size_t ringBytes) = 0;
    // Waits up to `timeout` until a whole block fits into the ring.
    virtual StreamWake waitWritable(std::chrono::milliseconds timeout) = 0;
    // Queues the bytes (a whole number of frames); false on failure.
    virtual bool write(const unsigned char* bytes, std::size_t length) = 0;
    // Waits up to `timeout` until everything queued has been played.
    virtual StreamWake drain(std::chrono::milliseconds timeout) = 0;
};

class SoundServer {
public:
    virtual ~SoundServer() = default;
    // The devices in the server's order; nothing when no server answered in time.
    virtual std::optional<std::vector<SoundDeviceEntry>> recordingDevices() = 0;
    virtual std::optional<std::vector<SoundDeviceEntry>> playbackDevices() = 0;
    // New, not yet opened streams: made first so a stop can reach them while they open.
    virtual std::shared_ptr<CaptureStream> newCaptureStream() = 0;
    virtual std::shared_ptr<PlaybackStream> newPlaybackStream() = 0;
};

// The system's sound server (every request waits at most `timeout`).
std::shared_ptr<SoundServer> systemSoundServer(std::chrono::milliseconds timeout);

}  // namespace fenwix::devices
