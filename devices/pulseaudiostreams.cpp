// The sound server of the microphone and speaker tests over a PulseAudio (or PipeWire) server:
// sources are the recording devices, sinks the playback ones, a device's name is its description.
// Each stream has a private main loop and connection that only its test thread runs; a stop
// request from another thread wakes that loop through an event descriptor of its own, so no wait
// depends on the server answering.
#include <pulse/pulseaudio.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>

#include "devices/soundstreams.h"

namespace fenwix::devices {
namespace {

using Clock = std::chrono::steady_clock;

enum class RunResult { Done, TimedOut, Stopped, Failed };

class PulseLoop {
public:
    explicit PulseLoop(std::chrono::milliseconds timeout)
        : timeout_(timeout),
          loop_(pa_mainloop_new()),
          wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (loop_ == nullptr) {
            return;
        }
        pa_mainloop_api* api = pa_mainloop_get_api(loop_);
        if (wakeFd_ >= 0) {
            wakeEvent_ = api->io_new(api, wakeFd_, PA_IO_EVENT_INPUT, onWake, this);
        }
        context_ = pa_context_new(api, "FenwixStuDesktop");
    }

    ~PulseLoop() {
        if (context_ != nullptr) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        if (wakeEvent_ != nullptr) {
            pa_mainloop_get_api(loop_)->io_free(wakeEvent_);
        }
        if (loop_ != nullptr) {
            pa_mainloop_free(loop_);
        }
        if (wakeFd_ >= 0) {
            ::close(wakeFd_);
        }
    }

    PulseLoop(const PulseLoop&) = delete;
    PulseLoop& operator=(const PulseLoop&) = delete;

    pa_context* context() const { return context_; }
    std::chrono::milliseconds timeout() const { return timeout_; }

    // Never starts a server of its own: a terminal without sound goes on without it.
    bool connect() {
        if (context_ == nullptr || wakeEvent_ == nullptr ||
            pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            return false;
        }
        const auto ready = [this] {
            const pa_context_state_t state = pa_context_get_state(context_);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        };
        return runUntil(ready, Clock::now() + timeout_) == RunResult::Done &&
               pa_context_get_state(context_) == PA_CONTEXT_READY;
    }

    // Runs the loop until the condition holds, the deadline (if any) passes, a stop is requested
    // or the connection fails.
    RunResult runUntil(const std::function<bool()>& condition,
                       std::optional<Clock::time_point> deadline = std::nullopt) {
        while (true) {
            if (stopped_.load()) {
                return RunResult::Stopped;
            }
            if (condition()) {
                return RunResult::Done;
            }
            if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
                return RunResult::Failed;
            }
            int timeoutUs = -1;
            if (deadline) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::microseconds>(*deadline - Clock::now());
                if (left.count() <= 0) {
                    return RunResult::TimedOut;
                }
                timeoutUs = static_cast<int>(left.count());
            }
            if (pa_mainloop_prepare(loop_, timeoutUs) < 0 || pa_mainloop_poll(loop_) < 0 ||
                pa_mainloop_dispatch(loop_) < 0) {
                return RunResult::Failed;
            }
        }
    }

    // Any thread. The descriptor stays readable until the loop has read it, so a stop that
    // comes just before the loop polls is not lost.
    void requestStop() {
        stopped_.store(true);
        if (wakeFd_ >= 0) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof(one));
        }
    }

private:
    static void onWake(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void*) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = ::read(fd, &count, sizeof(count));
    }

    std::chrono::milliseconds timeout_;
    pa_mainloop* loop_ = nullptr;
    int wakeFd_ = -1;
    pa_io_event* wakeEvent_ = nullptr;
    pa_context* context_ = nullptr;
    std::atomic<bool> stopped_{false};
};

std::optional<pa_sample_format_t> sampleFormatOf(unsigned bits) {
    switch (bits) {
        case 8:
            return PA_SAMPLE_U8;
        case 16:
            return PA_SAMPLE_S16LE;
        case 24:
            return PA_SAMPLE_S24LE;
        case 32:
            return PA_SAMPLE_S32LE;
        default:
            return std::nullopt;
    }
}

std::optional<pa_sample_spec> sampleSpecOf(const PcmFormat& format) {
    const auto sampleFormat = sampleFormatOf(format.bitsPerSample);
    if (!sampleFormat || format.channels > PA_CHANNELS_MAX) {
        return std::nullopt;
    }
    pa_sample_spec spec{};
    spec.format = *sampleFormat;
    spec.rate = format.samplesPerSec;
    spec.channels = static_cast<std::uint8_t>(format.channels);
    if (pa_sample_spec_valid(&spec) == 0) {
        return std::nullopt;
    }
    return spec;
}

bool streamEnded(pa_stream* stream) {
    return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream));
}

// What the two stream kinds share: the loop, the stream and its start.
class PulseStream {
public:
    explicit PulseStream(std::chrono::milliseconds timeout) : loop_(timeout) {}

    ~PulseStream() {
        if (stream_ != nullptr) {
            pa_stream_set_read_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
    }

    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

protected:
    OpenFailure create(const PcmFormat& format, const char* name) {
        if (!loop_.connect()) {
            return OpenFailure::Connect;
        }
        const auto spec = sampleSpecOf(format);
        if (!spec) {
            return OpenFailure::Create;
        }
        stream_ = pa_stream_new(loop_.context(), name, &*spec, nullptr);
        return stream_ == nullptr ? OpenFailure::Create : OpenFailure::None;
    }

    OpenFailure awaitReady() {
        const auto settled = [this] {
            return pa_stream_get_state(stream_) == PA_STREAM_READY || streamEnded(stream_);
        };
        const RunResult result = loop_.runUntil(settled, Clock::now() + loop_.timeout());
        return result == RunResult::Done && pa_stream_get_state(stream_) == PA_STREAM_READY
                   ? OpenFailure::None
                   : OpenFailure::Start;
    }

    StreamWake wake(RunResult result) const {
        switch (result) {
            case RunResult::Done:
                return streamEnded(stream_) ? StreamWake::Failed : StreamWake::Ready;
            case RunResult::TimedOut:
                return StreamWake::TimedOut;
            case RunResult::Stopped:
                return StreamWake::Stopped;
            case RunResult::Failed:
                break;
        }
        return StreamWake::Failed;
    }

    PulseLoop loop_;
    pa_stream* stream_ = nullptr;
};

class PulseCaptureStream : public CaptureStream, private PulseStream {
public:
    using PulseStream::PulseStream;

    void requestStop() override { loop_.requestStop(); }

    OpenFailure open(const std::string& id, const PcmFormat& format,
                     std::size_t blockBytes) override {
        blockBytes_ = blockBytes;
        if (const OpenFailure failure = create(format, "microphone test");
            failure != OpenFailure::None) {
            return failure;
        }
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
        // The server hands over one block per wake-up instead of many small fragments.
        attr.fragsize = static_cast<std::uint32_t>(blockBytes);
        pa_stream_set_read_callback(stream_, onReadable, this);
        if (pa_stream_connect_record(stream_, id.c_str(), &attr,
                                     static_cast<pa_stream_flags_t>(
                                         PA_STREAM_DONT_MOVE | PA_STREAM_ADJUST_LATENCY)) < 0) {
            return OpenFailure::Create;
        }
        return awaitReady();
    }

    StreamWake waitBlock(std::vector<unsigned char>& block) override {
        const auto full = [this] { return pending_.size() >= blockBytes_ || streamEnded(stream_); };
        const StreamWake result = wake(loop_.runUntil(full));
        if (result != StreamWake::Ready || pending_.size() < blockBytes_) {
            return result == StreamWake::Ready ? StreamWake::Failed : result;
        }
        const auto end = pending_.begin() + static_cast<std::ptrdiff_t>(blockBytes_);
        block.assign(pending_.begin(), end);
        pending_.erase(pending_.begin(), end);
        return StreamWake::Ready;
    }

private:
    static void onReadable(pa_stream* stream, std::size_t, void* userdata) {
        auto* self = static_cast<PulseCaptureStream*>(userdata);
        while (pa_stream_readable_size(stream) > 0) {
            const void* data = nullptr;
            std::size_t length = 0;
            if (pa_stream_peek(stream, &data, &length) < 0 || length == 0) {
                return;
            }
            const auto* bytes = static_cast<const unsigned char*>(data);
            if (bytes == nullptr) {
                self->pending_.insert(self->pending_.end(), length, 0);  // a hole: silence
            } else {
                self->pending_.insert(self->pending_.end(), bytes, bytes + length);
            }
            pa_stream_drop(stream);
        }
    }

    std::size_t blockBytes_ = 0;
    std::vector<unsigned char> pending_;
};

class PulsePlaybackStream : public PlaybackStream, private PulseStream {
public:
    using PulseStream::PulseStream;

    void requestStop() override { loop_.requestStop(); }

    OpenFailure open(const std::string& id, const PcmFormat& format, std::size_t blockBytes,
                     std::size_t ringBytes) override {
        blockBytes_ = blockBytes;
        if (const OpenFailure failure = create(format, "speaker test");
            failure != OpenFailure::None) {
            return failure;
        }
        // The server's buffer is the ring: it asks for more once a whole block has played.
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(ringBytes);
        attr.tlength = static_cast<std::uint32_t>(ringBytes);
        attr.prebuf = static_cast<std::uint32_t>(blockBytes);
        attr.minreq = static_cast<std::uint32_t>(blockBytes);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        if (pa_stream_connect_playback(stream_, id.c_str(), &attr, PA_STREAM_DONT_MOVE, nullptr,
                                       nullptr) < 0) {
            return OpenFailure::Create;
        }
        return awaitReady();
    }

    StreamWake waitWritable(std::chrono::milliseconds timeout) override {
        const auto fits = [this] {
            return streamEnded(stream_) || pa_stream_writable_size(stream_) >= blockBytes_;
        };
        return wake(loop_.runUntil(fits, Clock::now() + timeout));
    }

    bool write(const unsigned char* bytes, std::size_t length) override {
        return pa_stream_write(stream_, bytes, length, nullptr, 0, PA_SEEK_RELATIVE) == 0;
    }

    StreamWake drain(std::chrono::milliseconds timeout) override {
        bool drained = false;
        pa_operation* operation = pa_stream_drain(
            stream_, [](pa_stream*, int, void* done) { *static_cast<bool*>(done) = true; },
            &drained);
        if (operation == nullptr) {
            return StreamWake::Failed;
        }
        const StreamWake result = wake(loop_.runUntil(
            [&] { return drained || streamEnded(stream_); }, Clock::now() + timeout));
        if (!drained) {
            pa_operation_cancel(operation);  // its callback must not write into `drained` later
        }
        pa_operation_unref(operation);
        return result;
    }

private:
    std::size_t blockBytes_ = 0;
};

// One listing of sources or sinks, filled in by the callbacks on the caller's thread.
struct DeviceListAnswer {
    bool done = false;
    bool failed = false;
    std::vector<SoundDeviceEntry> devices;
};

template <typename Info>
void onDeviceEntry(pa_context*, const Info* info, int eol, void* userdata) {
    auto* answer = static_cast<DeviceListAnswer*>(userdata);
    if (eol != 0) {
        answer->failed = eol < 0;
        answer->done = true;
        return;
    }
    if (info != nullptr && info->name != nullptr) {
        answer->devices.push_back(
            {info->description != nullptr ? info->description : info->name, info->name});
    }
}

class PulseSoundServer : public SoundServer {
public:
    explicit PulseSoundServer(std::chrono::milliseconds timeout) : timeout_(timeout) {}

    std::optional<std::vector<SoundDeviceEntry>> recordingDevices() override {
        return list([](pa_context* context, DeviceListAnswer* answer) {
            return pa_context_get_source_info_list(context, onDeviceEntry<pa_source_info>, answer);
        });
    }

    std::optional<std::vector<SoundDeviceEntry>> playbackDevices() override {
        return list([](pa_context* context, DeviceListAnswer* answer) {
            return pa_context_get_sink_info_list(context, onDeviceEntry<pa_sink_info>, answer);
        });
    }

    std::shared_ptr<CaptureStream> newCaptureStream() override {
        return std::make_shared<PulseCaptureStream>(timeout_);
    }

    std::shared_ptr<PlaybackStream> newPlaybackStream() override {
        return std::make_shared<PulsePlaybackStream>(timeout_);
    }

private:
    template <typename Request>
    std::optional<std::vector<SoundDeviceEntry>> list(Request request) {
        PulseLoop loop(timeout_);
        if (!loop.connect()) {
            return std::nullopt;
        }
        DeviceListAnswer answer;
        pa_operation* operation = request(loop.context(), &answer);
        if (operation == nullptr) {
            return std::nullopt;
        }
        const RunResult result =
            loop.runUntil([&] { return answer.done; }, Clock::now() + timeout_);
        if (result != RunResult::Done) {
            pa_operation_cancel(operation);  // its callback must not write into `answer` later
        }
        pa_operation_unref(operation);
        if (result != RunResult::Done || answer.failed) {
            return std::nullopt;
        }
        return std::move(answer.devices);
    }

    std::chrono::milliseconds timeout_;
};

}  // namespace

std::shared_ptr<SoundServer> systemSoundServer(std::chrono::milliseconds timeout) {
    return std::make_shared<PulseSoundServer>(timeout);
}

}  // namespace fenwix::devices
