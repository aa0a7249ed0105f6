// The microphone test against a real sound server: a private PulseAudio daemon whose null sinks
// play known tones (paplay), captured from their monitors.
#include "devices/directsoundaudioin.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <future>
#include <string>

#include "support/logcapture.h"
#include "support/pulsedaemon.h"
#include "support/soundfixtures.h"
#include "support/tempfolder.h"

namespace {

using fenwixtest::ChildProcess;
using fenwixtest::PulseDaemon;
using fenwixtest::RecordingMeter;

constexpr double kLoud = 8000;
constexpr double kQuiet = 2000;

class MicrophoneCapture : public ::testing::Test {
protected:
    // A sink that plays a 1 kHz sine of `amplitude` for a minute; the description of its monitor.
    std::string toneSink(const std::string& description, double amplitude) {
        const std::string sink = pulse.addSink(description);
        const std::string file = folder.write(
            sink + ".wav", fenwixtest::waveFile(
                               2, 44100, 16, fenwixtest::sineData(amplitude, 1000, 44100, 2, 60)));
        players.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{"paplay", "--device=" + sink, file}));
        return monitorOf(sink);
    }

    // Captures the monitor of a sink playing the loud tone, until the meter shows it.
    void captureATone(std::unique_ptr<CDirectSoundAudioIn>& in) {
        const std::string monitor = toneSink("Speakers (USB Audio)", kLoud);
        in = std::make_unique<CDirectSoundAudioIn>();
        in->SetSpectrum(&meter);
        ASSERT_TRUE(in->Start(monitor));
        ASSERT_TRUE(meter.waitForLevel(fenwixtest::sineLevel(kLoud), 1));
    }

    static std::string monitorOf(const std::string& sink) {
        CDirectSoundAudioIn probe;
        for (const auto& device : probe.devices()) {
            if (device.id == sink + ".monitor") {
                return device.description;
            }
        }
        return {};
    }

    PulseDaemon pulse;
    LogCapture log;
    TempFolder folder;
    std::vector<std::unique_ptr<ChildProcess>> players;
    RecordingMeter meter;
};

TEST_F(MicrophoneCapture, ListsTheSourcesByDescriptionInTheServersOrder) {
    pulse.addSource("Microphone (USB Audio)");
    pulse.addSource("Line In");
    CDirectSoundAudioIn in;
    std::vector<std::string> names;
    for (const auto& device : in.devices()) {
        names.push_back(device.description);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Microphone (USB Audio)", "Line In"}));
}

TEST_F(MicrophoneCapture, MonitorOfAPlayingSinkGivesTheTonesLevelInWholeBlocks) {
    const std::string monitor = toneSink("Speakers (USB Audio)", kLoud);
    ASSERT_FALSE(monitor.empty());
    CDirectSoundAudioIn in;
    in.SetSpectrum(&meter);

    ASSERT_TRUE(in.Start(monitor));
    EXPECT_TRUE(meter.waitForLevel(fenwixtest::sineLevel(kLoud)));
    in.waitThreadStop();

    const auto sizes = meter.sizes();
    EXPECT_TRUE(std::all_of(sizes.begin(), sizes.end(), [](std::size_t s) { return s == 22048; }));
    EXPECT_TRUE(log.contains("audio in thread start"));
    EXPECT_EQ(log.count("audio in thread"), 2U);  // the start and the end of the thread
    EXPECT_TRUE(log.contains("audio in waitThreadStop"));
}

TEST_F(MicrophoneCapture, RestartsOnTheSameAndOnAnotherDevice) {
    const std::string loud = toneSink("Speakers (USB Audio)", kLoud);
    const std::string quiet = toneSink("Headphones", kQuiet);
    CDirectSoundAudioIn in;
    in.SetSpectrum(&meter);

    ASSERT_TRUE(in.Start(loud));
    ASSERT_TRUE(meter.waitForLevel(fenwixtest::sineLevel(kLoud)));
    ASSERT_TRUE(in.Start(loud));
    EXPECT_TRUE(meter.waitForLevel(fenwixtest::sineLevel(kLoud)));
    ASSERT_TRUE(in.Start(quiet));
    EXPECT_TRUE(meter.waitForLevel(fenwixtest::sineLevel(kQuiet)));
}

TEST_F(MicrophoneCapture, ANameNotInTheListFailsWithItsLogLine) {
    pulse.addSource("Microphone (USB Audio)");
    CDirectSoundAudioIn in;
    in.SetSpectrum(&meter);
    EXPECT_FALSE(in.Start("Microphone"));  // a prefix is not the name
    EXPECT_TRUE(log.contains("从麦克风设备列表中获取GUID失败"));
    EXPECT_TRUE(meter.levels().empty());
}

TEST_F(MicrophoneCapture, ADeviceThatGoesAwayEndsTheThread) {
    std::unique_ptr<CDirectSoundAudioIn> in;
    ASSERT_NO_FATAL_FAILURE(captureATone(in));

    pulse.pactl({"unload-module", "module-null-sink"});

    EXPECT_TRUE(fenwixtest::waitUntil(
        [&] { return log.contains("the microphone or the sound server went away"); }));
    EXPECT_TRUE(in->waitThreadStop());
}

TEST_F(MicrophoneCapture, StopReturnsWhileTheServerHangs) {
    std::unique_ptr<CDirectSoundAudioIn> in;
    ASSERT_NO_FATAL_FAILURE(captureATone(in));

    ::kill(pulse.pid(), SIGSTOP);
    auto stopped = std::async(std::launch::async, [&] { return in->waitThreadStop(); });
    const bool returned = stopped.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    ::kill(pulse.pid(), SIGCONT);
    EXPECT_TRUE(returned);
}

TEST(MicrophoneCaptureWithoutServer, ListsNothingAndStartFails) {
    TempFolder folder;
    const char* saved = std::getenv("PULSE_SERVER");
    const std::string restore = saved != nullptr ? saved : "";
    ::setenv("PULSE_SERVER", ("unix:" + folder.file("none")).c_str(), 1);
    LogCapture log;
    {
        CDirectSoundAudioIn in;
        EXPECT_TRUE(in.devices().empty());
        EXPECT_FALSE(in.Start("Microphone"));
    }
    if (saved != nullptr) {
        ::setenv("PULSE_SERVER", restore.c_str(), 1);
    } else {
        ::unsetenv("PULSE_SERVER");
    }
    EXPECT_TRUE(log.contains("从麦克风设备列表中获取GUID失败"));
}

}  // namespace
