#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "service/commonutil.h"
#include "support/logcapture.h"
#include "support/tempfolder.h"

namespace {

// A configuration whose ini folder, user store and serial source are files of the test.
class LocalConfigTest : public ::testing::Test {
protected:
    std::unique_ptr<CComConfig> makeConfig() {
        ConfigSources sources;
        sources.registry = fenwix::platform::RegistryStore(folder.file("home"));
        sources.serialSources = {folder.write("serial", "SERIAL-1")};
        sources.iniFolder = folder.file("app/ini");
        return std::make_unique<CComConfig>(std::move(sources));
    }

    std::unique_ptr<CComConfig> loadWith(const std::string& configBody) {
        folder.write("app/ini/desktop.ini", "[CONFIG]\n" + configBody + "\n");
        auto config = makeConfig();
        config->loadLocalConfig();
        return config;
    }

    TempFolder folder;
};

// --- endpoints ---------------------------------------------------------------------------------

const std::string kProdApi = CComConfig::builtInApiBaseUrl(false);
const std::string kProdPush = CComConfig::builtInPushBaseUrl(false);
const std::string kTestApi = CComConfig::builtInApiBaseUrl(true);
const std::string kTestPush = CComConfig::builtInPushBaseUrl(true);

struct EndpointCase {
    const char* name;
    const char* body;
    bool testMode;
    std::string api;
    std::string push;
};

class Endpoints : public LocalConfigTest, public ::testing::WithParamInterface<EndpointCase> {};

TEST_P(Endpoints, TestKeyChoosesBothAndOverridesWin) {
    const EndpointCase& c = GetParam();
    const auto config = loadWith(c.body);
    EXPECT_EQ(config->getTestMode(), c.testMode);
    EXPECT_EQ(config->getApiBaseUrl(), c.api);
    EXPECT_EQ(config->getPushBaseUrl(), c.push);
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, Endpoints,
    ::testing::Values(EndpointCase{"TestOne", "test=1", true, kTestApi, kTestPush},
                      EndpointCase{"TestZero", "test=0", false, kProdApi, kProdPush},
                      EndpointCase{"TestText", "test=yes", false, kProdApi, kProdPush},
                      EndpointCase{"NoTest", "", false, kProdApi, kProdPush},
                      EndpointCase{"ApiOverride", "test=1\napibaseurl=http://127.0.0.1:18080/",
                                   true, "http://127.0.0.1:18080", kTestPush},
                      EndpointCase{"BothOverridden",
                                   "apibaseurl=http://127.0.0.1:1\npushbaseurl=http://127.0.0.1:2",
                                   false, "http://127.0.0.1:1", "http://127.0.0.1:2"},
                      EndpointCase{"EmptyOverrideIgnored", "apibaseurl=\npushbaseurl=", false,
                                   kProdApi, kProdPush}),
    [](const ::testing::TestParamInfo<EndpointCase>& info) { return info.param.name; });

TEST(BuiltInEndpoints, ArePlainHttpHostsAndProductionPushUsesPort8008) {
    for (const std::string& url : {kProdApi, kProdPush, kTestApi, kTestPush}) {
        EXPECT_EQ(url.rfind("http://", 0), 0U) << url;
        EXPECT_EQ(url.find('/', 7), std::string::npos) << url << " has a path";
    }
    EXPECT_EQ(kProdPush.substr(kProdPush.size() - 5), ":8008");
}

// --- the other keys ----------------------------------------------------------------------------

enum class Field {
    IsPull,
    Bitrate,
    Video,
    AudioIn,
    AudioOut,
    CheckIn,
    CheckOut,
    InNames,
    OutNames
};

std::string describe(const CComConfig& config, Field field) {
    std::ostringstream text;
    const auto join = [&text](const std::vector<std::string>& names) {
        text << names.size() << ":";
        for (const auto& name : names) {
            text << "[" << name << "]";
        }
    };
    switch (field) {
        case Field::IsPull:
            text << config.getIsPull();
            break;
        case Field::Bitrate:
            text << config.getBitrate();
            break;
        case Field::Video:
            text << config.getVideoMode();
            break;
        case Field::AudioIn:
            text << config.getAudioInMode();
            break;
        case Field::AudioOut:
            text << config.getAudioOutMode();
            break;
        case Field::CheckIn:
            text << config.getCheckAudioIn();
            break;
        case Field::CheckOut:
            text << config.getCheckAudioOut();
            break;
        case Field::InNames:
            join(config.getAudioInNames());
            break;
        case Field::OutNames:
            join(config.getAudioOutNames());
            break;
    }
    return text.str();
}

struct KeyCase {
    std::string body;
    Field field;
    std::string expected;
};

class DesktopKeys : public LocalConfigTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(DesktopKeys, ReadAsTheTerminalExpects) {
    const auto config = loadWith(GetParam().body);
    EXPECT_EQ(describe(*config, GetParam().field), GetParam().expected)
        << "desktop.ini: " << GetParam().body;
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, DesktopKeys,
    ::testing::Values(
        KeyCase{"ispull=0", Field::IsPull, "0"}, KeyCase{"ispull=5", Field::IsPull, "1"},
        KeyCase{"", Field::IsPull, "0"}, KeyCase{"ispull=", Field::IsPull, "0"},
        KeyCase{"ispull=0x01", Field::IsPull, "1"}, KeyCase{"", Field::Bitrate, "1"},
        KeyCase{"bitrate=0.5", Field::Bitrate, "0.5"}, KeyCase{"bitrate=2", Field::Bitrate, "2"},
        // a factor that would make the push useless falls back to the default
        KeyCase{"bitrate=0", Field::Bitrate, "1"}, KeyCase{"bitrate=-3", Field::Bitrate, "1"},
        KeyCase{"bitrate=fast", Field::Bitrate, "1"}, KeyCase{"", Field::Video, "2"},
        KeyCase{"video=1", Field::Video, "1"}, KeyCase{"video=0", Field::Video, "0"},
        KeyCase{"video=0x1F", Field::Video, "31"}, KeyCase{"", Field::AudioIn, "2"},
        KeyCase{"audioin=1", Field::AudioIn, "1"}, KeyCase{"", Field::AudioOut, "2"},
        KeyCase{"audioout=0", Field::AudioOut, "0"}, KeyCase{"", Field::CheckIn, "1"},
        KeyCase{"checkaudioin=0", Field::CheckIn, "0"},
        KeyCase{"checkaudioin=abc", Field::CheckIn, "0"}, KeyCase{"", Field::CheckOut, "1"},
        KeyCase{"checkaudioout=0", Field::CheckOut, "0"},
        KeyCase{"checkaudioout=3", Field::CheckOut, "1"},
        // an absent name still leaves one (empty) entry
        KeyCase{"", Field::InNames, "1:[]"},
        KeyCase{"audioinname=USB Audio", Field::InNames, "1:[USB Audio]"},
        KeyCase{"audiooutname=扬声器 (Realtek)", Field::OutNames, "1:[扬声器 (Realtek)]"},
        KeyCase{"audioinname=" + std::string(300, 'm'), Field::InNames,
                "1:[" + std::string(260, 'm') + "]"}));

TEST_F(LocalConfigTest, MissingFileAndFolderGiveDefaultsAndTheFolderIsMade) {
    auto config = makeConfig();
    config->loadLocalConfig();
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("app/ini")));
    EXPECT_EQ(config->getIniFilePath(), folder.file("app/ini/desktop.ini"));
    EXPECT_FALSE(config->getTestMode());
    EXPECT_FALSE(config->getIsPull());
    EXPECT_DOUBLE_EQ(config->getBitrate(), 1.0);
    EXPECT_EQ(config->getVideoMode(), 2);
    EXPECT_TRUE(config->getCheckAudioOut());
    EXPECT_EQ(config->getApiBaseUrl(), kProdApi);
}

TEST_F(LocalConfigTest, GarbageFileGivesDefaults) {
    std::string junk = "[CONFIG]\ntest=1\nispull=1\nvideo=1\n";
    junk += std::string("\0\x89PNG\r\n\x1a\n", 9);
    folder.write("app/ini/desktop.ini", junk);
    LogCapture log;
    auto config = makeConfig();
    config->loadLocalConfig();
    EXPECT_FALSE(config->getTestMode());
    EXPECT_FALSE(config->getIsPull());
    EXPECT_EQ(config->getVideoMode(), 2);
    EXPECT_TRUE(log.contains("desktop.ini")) << "an unreadable configuration is logged";
}

TEST_F(LocalConfigTest, SectionAndKeysIgnoreCase) {
    folder.write("app/ini/desktop.ini", "[config]\nTEST=1\nIsPull=1\n");
    auto config = makeConfig();
    config->loadLocalConfig();
    EXPECT_TRUE(config->getTestMode());
    EXPECT_TRUE(config->getIsPull());
}

TEST_F(LocalConfigTest, LogsThePushChoiceAndTheDeviceNames) {
    LogCapture log;
    loadWith("ispull=1\ncheckaudioin=0\naudioinname=USB Mic\naudiooutname=Speakers");
    EXPECT_TRUE(log.contains("本地指令本机是否推流=1"));
    EXPECT_TRUE(
        log.contains("读取配置文件后 check audioin=0 name=USB Mic check audioout=1 name=Speakers"));
}

// --- state shared between threads --------------------------------------------------------------

TEST_F(LocalConfigTest, StartsWithTheDocumentedRuntimeValues) {
    const auto config = makeConfig();
    EXPECT_EQ(config->getAppStatus(), 0);
    EXPECT_EQ(config->getPrevMicVolume(), 655);
    EXPECT_EQ(config->getMaxMicVolume(), 1310);
    EXPECT_EQ(config->getDefMicVolume(), 655);
    EXPECT_EQ(config->getParticipantId(), "-1");
    EXPECT_TRUE(config->getInConference());
    EXPECT_TRUE(config->getLoginIdle());
    EXPECT_TRUE(config->getPushedLogin());
    EXPECT_FALSE(config->getNetOk());
    EXPECT_FALSE(config->getCheckAudioOut()) << "false until the configuration is loaded";
    EXPECT_TRUE(config->getAudioInNames().empty());
    EXPECT_EQ(config->getVersion(), "2.3.2.28");
    EXPECT_EQ(config->getClientVersion(), "20190128");
    EXPECT_EQ(config->getAppKey().size(), 32U);
    EXPECT_EQ(config->getPingPath(), "/api/business/desktop/ping");
}

TEST_F(LocalConfigTest, TextValuesAreNeverSeenHalfWritten) {
    const auto config = makeConfig();
    const std::string a(1000, 'a');
    const std::string b(3000, 'b');
    std::atomic<bool> torn{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            config->setRoomId(i % 2 == 0 ? a : b);
            config->setAudioInNames({i % 2 == 0 ? a : b});
        }
    });
    for (int i = 0; i < 20000; ++i) {
        const std::string room = config->getRoomId();
        const auto names = config->getAudioInNames();
        if ((!room.empty() && room != a && room != b) ||
            (!names.empty() && names[0] != a && names[0] != b)) {
            torn = true;
        }
    }
    writer.join();
    EXPECT_FALSE(torn);
}

}  // namespace
