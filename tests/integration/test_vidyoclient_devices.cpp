// Device lists and the configuration record of the conference client library, with a real
// private sound server (or none) behind it.
#include "support/pulsedaemon.h"
#include "support/scopedenv.h"
#include "support/vidyoclientdriver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using fenwixtest::VidyoClientDriver;

using fenwixtest::ScopedEnv;

namespace {

struct Lists {
    std::vector<std::string> microphones, speakers, cameras;
};

std::vector<std::string> names(const char (*slots)[VIDYO_CLIENT_DEVICE_NAME_SIZE],
                               std::uint32_t count) {
    std::vector<std::string> out;
    for (std::uint32_t i = 0; i < count && i < VIDYO_CLIENT_MAX_DEVICES; ++i) {
        out.push_back(fenwixtest::fieldText(slots[i]));
    }
    return out;
}

std::unique_ptr<VidyoClientConfiguration> readConfiguration(VidyoClientDriver& driver) {
    auto config = std::make_unique<VidyoClientConfiguration>();
    EXPECT_TRUE(driver.request(VIDYO_CLIENT_REQUEST_GET_CONFIGURATION, *config));
    return config;
}

Lists lists(VidyoClientDriver& driver) {
    auto c = readConfiguration(driver);
    return {names(c->microphones, c->numberMicrophones), names(c->speakers, c->numberSpeakers),
            names(c->cameras, c->numberCameras)};
}

bool contains(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

struct CameraCase {
    const char* name;
    const char* value;  // FENWIX_VIRTUAL_CAMERA, null: unset
    bool listed;
};

class VidyoClientVirtualCamera : public ::testing::TestWithParam<CameraCase> {};

TEST_P(VidyoClientVirtualCamera, ListedOnlyWhenSwitchedOn) {
    ScopedEnv camera("FENWIX_VIRTUAL_CAMERA", GetParam().value);
    VidyoClientDriver driver;
    const Lists l = lists(driver);
    EXPECT_EQ(contains(l.cameras, "Fenwix Virtual Camera"), GetParam().listed);
    EXPECT_FALSE(contains(l.cameras, "Same as system")) << "cameras have no system entry";
}

INSTANTIATE_TEST_SUITE_P(Env, VidyoClientVirtualCamera,
                         ::testing::Values(CameraCase{"on", "1", true},
                                           CameraCase{"unset", nullptr, false},
                                           CameraCase{"zero", "0", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VidyoClientDevices, WithoutASoundServerOnlyTheSystemEntriesAreListed) {
    ScopedEnv server("PULSE_SERVER", "unix:/nonexistent/fenwix-no-sound-server");
    VidyoClientDriver driver;
    const Lists l = lists(driver);
    EXPECT_EQ(l.microphones, std::vector<std::string>{"Same as system"});
    EXPECT_EQ(l.speakers, std::vector<std::string>{"Same as system"});
}

TEST(VidyoClientDevices, SoundServerDevicesFollowTheSystemEntry) {
    fenwixtest::PulseDaemon pulse;
    const std::string sink = pulse.addSink("Speakers (USB Audio)");
    // A recording source of its own (not a monitor), remapped from the sink's monitor.
    pulse.pactl({"load-module", "module-remap-source", "master=" + sink + ".monitor",
                 "source_name=fenwix_mic", "source_properties=device.description=USB-Microphone"});
    VidyoClientDriver driver;
    const Lists l = lists(driver);
    ASSERT_FALSE(l.microphones.empty());
    ASSERT_FALSE(l.speakers.empty());
    EXPECT_EQ(l.microphones.front(), "Same as system");
    EXPECT_EQ(l.speakers.front(), "Same as system");
    EXPECT_TRUE(contains(l.speakers, "Speakers (USB Audio)"));
    EXPECT_TRUE(contains(l.microphones, "USB-Microphone"));
    for (const auto& name : l.microphones) {
        EXPECT_EQ(name.find("Monitor of"), std::string::npos)
            << "an output monitor is no microphone";
    }

    // A device added later shows on the next read, and the one in use stays in use.
    auto config = readConfiguration(driver);
    const auto speaker = std::find(l.speakers.begin(), l.speakers.end(), "Speakers (USB Audio)");
    config->currentSpeaker = static_cast<std::uint32_t>(speaker - l.speakers.begin());
    ASSERT_TRUE(driver.request(VIDYO_CLIENT_REQUEST_SET_CONFIGURATION, *config));
    pulse.addSink("HDMI Output");
    config = readConfiguration(driver);
    const auto after = names(config->speakers, config->numberSpeakers);
    EXPECT_TRUE(contains(after, "HDMI Output"));
    ASSERT_LT(config->currentSpeaker, after.size());
    EXPECT_EQ(after[config->currentSpeaker], "Speakers (USB Audio)");
}

TEST(VidyoClientConfiguration, WriteBackKeepsEveryByteTheLibraryDoesNotOwn) {
    ScopedEnv camera("FENWIX_VIRTUAL_CAMERA", "1");
    VidyoClientDriver driver;
    auto config = readConfiguration(driver);
    auto* bytes = reinterpret_cast<std::uint8_t*>(config.get());
    // Fill the unknown regions with a pattern and set the start options like the terminal.
    for (size_t i = 7680; i < 7712; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    }
    for (size_t i = 23096; i < sizeof(*config); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 13);
    }
    config->startOptionA = 0;
    config->startOptionB = 1;
    ASSERT_TRUE(driver.request(VIDYO_CLIENT_REQUEST_SET_CONFIGURATION, *config));
    auto again = readConfiguration(driver);
    EXPECT_EQ(std::memcmp(config.get(), again.get(), sizeof(*config)), 0);
    EXPECT_EQ(again->startOptionA, 0u);
    EXPECT_EQ(again->startOptionB, 1u);
}

TEST(VidyoClientConfiguration, IndexPastTheListIsRefusedAndChangesNothing) {
    VidyoClientDriver driver;
    auto config = readConfiguration(driver);
    const std::uint32_t before = config->currentMicrophone;
    config->currentMicrophone = config->numberMicrophones + 3;
    EXPECT_FALSE(driver.request(VIDYO_CLIENT_REQUEST_SET_CONFIGURATION, *config));
    EXPECT_EQ(readConfiguration(driver)->currentMicrophone, before);
}

TEST(VidyoClientRequests, WrongSizesUnknownCodesAndEarlyCallsAreRefused) {
    std::uint8_t small[4] = {};
    EXPECT_EQ(VidyoClientSendRequest(VIDYO_CLIENT_REQUEST_GET_ENDPOINT_ID, small, sizeof(small)),
              VIDYO_CLIENT_FAILED)
        << "before initialise";
    VidyoClientDriver driver;
    EXPECT_EQ(VidyoClientSendRequest(VIDYO_CLIENT_REQUEST_GET_CONFIGURATION, small, sizeof(small)),
              VIDYO_CLIENT_FAILED);
    EXPECT_EQ(VidyoClientSendRequest(VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_LIST, nullptr, 55304),
              VIDYO_CLIENT_FAILED);
    EXPECT_EQ(VidyoClientSendRequest(123456, small, sizeof(small)), VIDYO_CLIENT_FAILED);
    EXPECT_EQ(VidyoClientSendEvent(4242, nullptr, 0), VIDYO_CLIENT_FAILED);
    EXPECT_EQ(VidyoClientSendEvent(VIDYO_CLIENT_IN_EVENT_LOGIN, small, sizeof(small)),
              VIDYO_CLIENT_FAILED)
        << "a short log-in record";
    EXPECT_EQ(VidyoClientInitialize(nullptr, nullptr, nullptr), VIDYO_CLIENT_FAILED)
        << "initialised twice";

    VidyoClientVolume volume{70000};
    ASSERT_TRUE(driver.request(VIDYO_CLIENT_REQUEST_SET_VOLUME_AUDIO_OUT, volume));
    volume.volume = 0;
    ASSERT_TRUE(driver.request(VIDYO_CLIENT_REQUEST_GET_VOLUME_AUDIO_OUT, volume));
    EXPECT_EQ(volume.volume, 65535u) << "kept within the volume range";
    VidyoClientVolume mic{1234};
    ASSERT_TRUE(driver.request(VIDYO_CLIENT_REQUEST_SET_VOLUME_AUDIO_IN, mic));
    mic.volume = 0;
    ASSERT_TRUE(driver.request(VIDYO_CLIENT_REQUEST_GET_VOLUME_AUDIO_IN, mic));
    EXPECT_EQ(mic.volume, 1234u);
}

TEST(VidyoClientLifecycle, StopTwiceAndEventsAfterStop) {
    VidyoClientDriver driver;
    ASSERT_TRUE(driver.started());
    EXPECT_NE(VidyoClientStop(), 0);
    EXPECT_EQ(VidyoClientStop(), 0) << "nothing left to stop";
    EXPECT_EQ(VidyoClientSendEvent(VIDYO_CLIENT_IN_EVENT_LEAVE, nullptr, 0), VIDYO_CLIENT_FAILED);
}

}  // namespace
