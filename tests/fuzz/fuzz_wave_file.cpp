// The speaker test's wave file: the input is the whole file, played by the real speaker test
// into a sound server that takes every block at once. Its header decides whether a stream is
// opened; the blocks that follow go through the frame cutting and the level meter.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "devices/directsound.h"
#include "devices/levelmeter.h"
#include "devices/soundstreams.h"

namespace {

using namespace fenwix::devices;

constexpr char kSpeaker[] = "Fuzz Speaker";

// Set when the test thread has played the file out and let its meter go.
class Finish {
public:
    void reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = false;
    }
    void set() {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
        wake_.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, std::chrono::seconds(5), [this] { return done_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
};

class FuzzMeter : public LevelMeter {
public:
    explicit FuzzMeter(Finish& finish) : finish_(finish) {}
    void Feed(const unsigned char* bytes, std::size_t length) override {
        last = levelOf(bytes, length);
    }
    void Clear() override { finish_.set(); }
    int last = 0;

private:
    Finish& finish_;
};

// Takes every block; now and then a wait times out first, as a busy server's does.
class TakingStream : public PlaybackStream {
public:
    void requestStop() override {}
    OpenFailure open(const std::string&, const PcmFormat& format, std::size_t blockBytes,
                     std::size_t) override {
        frame_ = format.blockAlign();
        return blockBytes % frame_ == 0 ? OpenFailure::None : OpenFailure::Create;
    }
    StreamWake waitWritable(std::chrono::milliseconds) override {
        return ++waits_ % 3 == 0 ? StreamWake::TimedOut : StreamWake::Ready;
    }
    bool write(const unsigned char*, std::size_t length) override {
        return length > 0 && length % frame_ == 0;  // whole frames only, as the server takes them
    }
    StreamWake drain(std::chrono::milliseconds) override { return StreamWake::Ready; }

private:
    std::size_t frame_ = 1;
    unsigned waits_ = 0;
};

class TakingServer : public SoundServer {
public:
    std::optional<std::vector<SoundDeviceEntry>> recordingDevices() override { return {}; }
    std::optional<std::vector<SoundDeviceEntry>> playbackDevices() override {
        return std::vector<SoundDeviceEntry>{{kSpeaker, "fuzz.sink"}};
    }
    std::shared_ptr<CaptureStream> newCaptureStream() override { return nullptr; }
    std::shared_ptr<PlaybackStream> newPlaybackStream() override {
        return std::make_shared<TakingStream>();
    }
};

// In the temporary folder (TMPDIR), which scripts/fuzz puts on a memory-backed one.
std::string waveFilePath() {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    if (ec) {
        folder = "/tmp";
    }
    return (folder / ("fenwix-fuzz-wave-" + std::to_string(::getpid()) + ".wav")).string();
}

bool writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool whole = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && whole;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = waveFilePath();
    static Finish finish;
    if (!writeFile(path, data, size)) {
        return 0;
    }
    std::string why;
    const bool playable =
        size >= CDirectSound::kHeaderBytes && CDirectSound::formatOfHeader(data, why).has_value();
    finish.reset();
    FuzzMeter meter(finish);
    CDirectSound sound(std::make_shared<TakingServer>());
    sound.Play(&meter, path, kSpeaker);
    if (playable) {
        finish.wait();  // the whole file, not only what came before a stop
    }
    sound.waitThreadStop();
    return 0;
}
