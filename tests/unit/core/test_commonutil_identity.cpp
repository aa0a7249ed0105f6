#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "service/commonutil.h"
#include "support/tempfolder.h"

namespace {

constexpr char kKey[] = "Software\\Fenwix\\allApp";

// One "machine": a user store and a serial source that survive several starts of the terminal.
class IdentityTest : public ::testing::Test {
protected:
    // A start of the terminal on this machine.
    std::unique_ptr<CComConfig> start() {
        ConfigSources sources;
        sources.registry = store();
        if (serial_) {
            sources.serialSources = {folder.write("product_uuid", *serial_)};
        }
        sources.iniFolder = folder.file("ini");
        return std::make_unique<CComConfig>(std::move(sources));
    }

    fenwix::platform::RegistryStore store() const {
        return fenwix::platform::RegistryStore(folder.file("config"));
    }
    void storeUniqueNo(const std::string& value) {
        ASSERT_TRUE(store().writeString(kKey, "uniqueno", value));
    }
    std::optional<std::string> storedUniqueNo() const {
        std::string value;
        return store().readString(kKey, "uniqueno", value) ? std::optional(value) : std::nullopt;
    }
    void setSerial(const std::string& raw) { serial_ = raw; }

    TempFolder folder;

private:
    std::optional<std::string> serial_;
};

struct StartCase {
    const char* name;
    std::optional<std::string> registry;  // nullopt: no value stored
    std::optional<std::string> serial;    // nullopt: no serial source
    int source;
    bool isFirst;
    std::string uniqueNo;  // empty: random, checked by its form
};

class FirstIdentity : public IdentityTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(FirstIdentity, ComesFromRegistryThenSerialThenChance) {
    const StartCase& c = GetParam();
    if (c.registry) {
        storeUniqueNo(*c.registry);
    }
    if (c.serial) {
        setSerial(*c.serial);
    }
    const auto config = start();
    EXPECT_EQ(config->getDeviceKeySource(), c.source);
    EXPECT_EQ(config->getIsFirst(), c.isFirst);
    const std::string uniqueNo = config->getUniqueNo();
    if (c.uniqueNo.empty()) {
        EXPECT_TRUE(std::regex_match(uniqueNo, std::regex("[a-z]{10}[0-9]{1,10}"))) << uniqueNo;
    } else {
        EXPECT_EQ(uniqueNo, c.uniqueNo);
    }
    EXPECT_EQ(config->getDeviceKey(), "DSK_" + uniqueNo);
    const std::string pushKey = config->getPushKey();
    ASSERT_EQ(pushKey.rfind("UDSK_" + uniqueNo, 0), 0U) << pushKey;
    EXPECT_TRUE(std::regex_match(pushKey.substr(5 + uniqueNo.size()), std::regex("[0-9]{1,10}")))
        << pushKey;
}

INSTANTIATE_TEST_SUITE_P(
    Machines, FirstIdentity,
    ::testing::Values(
        StartCase{"Registry", "stored42", "SERIAL", CComConfig::kFromRegistry, false, "stored42"},
        StartCase{"RegistryWithoutSerial", "stored42", std::nullopt, CComConfig::kFromRegistry,
                  false, "stored42"},
        StartCase{"NoRegistry", std::nullopt, " 4C4C4544-0042 3510\r\n",
                  CComConfig::kFromHardwareSerial, true, "4C4C4544-00423510"},
        StartCase{"EmptyRegistryValue", "", "4C4C4544", CComConfig::kFromHardwareSerial, true,
                  "4C4C4544"},
        StartCase{"NothingAtAll", std::nullopt, std::nullopt, CComConfig::kRandom, true, ""},
        StartCase{"PlaceholderSerial", std::nullopt, "00000000-0000-0000-0000-000000000000",
                  CComConfig::kRandom, true, ""},
        StartCase{"EmptyRegistryNoSerial", "", "  \r\n", CComConfig::kRandom, true, ""}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return info.param.name; });

TEST_F(IdentityTest, CorruptRegistryFileCountsAsFirstStart) {
    folder.write("config/Fenwix/allApp", std::string("uniqueno=old\n\0\0\xff garbage", 22));
    setSerial("SERIAL-7");
    const auto config = start();
    EXPECT_TRUE(config->getIsFirst());
    EXPECT_EQ(config->getDeviceKeySource(), CComConfig::kFromHardwareSerial);
    EXPECT_EQ(config->getDeviceKey(), "DSK_SERIAL-7");
}

TEST_F(IdentityTest, LongRegistryValueIsCutTo255Characters) {
    storeUniqueNo(std::string(300, 'u'));
    EXPECT_EQ(start()->getUniqueNo(), std::string(255, 'u'));
}

TEST_F(IdentityTest, StartingNeverWritesTheRegistry) {
    setSerial("SERIAL-1");
    start();
    start();
    EXPECT_EQ(storedUniqueNo(), std::nullopt);
    EXPECT_TRUE(start()->getIsFirst()) << "first until a registration has stored the number";
}

TEST_F(IdentityTest, StoredNumberGivesTheSameDeviceKeyAndANewPushKeyOnEveryStart) {
    const auto first = start();  // random identity
    ASSERT_TRUE(first->storeUniqueNo());
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    const auto second = start();
    EXPECT_FALSE(second->getIsFirst());
    EXPECT_EQ(second->getDeviceKeySource(), CComConfig::kFromRegistry);
    EXPECT_EQ(second->getDeviceKey(), first->getDeviceKey());
    EXPECT_NE(second->getPushKey(), first->getPushKey());
}

TEST_F(IdentityTest, NumberIssuedByTheBackendReplacesKeysAndSurvivesARestart) {
    setSerial("SERIAL-1");
    const auto config = start();
    const std::string oldPushKey = config->getPushKey();
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    config->setUniqueNo("backend-77");
    EXPECT_EQ(config->getUniqueNo(), "backend-77");
    EXPECT_EQ(config->getDeviceKey(), "DSK_backend-77");
    EXPECT_EQ(config->getPushKey().rfind("UDSK_backend-77", 0), 0U);
    EXPECT_NE(config->getPushKey(), oldPushKey);
    ASSERT_TRUE(config->storeUniqueNo());
    EXPECT_EQ(storedUniqueNo(), "backend-77");
    EXPECT_EQ(start()->getDeviceKey(), "DSK_backend-77");
}

TEST_F(IdentityTest, NumberTheStoreCannotHoldIsNotStored) {
    storeUniqueNo("good");
    const auto config = start();
    config->setUniqueNo("bad\nvalue");
    EXPECT_FALSE(config->storeUniqueNo());
    EXPECT_EQ(storedUniqueNo(), "good");
}

TEST_F(IdentityTest, RandomNumbersDifferBetweenMachines) {
    std::set<std::string> seen;
    for (int i = 0; i < 20; ++i) {
        TempFolder machine;
        ConfigSources sources;
        sources.registry = fenwix::platform::RegistryStore(machine.file("config"));
        sources.iniFolder = machine.file("ini");
        seen.insert(CComConfig(std::move(sources)).getUniqueNo());
    }
    EXPECT_EQ(seen.size(), 20U);
}

TEST(CurrentTimeMs32, IsTheWallClockInMillisecondsCutTo32Bits) {
    const auto before = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    const std::uint32_t value = CComConfig::currentTimeMs32();
    const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    const std::uint32_t low = static_cast<std::uint32_t>(before);
    EXPECT_LE(static_cast<std::uint32_t>(value - low), static_cast<std::uint32_t>(after - before));
}

// --- the process-wide instance -----------------------------------------------------------------

class ProcessInstance : public ::testing::Test {
protected:
    void SetUp() override {
        set("XDG_CONFIG_HOME", folder.file("config"));
        set("FENWIX_HARDWARE_SERIAL_SOURCES", folder.write("uuid", "MACHINE-SERIAL\n"));
        set("FENWIX_INI_DIR", folder.file("ini"));
    }
    void TearDown() override {
        CComConfig::releaseInstance();
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }
    void set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }

    TempFolder folder;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(ProcessInstance, IsCreatedOnceEvenWhenThreadsRaceForIt) {
    CComConfig::releaseInstance();
    std::vector<CComConfig*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&seen, i] { seen[i] = CComConfig::getInstance(); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (CComConfig* instance : seen) {
        EXPECT_EQ(instance, seen[0]);
    }
    ASSERT_NE(seen[0], nullptr);
    EXPECT_EQ(seen[0]->getDeviceKey(), "DSK_MACHINE-SERIAL");
}

TEST_F(ProcessInstance, UsesTheStandardPlacesAndStartsAfreshAfterRelease) {
    CComConfig::releaseInstance();
    CComConfig* config = CComConfig::getInstance();
    config->setAppStatus(3);
    ASSERT_TRUE(config->storeUniqueNo());
    EXPECT_TRUE(folder.exists("config/Fenwix/allApp"));
    config->loadLocalConfig();
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("ini")));
    EXPECT_EQ(config->getIniFilePath(), folder.file("ini/desktop.ini"));

    CComConfig::releaseInstance();
    CComConfig::releaseInstance();  // a second release is harmless
    CComConfig* again = CComConfig::getInstance();
    EXPECT_EQ(again->getAppStatus(), 0);
    EXPECT_FALSE(again->getIsFirst());
    EXPECT_EQ(again->getDeviceKeySource(), CComConfig::kFromRegistry);
}

}  // namespace
