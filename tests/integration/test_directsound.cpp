// The speaker test against a real sound server: the player plays into a null sink of a private
// PulseAudio daemon while parec records that sink's monitor.
#include "devices/directsound.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>

#include "devices/directsoundaudioin.h"
#include "support/logcapture.h"
#include "support/pulsedaemon.h"
#include "support/soundfixtures.h"
#include "support/tempfolder.h"

namespace {

using fenwixtest::ChildProcess;
using fenwixtest::PulseDaemon;
using fenwixtest::RecordingMeter;

constexpr const char* kSpeaker = "Speakers (USB Audio)";
constexpr double kToneAmplitude = 8000;

class SpeakerTest : public ::testing::Test {
protected:
    void SetUp() override { sink = pulse.addSink(kSpeaker); }

    // Records the sink's monitor as 44100 Hz 16-bit stereo into a file until stopRecording().
    void startRecording() {
        recorder = std::make_unique<ChildProcess>(std::vector<std::string>{
            "parec", "--device=" + sink + ".monitor", "--raw", "--format=s16le", "--rate=44100",
            "--channels=2", "--latency-msec=20", folder.file("recorded.raw")});
        // parec is recording once its stream shows on the server.
        ASSERT_TRUE(fenwixtest::waitUntil([&] {
            return pulse.pactl({"list", "short", "source-outputs"}).find('\n') != std::string::npos;
        }));
    }

    std::vector<std::int16_t> stopRecording() {
        recorder->stop();
        return fenwixtest::samplesOf(fenwixtest::readBinary(folder.file("recorded.raw")));
    }

    // 30 s of a 1 kHz sine of amplitude kToneAmplitude, 44100 Hz stereo.
    std::string longTone() {
        return folder.write(
            "long.wav",
            fenwixtest::waveFile(2, 44100, 16,
                                 fenwixtest::sineData(kToneAmplitude, 1000, 44100, 2, 30)));
    }

    void playToTheEnd(const std::string& path) {
        CDirectSound player;
        player.Play(&meter, path, kSpeaker);
        ASSERT_TRUE(
            fenwixtest::waitUntil([&] { return meter.clears() > 0; }, std::chrono::seconds(20)));
    }

    PulseDaemon pulse;
    LogCapture log;
    TempFolder folder;
    RecordingMeter meter;
    std::string sink;
    std::unique_ptr<ChildProcess> recorder;
};

// Where `part` occurs in `recorded`, sample by sample within one step; -1 if nowhere.
long find(const std::vector<std::int16_t>& recorded, const std::vector<std::int16_t>& part) {
    const auto at =
        std::search(recorded.begin(), recorded.end(), part.begin(), part.end(),
                    [](std::int16_t a, std::int16_t b) { return std::abs(a - b) <= 1; });
    return at == recorded.end() ? -1 : static_cast<long>(at - recorded.begin());
}

// The frequency of the loudest stretch of a stereo recording, from its rising zero crossings.
double toneFrequency(const std::vector<std::int16_t>& stereo, int rate) {
    std::vector<std::int16_t> left;
    for (std::size_t i = 0; i < stereo.size(); i += 2) {
        if (std::abs(stereo[i]) > 0 || !left.empty()) {
            left.push_back(stereo[i]);
        }
    }
    while (!left.empty() && left.back() == 0) {
        left.pop_back();
    }
    int rising = 0;
    for (std::size_t i = 1; i < left.size(); ++i) {
        rising += (left[i - 1] < 0 && left[i] >= 0) ? 1 : 0;
    }
    return left.empty() ? 0 : rising * static_cast<double>(rate) / left.size();
}

// The test sound the build draws beside the terminal (build/app/wav); none without the GUI.
std::string deliveredTestSound() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    const auto path = exe.parent_path() / "../../app/wav/test.wav";
    return std::filesystem::exists(path, error) ? path.string() : std::string();
}

TEST_F(SpeakerTest, TheDeliveredSoundReachesTheSinkAsItIs) {
    const std::string wav = deliveredTestSound();
    if (wav.empty()) {
        GTEST_SKIP() << "no delivered test sound in this build";
    }
    const std::string file = fenwixtest::readBinary(wav);
    ASSERT_GT(file.size(), 44U + 4 * 19200U);
    startRecording();
    playToTheEnd(wav);
    const auto recorded = stopRecording();

    // A stretch from the middle of the file's data, found sample for sample in the recording:
    // same rate, same channels, nothing lost or reordered.
    const auto samples = fenwixtest::samplesOf(file.substr(44));
    const std::vector<std::int16_t> middle(samples.begin() + samples.size() / 3,
                                           samples.begin() + samples.size() / 3 + 8192);
    EXPECT_GE(find(recorded, middle), 0);
    EXPECT_GE(meter.levels().size(), 4U);
    EXPECT_TRUE(log.contains("audio out thread start"));
}

TEST_F(SpeakerTest, An8000HzMonoFilePlaysAtItsOwnRate) {
    const std::string path = folder.write(
        "mono8k.wav",
        fenwixtest::waveFile(1, 8000, 16, fenwixtest::sineData(16000, 500, 8000, 1, 3)));
    startRecording();
    playToTheEnd(path);
    const auto recorded = stopRecording();
    EXPECT_NEAR(toneFrequency(recorded, 44100), 500, 15);
}

TEST_F(SpeakerTest, PlayingAgainRestartsTheFile) {
    const std::string path = longTone();
    CDirectSound player;
    player.Play(&meter, path, kSpeaker);
    ASSERT_TRUE(meter.waitForLevel(fenwixtest::sineLevel(kToneAmplitude), 2));
    player.Play(&meter, path, kSpeaker);
    EXPECT_TRUE(meter.waitForLevel(fenwixtest::sineLevel(kToneAmplitude), 2));
    EXPECT_EQ(log.count("audio out thread start"), 2U);
    EXPECT_GE(log.count("audio out waitThreadStop"), 2U);
}

struct BadFile {
    const char* label;
    std::string content;  // empty: no file at all
    const char* logged;
};

std::string headerWith(unsigned channels, unsigned rate, unsigned bits) {
    return fenwixtest::waveFile(channels, rate, bits, std::string(4 * 19200, '\x10'));
}

class BadWaveFile : public SpeakerTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(BadWaveFile, EndsTheTestWithALogLineAndNoSound) {
    const BadFile& c = GetParam();
    const std::string path =
        c.content.empty() ? folder.file("missing.wav") : folder.write("bad.wav", c.content);
    CDirectSound player;
    player.Play(&meter, path, kSpeaker);
    EXPECT_TRUE(fenwixtest::waitUntil([&] { return log.contains(c.logged); }));
    EXPECT_TRUE(player.waitThreadStop());
    EXPECT_TRUE(meter.levels().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadWaveFile,
    ::testing::Values(
        BadFile{"Missing", "", "cannot open"},
        BadFile{"ShorterThanAHeader", std::string(43, 'R'), "shorter than a wave header"},
        BadFile{"NoChannels", headerWith(0, 44100, 16), "channels 0 rate 44100 bits 16"},
        BadFile{"NoRate", headerWith(2, 0, 16), "channels 2 rate 0 bits 16"},
        BadFile{"SevenBits", headerWith(2, 44100, 7), "channels 2 rate 44100 bits 7"},
        BadFile{"HugeValues", headerWith(65535, 4294967295U, 65535),
                "channels 65535 rate 4294967295 bits 65535"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(SpeakerTest, AFileOfOnlyAHeaderEndsAtTheFirstBlock) {
    const std::string path = folder.write("empty.wav", fenwixtest::waveFile(2, 44100, 16, ""));
    playToTheEnd(path);
    EXPECT_TRUE(meter.levels().empty());
    EXPECT_TRUE(fenwixtest::waitUntil([&] { return log.count("audio out thread") >= 2; }));
}

TEST_F(SpeakerTest, ANameNotInTheListLogsAndPlaysNothing) {
    const std::string path =
        folder.write("tone.wav", fenwixtest::waveFile(2, 44100, 16, std::string(80000, '\x10')));
    CDirectSound player;
    player.Play(&meter, path, "Speakers");
    EXPECT_TRUE(fenwixtest::waitUntil([&] { return log.contains("no speaker named Speakers"); }));
    EXPECT_TRUE(meter.levels().empty());
}

TEST_F(SpeakerTest, StopReturnsWhileTheServerHangs) {
    const std::string path = longTone();
    CDirectSound player;
    player.Play(&meter, path, kSpeaker);
    ASSERT_TRUE(meter.waitForLevel(fenwixtest::sineLevel(kToneAmplitude), 1));

    ::kill(pulse.pid(), SIGSTOP);
    auto stopped = std::async(std::launch::async, [&] { return player.waitThreadStop(); });
    const bool returned = stopped.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    ::kill(pulse.pid(), SIGCONT);
    EXPECT_TRUE(returned);
}

// What the device check window does when it closes while both tests run: the player and the
// capture go first, and no block reaches a meter after that.
TEST_F(SpeakerTest, DestroyingBothTestsWhileTheyRunEndsBothThreadsBeforeTheMetersGo) {
    const std::string path = longTone();
    RecordingMeter micMeter;
    auto player = std::make_unique<CDirectSound>();
    auto capture = std::make_unique<CDirectSoundAudioIn>();
    capture->SetSpectrum(&micMeter);
    player->Play(&meter, path, kSpeaker);
    ASSERT_TRUE(capture->Start(capture->devices().front().description));  // the sink's monitor
    ASSERT_TRUE(micMeter.waitForLevel(fenwixtest::sineLevel(kToneAmplitude), 1));

    player.reset();
    capture.reset();
    meter.close();
    micMeter.close();

    EXPECT_FALSE(meter.fedAfterClose());
    EXPECT_FALSE(micMeter.fedAfterClose());
    EXPECT_TRUE(log.contains("CDirectSound::~CDirectSound()"));
    EXPECT_TRUE(log.contains("CDirectSoundAudioIn::~CDirectSoundAudioIn"));
}

}  // namespace
