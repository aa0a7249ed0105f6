// Default device names and the speaker volume floor against a real sound server: a private
// PulseAudio daemon with null sinks whose descriptions are the friendly names.
#include "devices/audiodevicefunc.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/logcapture.h"
#include "support/pulsedaemon.h"
#include "support/tempfolder.h"

namespace {

using fenwixtest::PulseDaemon;

constexpr double kStep = 1.0 / PulseDaemon::kNorm;  // one volume step of the server

class AudioDeviceFuncTest : public ::testing::Test {
protected:
    PulseDaemon pulse;
    LogCapture log;
};

// ---- the volume floor ----

struct FloorCase {
    const char* label;
    double before;
    bool mutedBefore;
    double after;
};

class VolumeFloor : public AudioDeviceFuncTest, public ::testing::WithParamInterface<FloorCase> {};

TEST_P(VolumeFloor, EndsAtLeastAtTheFloorAndUnmuted) {
    const FloorCase& c = GetParam();
    const std::string sink = pulse.addSink("Speakers (USB Audio)");
    pulse.setSinkVolume(sink, c.before);
    pulse.setSinkMute(sink, c.mutedBefore);

    EXPECT_TRUE(audiodevicefunc::EnsureSpeakerVolume("Speakers"));

    EXPECT_NEAR(pulse.sinkVolume(sink), c.after, kStep);
    EXPECT_FALSE(pulse.sinkMuted(sink));
    EXPECT_GE(pulse.sinkVolume(sink), 0.8 - kStep);
    EXPECT_EQ(log.count("ERROR"), 0U);
}

INSTANTIATE_TEST_SUITE_P(Levels, VolumeFloor,
                         ::testing::Values(FloorCase{"quiet_raised", 0.5, false, 0.8},
                                           FloorCase{"silent_and_muted_raised", 0.0, true, 0.8},
                                           FloorCase{"just_below_raised", 0.79, false, 0.8},
                                           FloorCase{"at_floor_kept", 0.8, false, 0.8},
                                           FloorCase{"loud_kept", 0.93, false, 0.93},
                                           FloorCase{"loud_muted_kept_and_unmuted", 0.9, true, 0.9},
                                           FloorCase{"full_kept", 1.0, false, 1.0},
                                           FloorCase{"boosted_kept", 1.5, false, 1.5}),
                         [](const auto& info) { return std::string(info.param.label); });

// An unbalanced sink: the floor applies to the average level and never lowers a channel.
struct BalanceCase {
    const char* label;
    double left, right;
};

class VolumeFloorBalance : public AudioDeviceFuncTest,
                           public ::testing::WithParamInterface<BalanceCase> {};

TEST_P(VolumeFloorBalance, KeepsTheBalanceAndLowersNoChannel) {
    const BalanceCase& c = GetParam();
    const std::string sink = pulse.addSink("Speakers");
    pulse.setSinkChannelVolumes(sink, {c.left, c.right});

    audiodevicefunc::EnsureSpeakerVolume("Speakers");

    const std::vector<double> after = pulse.sinkChannelVolumes(sink);
    ASSERT_EQ(after.size(), 2U);
    EXPECT_GE(after[0], c.left - kStep);
    EXPECT_GE(after[1], c.right - kStep);
    EXPECT_GE((after[0] + after[1]) / 2, 0.8 - kStep);
    EXPECT_NEAR(after[1] / after[0], c.right / c.left, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Channels, VolumeFloorBalance,
                         ::testing::Values(BalanceCase{"quiet_average_loud_left", 1.0, 0.5},
                                           BalanceCase{"quiet_average_loud_right", 0.2, 0.9},
                                           BalanceCase{"loud_average_kept", 1.0, 0.7}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(AudioDeviceFuncTest, AFloorReachedOnceStaysThereOnTheNextCall) {
    const std::string sink = pulse.addSink("Speakers");
    pulse.setSinkVolume(sink, 0.3);
    audiodevicefunc::EnsureSpeakerVolume("Speakers");
    const double first = pulse.sinkVolume(sink);
    audiodevicefunc::EnsureSpeakerVolume("Speakers");
    EXPECT_DOUBLE_EQ(pulse.sinkVolume(sink), first);
    EXPECT_GE(first, 0.8);  // stored at the floor, so the second call only dips and restores
}

// ---- which endpoint the name selects ----

struct MatchCase {
    const char* label;
    std::vector<const char*> descriptions;  // in the order the sinks are made
    const char* wanted;
    int matched;  // index into descriptions; -1: none
};

class SpeakerMatching : public AudioDeviceFuncTest,
                        public ::testing::WithParamInterface<MatchCase> {};

TEST_P(SpeakerMatching, RaisesOnlyTheFirstSinkWhoseNameContainsTheWantedOne) {
    const MatchCase& c = GetParam();
    std::vector<std::string> sinks;
    for (const char* description : c.descriptions) {
        sinks.push_back(pulse.addSink(description));
        pulse.setSinkVolume(sinks.back(), 0.5);
        pulse.setSinkMute(sinks.back(), true);
    }

    EXPECT_TRUE(audiodevicefunc::EnsureSpeakerVolume(c.wanted));

    for (int i = 0; i < static_cast<int>(sinks.size()); ++i) {
        SCOPED_TRACE(c.descriptions[i]);
        EXPECT_NEAR(pulse.sinkVolume(sinks[i]), i == c.matched ? 0.8 : 0.5, kStep);
        EXPECT_EQ(pulse.sinkMuted(sinks[i]), i != c.matched);
    }
    EXPECT_TRUE(log.contains("EnumAudioEndpoints counts " + std::to_string(sinks.size())));
    // Every name up to the match is logged; the search ends at the first match.
    const int logged = c.matched < 0 ? static_cast<int>(sinks.size()) : c.matched + 1;
    for (int i = 0; i < static_cast<int>(sinks.size()); ++i) {
        EXPECT_EQ(log.count(c.descriptions[i]), i < logged ? 1U : 0U) << c.descriptions[i];
    }
    EXPECT_EQ(log.count("ERROR"), 0U);  // no match is no error
}

INSTANTIATE_TEST_SUITE_P(
    Names, SpeakerMatching,
    ::testing::Values(
        MatchCase{"lower_case_word", {"Built-in Audio", "Speakers (USB Audio)"}, "speakers", 1},
        MatchCase{"inner_part", {"Built-in Audio", "Speakers (USB Audio)"}, "usb", 1},
        MatchCase{"upper_case_part", {"Built-in Audio", "Speakers (USB Audio)"}, "BUILT-IN", 0},
        MatchCase{"first_of_two", {"HDMI Audio", "Speakers (USB Audio)"}, "audio", 0},
        MatchCase{
            "whole_name", {"Built-in Audio", "Speakers (USB Audio)"}, "Speakers (USB Audio)", 1},
        MatchCase{"chinese_name", {"Built-in Audio", "扬声器 (Realtek)"}, "扬声器", 1},
        MatchCase{"no_match", {"Built-in Audio", "Speakers (USB Audio)"}, "headphones", -1},
        MatchCase{"longer_than_name", {"USB"}, "USB Audio", -1}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(AudioDeviceFuncTest, WithoutAnySinkNothingHappensAndNothingIsAnError) {
    EXPECT_TRUE(audiodevicefunc::EnsureSpeakerVolume("speakers"));
    EXPECT_TRUE(log.contains("Adjust System Volume"));
    EXPECT_TRUE(log.contains("EnumAudioEndpoints counts 0"));
    EXPECT_EQ(log.count("ERROR"), 0U);
}

// ---- default device names ----

TEST_F(AudioDeviceFuncTest, DefaultNamesAreTheDescriptionsOfTheDefaultSinkAndSource) {
    pulse.addSink("Built-in Audio");
    const std::string speaker = pulse.addSink("Speakers (USB Audio)");
    pulse.addSource("Line In");
    const std::string microphone = pulse.addSource("Microphone (USB Audio)");
    pulse.setDefaultSink(speaker);
    pulse.setDefaultSource(microphone);

    CAudioDeviceFunc func;
    std::string render = "unchanged";
    std::string capture = "unchanged";
    EXPECT_TRUE(func.GetDefaultRenderName(render));
    EXPECT_TRUE(func.GetDefaultCaptureName(capture));
    EXPECT_EQ(render, "Speakers (USB Audio)");
    EXPECT_EQ(capture, "Microphone (USB Audio)");
    EXPECT_EQ(log.count("Adjust System Volume"), 2U);
    EXPECT_TRUE(log.contains("Microphone (USB Audio)"));
}

TEST_F(AudioDeviceFuncTest, ADefaultDeviceAddedLaterIsSeenAtTheNextCall) {
    CAudioDeviceFunc func;
    std::string render = "unchanged";
    EXPECT_FALSE(func.GetDefaultRenderName(render));
    pulse.setDefaultSink(pulse.addSink("Speakers"));
    EXPECT_TRUE(func.GetDefaultRenderName(render));
    EXPECT_EQ(render, "Speakers");
}

TEST_F(AudioDeviceFuncTest, WithoutADefaultDeviceTheNameStaysAndTheCallFails) {
    CAudioDeviceFunc func;
    std::string render = "Same as system";
    std::string capture = "Same as system";
    EXPECT_FALSE(func.GetDefaultRenderName(render));
    EXPECT_FALSE(func.GetDefaultCaptureName(capture));
    EXPECT_EQ(render, "Same as system");
    EXPECT_EQ(capture, "Same as system");
    EXPECT_EQ(log.count("Activate failed endpointVolume is NULL"), 2U);
}

// ---- no server, or one that never answers ----

// Points this process's sound clients at `server` while it lives.
class ScopedPulseServer {
public:
    explicit ScopedPulseServer(const std::string& server) {
        if (const char* old = std::getenv("PULSE_SERVER")) {
            saved_ = old;
            hadOld_ = true;
        }
        ::setenv("PULSE_SERVER", server.c_str(), 1);
    }
    ~ScopedPulseServer() {
        if (hadOld_) {
            ::setenv("PULSE_SERVER", saved_.c_str(), 1);
        } else {
            ::unsetenv("PULSE_SERVER");
        }
    }
    ScopedPulseServer(const ScopedPulseServer&) = delete;
    ScopedPulseServer& operator=(const ScopedPulseServer&) = delete;

private:
    std::string saved_;
    bool hadOld_ = false;
};

// A socket that takes connections and never says a word.
class SilentServer {
public:
    explicit SilentServer(const std::string& path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof(address.sun_path) - 1);
        ok_ = fd_ >= 0 &&
              ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
              ::listen(fd_, 8) == 0;
    }
    ~SilentServer() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    bool ok() const { return ok_; }

private:
    int fd_ = -1;
    bool ok_ = false;
};

struct NoServerCase {
    const char* label;
    bool silentServer;  // false: nothing listens at the address
};

class NoSoundServer : public ::testing::TestWithParam<NoServerCase> {};

TEST_P(NoSoundServer, EveryCallFailsWithItsLineAndReturns) {
    TempFolder folder;
    const std::string socketPath = folder.file("native");
    std::unique_ptr<SilentServer> silent;
    if (GetParam().silentServer) {
        silent = std::make_unique<SilentServer>(socketPath);
        ASSERT_TRUE(silent->ok());
    }
    ScopedPulseServer pointAt("unix:" + socketPath);
    LogCapture log;
    CAudioDeviceFunc func;
    std::string render = "kept";
    std::string capture = "kept";

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(func.GetDefaultRenderName(render));
    EXPECT_FALSE(func.GetDefaultCaptureName(capture));
    EXPECT_TRUE(audiodevicefunc::EnsureSpeakerVolume("speakers"));
    const auto spent = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(render, "kept");
    EXPECT_EQ(capture, "kept");
    EXPECT_EQ(log.count("CoCreateInstance failed"), 3U);
    EXPECT_EQ(log.count("Adjust System Volume"), 3U);
    EXPECT_EQ(log.count("EnumAudioEndpoints"), 0U);
    // Bounded: each call gives up after the server time-out instead of hanging.
    EXPECT_LT(spent, 3 * CAudioDeviceFunc::kServerTimeout + std::chrono::seconds(3));
}

INSTANTIATE_TEST_SUITE_P(Servers, NoSoundServer,
                         ::testing::Values(NoServerCase{"nothing_listening", false},
                                           NoServerCase{"silent_listener", true}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
