// The microphone test's cost while it runs: CPU time and wake-ups of the capture thread
// (capture plus level computation) over a few seconds of a tone, against parec recording the
// same source in the same run. Needs pulseaudio, paplay and parec; starts a private daemon.
#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "devices/directsoundaudioin.h"
#include "devices/levelmeter.h"
#include "support/pulsedaemon.h"
#include "support/soundfixtures.h"
#include "support/tempfolder.h"

namespace {

std::set<std::string> tasks(const std::string& pid) {
    std::set<std::string> out;
    if (DIR* dir = opendir(("/proc/" + pid + "/task").c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                out.insert(entry->d_name);
            }
        }
        closedir(dir);
    }
    return out;
}

struct Usage {
    double cpuSeconds = 0;
    long wakeups = 0;  // voluntary context switches: each is one sleep ended
};

// CPU time and wake-ups of one task (pid/task/tid) or of a whole process (pid/pid).
Usage usageOf(const std::string& path) {
    Usage usage;
    std::ifstream stat(path + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0;
    long stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) {
            utime = std::stol(field);
        } else if (i == 15) {
            stime = std::stol(field);
        }
    }
    usage.cpuSeconds =
        static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
    std::ifstream status(path + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
            usage.wakeups = std::stol(line.substr(line.find(':') + 1));
        }
    }
    return usage;
}

class CountingMeter : public fenwix::devices::LevelMeter {
public:
    void Feed(const unsigned char* bytes, std::size_t length) override {
        last = fenwix::devices::levelOf(bytes, length);
        ++blocks;
    }
    void Clear() override {}
    std::atomic<int> blocks{0};
    std::atomic<int> last{0};
};

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 && std::string(argv[1]) == "--quick" ? 3 : 10;
    fenwixtest::PulseDaemon pulse;
    TempFolder folder;
    const std::string sink = pulse.addSink("Speakers");
    const std::string tone = folder.write(
        "tone.wav", fenwixtest::waveFile(2, 44100, 16,
                                         fenwixtest::sineData(8000, 1000, 44100, 2, seconds + 5)));
    fenwixtest::ChildProcess player({"paplay", "--device=" + sink, tone});

    CountingMeter meter;
    CDirectSoundAudioIn in;
    in.SetSpectrum(&meter);
    const std::string self = std::to_string(getpid());
    const auto before = tasks(self);
    if (!in.Start("Monitor of Speakers")) {
        std::fprintf(stderr, "capture did not start\n");
        return 1;
    }
    std::string thread;
    for (const auto& tid : tasks(self)) {
        if (before.count(tid) == 0) {
            thread = tid;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // past the stream's start
    const Usage ours0 = usageOf("/proc/" + self + "/task/" + thread);
    const int blocks0 = meter.blocks;

    // The peer: parec recording the same monitor in the same format for the same time.
    fenwixtest::ChildProcess recorder({"parec", "--device=" + sink + ".monitor", "--raw",
                                       "--format=s16le", "--rate=44100", "--channels=2",
                                       folder.file("peer.raw")});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::string peerPid = std::to_string(recorder.pid());
    const Usage peer0 = usageOf("/proc/" + peerPid + "/task/" + peerPid);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() + 0.5;
    const Usage ours1 = usageOf("/proc/" + self + "/task/" + thread);
    const Usage peer1 = usageOf("/proc/" + peerPid + "/task/" + peerPid);
    const int blocks = meter.blocks - blocks0;
    in.waitThreadStop();
    recorder.stop();

    const double oursPercent = 100 * (ours1.cpuSeconds - ours0.cpuSeconds) / wall;
    const double peerPercent = 100 * (peer1.cpuSeconds - peer0.cpuSeconds) / (wall - 0.5);
    std::printf(
        "capture + level: %.2f %% of a core over %.1f s, %d blocks (level %d), "
        "%ld wake-ups = %.2f per block\n",
        oursPercent, wall, blocks, meter.last.load(), ours1.wakeups - ours0.wakeups,
        blocks > 0 ? static_cast<double>(ours1.wakeups - ours0.wakeups) / blocks : 0.0);
    std::printf("parec (peer, main thread): %.2f %% of a core, %ld wake-ups\n", peerPercent,
                peer1.wakeups - peer0.wakeups);
    return 0;
}
