// The audio device functions over fake endpoints: the steps of the volume floor in order, and
// what each failing step of the sound server leaves behind and logs.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devices/audiodevicefunc.h"
#include "support/logcapture.h"

namespace {

using fenwix::devices::AudioEndpointName;
using fenwix::devices::AudioEndpoints;
using fenwix::devices::AudioFlow;
using Clock = std::chrono::steady_clock;

// What the fake server holds and which of its steps fail.
struct FakeServer {
    std::vector<AudioEndpointName> sinks;
    std::map<std::string, float> volume;
    std::map<std::string, bool> muted;
    std::optional<std::string> defaultSink;
    std::optional<std::string> defaultSource;
    std::map<std::string, std::string> sourceNames;
    bool listFails = false;
    bool volumeReadFails = false;
    int failSetNumber = 0;  // the n-th volume set fails (1-based); 0: none
    bool muteFails = false;

    struct Set {
        float value;
        Clock::time_point at;
    };
    std::vector<Set> sets;
    std::vector<std::string> unmuted;
};

class FakeEndpoints : public AudioEndpoints {
public:
    explicit FakeEndpoints(FakeServer& server) : s_(server) {}

    std::optional<std::string> defaultEndpointId(AudioFlow flow) override {
        return flow == AudioFlow::Playback ? s_.defaultSink : s_.defaultSource;
    }
    std::optional<std::string> friendlyName(AudioFlow flow, const std::string& id) override {
        if (flow == AudioFlow::Recording) {
            auto it = s_.sourceNames.find(id);
            return it == s_.sourceNames.end() ? std::nullopt : std::optional(it->second);
        }
        for (const auto& sink : s_.sinks) {
            if (sink.id == id) {
                return sink.friendlyName;
            }
        }
        return std::nullopt;
    }
    std::optional<std::vector<AudioEndpointName>> playbackEndpoints() override {
        if (s_.listFails) {
            return std::nullopt;
        }
        return s_.sinks;
    }
    std::optional<float> volumeScalar(const std::string& id) override {
        if (s_.volumeReadFails) {
            return std::nullopt;
        }
        return s_.volume.at(id);
    }
    bool setVolumeScalar(const std::string& id, float scalar) override {
        s_.sets.push_back({scalar, Clock::now()});
        if (static_cast<int>(s_.sets.size()) == s_.failSetNumber) {
            return false;
        }
        s_.volume[id] = scalar;
        return true;
    }
    bool setMute(const std::string& id, bool mute) override {
        if (s_.muteFails) {
            return false;
        }
        s_.muted[id] = mute;
        if (!mute) {
            s_.unmuted.push_back(id);
        }
        return true;
    }

private:
    FakeServer& s_;
};

class AudioDeviceFuncFake : public ::testing::Test {
protected:
    AudioDeviceFuncFake() {
        server.sinks = {{"hdmi", "HDMI Output"}, {"nameless", std::nullopt}, {"usb", "Speakers"}};
        server.volume = {{"hdmi", 0.5F}, {"nameless", 0.5F}, {"usb", 0.5F}};
        server.muted = {{"hdmi", true}, {"nameless", true}, {"usb", true}};
    }

    CAudioDeviceFunc func() {
        return CAudioDeviceFunc([this] { return std::make_unique<FakeEndpoints>(server); });
    }

    FakeServer server;
    LogCapture log;
};

TEST_F(AudioDeviceFuncFake, ALoudSpeakerDipsForAWhileThenGetsItsExactLevelBack) {
    server.volume["usb"] = 0.93F;
    EXPECT_TRUE(func().EnsureSpeakerVolume("speakers"));
    ASSERT_EQ(server.sets.size(), 2U);
    EXPECT_FLOAT_EQ(server.sets[0].value, static_cast<float>(0.93F - 0.01));
    EXPECT_EQ(server.sets[1].value, 0.93F);  // the very value read, not a recomputed one
    EXPECT_GE(server.sets[1].at - server.sets[0].at, CAudioDeviceFunc::kDipDuration);
    EXPECT_EQ(server.unmuted, std::vector<std::string>{"usb"});
}

TEST_F(AudioDeviceFuncFake, AStoredSinglePrecisionFloorCountsAsReached) {
    server.volume["usb"] = 0.8F;  // slightly below 0.8 in double precision
    func().EnsureSpeakerVolume("speakers");
    ASSERT_EQ(server.sets.size(), 2U);
    EXPECT_EQ(server.sets[1].value, 0.8F);
}

TEST_F(AudioDeviceFuncFake, EndpointsWithoutANameAreSkippedAndNeverMatch) {
    EXPECT_TRUE(func().EnsureSpeakerVolume(""));  // the empty name is in every name
    ASSERT_EQ(server.sets.size(), 1U);
    EXPECT_EQ(server.unmuted, std::vector<std::string>{"hdmi"});
    EXPECT_TRUE(log.contains("EnumAudioEndpoints counts 3"));
    EXPECT_TRUE(log.contains("HDMI Output"));
}

struct FailureCase {
    const char* label;
    float before;
    int failSetNumber;
    bool listFails;
    bool volumeReadFails;
    bool muteFails;
    const char* line;  // the error line, exactly as logged
    std::size_t sets;  // volume sets attempted
    bool unmuted;
};

class FloorFailure : public AudioDeviceFuncFake,
                     public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FloorFailure, LogsItsLineStopsThereAndStillReportsSuccess) {
    const FailureCase& c = GetParam();
    server.volume["usb"] = c.before;
    server.failSetNumber = c.failSetNumber;
    server.listFails = c.listFails;
    server.volumeReadFails = c.volumeReadFails;
    server.muteFails = c.muteFails;

    EXPECT_TRUE(func().EnsureSpeakerVolume("speakers"));

    EXPECT_EQ(log.count(c.line), 1U) << c.line;
    EXPECT_EQ(log.count("ERROR"), 1U);
    EXPECT_EQ(server.sets.size(), c.sets);
    EXPECT_EQ(!server.unmuted.empty(), c.unmuted);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FloorFailure,
    ::testing::Values(FailureCase{"enumeration", 0.5F, 0, true, false, false,
                                  "EnumAudioEndpoints failed", 0, false},
                      FailureCase{"volume_read", 0.5F, 0, false, true, false,
                                  "Activate failed endpointVolume is NULL", 0, false},
                      FailureCase{"raise", 0.5F, 1, false, false, false,
                                  "SetMasterVolumeLevelScalar 0.8 failed", 1, false},
                      FailureCase{"dip", 0.93F, 1, false, false, false,
                                  "SetMasterVolumeLevelScalar 0.920000failed", 1, false},
                      FailureCase{"restore", 0.93F, 2, false, false, false,
                                  "SetMasterVolumeLevelScalar0.930000failed", 2, false},
                      FailureCase{"unmute", 0.5F, 0, false, false, true, "SetMute failed", 1,
                                  false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(AudioDeviceFuncFake, NoServerIsOneErrorLineForEveryOperation) {
    CAudioDeviceFunc none([] { return std::unique_ptr<AudioEndpoints>(); });
    std::string name = "kept";
    EXPECT_FALSE(none.GetDefaultRenderName(name));
    EXPECT_FALSE(none.GetDefaultCaptureName(name));
    EXPECT_TRUE(none.EnsureSpeakerVolume("speakers"));
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(log.count("CoCreateInstance failed"), 3U);
}

TEST_F(AudioDeviceFuncFake, ADefaultEndpointWhoseNameCannotBeReadStillCounts) {
    server.defaultSink = "gone";  // listed as default, vanished before its name was read
    server.defaultSource = "mic";
    server.sourceNames = {{"mic", "Microphone (USB)"}};
    std::string render = "kept";
    std::string capture = "kept";
    EXPECT_TRUE(func().GetDefaultRenderName(render));
    EXPECT_TRUE(func().GetDefaultCaptureName(capture));
    EXPECT_EQ(render, "kept");
    EXPECT_EQ(capture, "Microphone (USB)");
    EXPECT_EQ(log.count("ERROR"), 0U);
}

TEST(AudioDeviceNameMatch, IgnoresCaseOfLatinLettersOnly) {
    struct Case {
        const char* friendly;
        const char* wanted;
        bool matches;
    };
    const Case cases[] = {
        {"Speakers (USB Audio)", "speakers", true},
        {"Speakers (USB Audio)", "(usb", true},
        {"speakers", "SPEAKERS", true},
        {"Speakers", "Speakers 2", false},
        {"扬声器", "扬声", true},
        {"Speakers", "", true},
        {"", "a", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(audiodevicefunc::NameMatches(c.friendly, c.wanted), c.matches)
            << c.friendly << " / " << c.wanted;
    }
}

}  // namespace
