// Live push: CPU time per second of stream of our push (the live-streaming library with its
// virtual camera, 1280x720 at 30 fps, 768 kbit/s, and a microphone of a private sound server)
// against gst-launch-1.0 running the very pipeline the library logged, and against the ffmpeg
// CLI (libx264 ultrafast zerolatency + AAC), all to the same loopback RTMP receiver. Then the
// delay from a picture's capture to its decode at a receiver reading the stream, for our push
// and for the ffmpeg publisher: both paint their capture time into the picture.
//
//     bench_livepush [--quick]        (--quick: shorter runs, for CTest label bench)
#include "sdk/kelvramedia/clockstamp.h"
#include "sdk/kelvramedia/kelvramedia.h"
#include "support/capturerecorder.h"
#include "support/captureslot.h"
#include "support/pulsedaemon.h"
#include "support/rtmpserver.h"
#include "support/tempfolder.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using fenwixtest::slot;
using KelvraMediaSdk::CaptureDeviceInfo;
using KelvraMediaSdk::ILiveCapture;

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFps = 30;
constexpr int kBitrate = 768000;

// CPU seconds (user + system) a process used so far.
double cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15) {
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Child {
    pid_t pid = -1;
    int input = -1;  // its standard input when asked for
};

Child spawn(const std::vector<std::string>& argv, bool withInput) {
    int pipeFds[2] = {-1, -1};
    if (withInput && ::pipe(pipeFds) != 0) {
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (withInput) {
            ::dup2(pipeFds[0], STDIN_FILENO);
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
        }
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    if (withInput) {
        ::close(pipeFds[0]);
    }
    return {pid, withInput ? pipeFds[1] : -1};
}

void end(Child& child) {
    if (child.input >= 0) {
        ::close(child.input);
    }
    if (child.pid > 0) {
        ::kill(child.pid, SIGINT);
        for (int i = 0; i < 300 && ::waitpid(child.pid, nullptr, WNOHANG) == 0; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        ::kill(child.pid, SIGKILL);
        ::waitpid(child.pid, nullptr, 0);
    }
    child = {};
}

// CPU per second of stream of a running publisher over `seconds`, once its stream flows.
double cpuPerStreamSecond(pid_t pid, fenwixtest::RtmpServer& rtmp, const std::string& stream,
                          int seconds) {
    if (!rtmp.waitForBytes(stream, 20000, 20s)) {
        std::fprintf(stderr, "%s: the receiver got no stream\n", stream.c_str());
        return 0;
    }
    std::this_thread::sleep_for(1s);  // past the start-up
    const double cpu0 = cpuSeconds(pid);
    const auto bytes0 = rtmp.recordedBytes(stream);
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu1 = cpuSeconds(pid);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double kbps =
        8.0 * static_cast<double>(rtmp.recordedBytes(stream) - bytes0) / wall / 1000;
    std::printf("  %-12s %.3f CPU s per stream s, %.0f kbit/s received\n", stream.c_str(),
                (cpu1 - cpu0) / wall, kbps);
    return (cpu1 - cpu0) / wall;
}

// Our push through the library, set up as the terminal's adapter does it.
class LibraryPush {
public:
    LibraryPush(const std::string& logFolder, const std::string& microphone) {
        KelvraMediaSdk::InitMediaSdk();
        KelvraMediaSdk::SetMediaSdkLogPath(logFolder.c_str());
        capture_ = KelvraMediaSdk::CreateLiveCapture();
        slot<void>(capture_, 35, kWidth, kHeight, kFps);
        slot<void>(capture_, 18, static_cast<KelvraMediaSdk::ICaptureCallback*>(&events_),
                   static_cast<void*>(capture_));
        choose(KelvraMediaSdk::GetCameraDeviceCount(), KelvraMediaSdk::GetCameraDevice,
               "Fenwix Virtual Camera", 34);
        choose(KelvraMediaSdk::GetMicrophoneCount(), KelvraMediaSdk::GetMicrophone, microphone, 1);
    }
    ~LibraryPush() {
        slot<void>(capture_, 0);
        KelvraMediaSdk::UnInitMediaSdk();
    }

    void start(const std::string& url) {
        slot<void>(capture_, 3, kWidth, kHeight, kFps);
        slot<void>(capture_, 4, kBitrate);
        slot<void>(capture_, 27, "type.mp4", 0);
        slot<void>(capture_, 24);
        slot<void>(capture_, 22, url.c_str());
        slot<int>(capture_, 16);
        if (!events_.waitFor(KelvraMediaSdk::kEventPushStarted, 20s)) {
            std::fprintf(stderr, "library push did not start: %s\n", events_.codes().c_str());
        }
    }
    void stop() {
        slot<void>(capture_, 17);
        events_.waitFor(KelvraMediaSdk::kEventPushStopped, 5s);
    }

private:
    void choose(int count, int (*get)(int, CaptureDeviceInfo*), const std::string& name,
                int setSlot) {
        for (int i = 0; i < count; ++i) {
            get(i, &chosen_[setSlot == 1]);
            if (name == chosen_[setSlot == 1].deviceName) {
                slot<void>(capture_, setSlot, &chosen_[setSlot == 1]);
                return;
            }
        }
        std::fprintf(stderr, "no device named %s\n", name.c_str());
    }

    fenwixtest::CaptureRecorder events_;
    ILiveCapture* capture_ = nullptr;
    CaptureDeviceInfo chosen_[2]{};
};

// The library's last logged push pipeline, for gst-launch.
std::vector<std::string> loggedPipeline(const std::string& logFile) {
    std::ifstream in(logFile);
    std::string line;
    std::string text;
    while (std::getline(in, line)) {
        const auto at = line.find("pipeline: ");
        if (at != std::string::npos && line.find("rtmp2sink") != std::string::npos) {
            text = line.substr(at + 10);
        }
    }
    // gst-launch takes the description as words; quoted values stay one word.
    std::vector<std::string> words = {"gst-launch-1.0", "-q"};
    std::string word;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            word += c;
        } else if (c == ' ' && !quoted) {
            if (!word.empty()) {
                words.push_back(word);
            }
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) {
        words.push_back(word);
    }
    return words;
}

// ffmpeg publishing raw pictures from `input` (a file looped at the frame rate, or its
// standard input) with the microphone.
std::vector<std::string> ffmpegPublisher(const std::string& input, bool fromPipe,
                                         const std::string& microphone, const std::string& url) {
    std::vector<std::string> argv = {"ffmpeg", "-hide_banner", "-loglevel", "error"};
    if (!fromPipe) {
        argv.insert(argv.end(), {"-nostdin", "-re", "-stream_loop", "-1"});
    }
    argv.insert(argv.end(), {"-f",         "rawvideo",
                             "-pix_fmt",   "yuv420p",
                             "-s",         std::to_string(kWidth) + "x" + std::to_string(kHeight),
                             "-framerate", std::to_string(kFps),
                             "-i",         fromPipe ? "pipe:0" : input,
                             "-f",         "pulse",
                             "-i",         microphone,
                             "-c:v",       "libx264",
                             "-preset",    "ultrafast",
                             "-tune",      "zerolatency",
                             "-b:v",       std::to_string(kBitrate / 1000) + "k",
                             "-g",         std::to_string(2 * kFps),
                             "-pix_fmt",   "yuv420p",
                             "-c:a",       "aac",
                             "-b:a",       "64k",
                             "-ar",        "44100",
                             "-ac",        "2",
                             "-f",         "flv",
                             url});
    return argv;
}

// Two seconds of the virtual camera's picture (the same test source) as raw I420 pictures, so
// that ffmpeg encodes what the others encode.
std::string testPictures(const TempFolder& folder) {
    const std::string file = folder.file("pictures.yuv");
    Child maker = spawn({"gst-launch-1.0", "-q", "videotestsrc",
                         "num-buffers=" + std::to_string(2 * kFps), "pattern=smpte", "!",
                         "video/x-raw,format=I420,width=" + std::to_string(kWidth) + ",height=" +
                             std::to_string(kHeight) + ",framerate=" + std::to_string(kFps) + "/1",
                         "!", "filesink", "location=" + file},
                        false);
    ::waitpid(maker.pid, nullptr, 0);
    return file;
}

// Reads a stream from the receiver with an ffmpeg decoder and collects how old each stamped
// picture is when it comes out of the decoder. Only the stamp's strip is handed over.
class DelayReader {
public:
    explicit DelayReader(const std::string& url) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            const std::string crop = "crop=" + std::to_string(kelvramedia::kClockStampWidth) + ":" +
                                     std::to_string(kelvramedia::kClockStampHeight) + ":0:0";
            ::execlp("ffmpeg", "ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin",
                     "-fflags", "nobuffer", "-flags", "low_delay", "-threads", "1", "-i",
                     url.c_str(), "-map", "0:v", "-vf", crop.c_str(), "-pix_fmt", "gray", "-f",
                     "rawvideo", "pipe:1", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        fd_ = fds[0];
        thread_ = std::thread([this] { read(); });
    }
    ~DelayReader() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (thread_.joinable()) {
            thread_.join();
        }
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    std::vector<double> delays() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return delays_;
    }
    int decoded() const { return decoded_; }

private:
    void read() {
        const std::size_t size = static_cast<std::size_t>(kelvramedia::kClockStampWidth) *
                                 kelvramedia::kClockStampHeight;
        std::vector<std::uint8_t> strip(size);
        while (true) {
            std::size_t got = 0;
            while (got < size) {
                const ssize_t n = ::read(fd_, strip.data() + got, size - got);
                if (n <= 0) {
                    return;
                }
                got += static_cast<std::size_t>(n);
            }
            const std::uint32_t now = kelvramedia::clockStampNow();
            ++decoded_;
            const auto stamp =
                kelvramedia::readClockStamp(strip.data(), kelvramedia::kClockStampWidth);
            const auto delay = stamp ? static_cast<std::int32_t>(now - *stamp) : -1;
            if (stamp && delay >= 0 && delay < 60000) {
                std::lock_guard<std::mutex> lock(mutex_);
                delays_.push_back(delay);
            }
        }
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<double> delays_;
    std::atomic<int> decoded_{0};
};

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

void printDelays(const char* who, const DelayReader& reader) {
    const auto d = reader.delays();
    std::printf("  %-12s p50 %4.0f ms  p95 %4.0f ms  max %4.0f ms  (%zu stamped of %d decoded)\n",
                who, percentile(d, 0.5), percentile(d, 0.95), percentile(d, 1.0), d.size(),
                reader.decoded());
}

// Feeds an ffmpeg publisher raw pictures at the frame rate, each stamped when it is written.
void feedStampedPictures(int fd, std::chrono::seconds duration) {
    std::vector<std::uint8_t> picture(kWidth * kHeight * 3 / 2, 128);
    const auto frame = std::chrono::microseconds(1000000 / kFps);
    auto next = std::chrono::steady_clock::now();
    const auto end = next + duration;
    while (std::chrono::steady_clock::now() < end) {
        kelvramedia::paintClockStamp(picture.data(), kWidth, kelvramedia::clockStampNow());
        std::size_t written = 0;
        while (written < picture.size()) {
            const ssize_t n = ::write(fd, picture.data() + written, picture.size() - written);
            if (n <= 0) {
                return;
            }
            written += static_cast<std::size_t>(n);
        }
        next += frame;
        std::this_thread::sleep_until(next);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int seconds = quick ? 5 : 20;
    ::signal(SIGPIPE, SIG_IGN);
    ::setenv("FENWIX_VIRTUAL_CAMERA", "1", 1);
    fenwixtest::PulseDaemon pulse;
    const std::string microphone = "Bench Microphone";
    const std::string source = pulse.addSource(microphone);
    fenwixtest::RtmpServer rtmp;
    TempFolder logs;

    std::printf("live push %dx%d at %d fps, %d kbit/s, %d s per publisher\n", kWidth, kHeight, kFps,
                kBitrate / 1000, seconds);
    std::printf("CPU per second of stream:\n");
    double ours = 0;
    {
        LibraryPush push(logs.path(), microphone);
        push.start(rtmp.url("ours"));
        ours = cpuPerStreamSecond(::getpid(), rtmp, "ours", seconds);
        push.stop();
    }
    // The logged pipeline pushes to "ours": the peer gets its own stream name.
    auto gstArgs = loggedPipeline(logs.file("KelvraMedia.log"));
    for (auto& word : gstArgs) {
        const auto at = word.find("/live/ours");
        if (at != std::string::npos) {
            word.replace(at, 10, "/live/gstlaunch");
        }
    }
    Child gst = spawn(gstArgs, false);
    const double gstCpu = cpuPerStreamSecond(gst.pid, rtmp, "gstlaunch", seconds);
    end(gst);
    Child ffmpeg =
        spawn(ffmpegPublisher(testPictures(logs), false, source, rtmp.url("ffmpeg")), false);
    const double ffmpegCpu = cpuPerStreamSecond(ffmpeg.pid, rtmp, "ffmpeg", seconds);
    end(ffmpeg);
    const double best = std::min(gstCpu > 0 ? gstCpu : 1e9, ffmpegCpu > 0 ? ffmpegCpu : 1e9);
    std::printf("CPU ratio ours/better peer: %.2fx (target <= 1.1x)\n", ours / best);

    std::printf("delay from capture to decode at a reader of the receiver:\n");
    const auto readFor = std::chrono::seconds(quick ? 5 : 15);
    {
        LibraryPush push(logs.path(), microphone);
        push.start(rtmp.url("ourdelay"));
        DelayReader reader(rtmp.url("ourdelay"));
        std::this_thread::sleep_for(readFor);
        printDelays("ours", reader);
        std::printf("  ours p95 %.0f ms (target <= 1000 ms)\n", percentile(reader.delays(), 0.95));
        push.stop();
    }
    {
        Child publisher = spawn(ffmpegPublisher("", true, source, rtmp.url("ffdelay")), true);
        std::thread feeder(feedStampedPictures, publisher.input, readFor + 6s);
        if (!rtmp.waitForBytes("ffdelay", 20000, 20s)) {
            std::fprintf(stderr, "ffmpeg publisher: the receiver got no stream\n");
        }
        DelayReader reader(rtmp.url("ffdelay"));
        std::this_thread::sleep_for(readFor);
        printDelays("ffmpeg", reader);
        feeder.join();
        end(publisher);
    }
    return 0;
}
