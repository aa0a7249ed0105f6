#include "platform/hardwareserial.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/tempfolder.h"

namespace fenwix::platform {
namespace {

struct SerialCase {
    const char* name;
    std::string raw;
    std::string expected;
};

class SerialFromText : public ::testing::TestWithParam<SerialCase> {};

TEST_P(SerialFromText, KeepsOnlyAUsableSerial) {
    EXPECT_EQ(serialFromText(GetParam().raw), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SerialFromText,
    ::testing::Values(
        SerialCase{"Uuid", "4C4C4544-0042-3510-8052-B4C04F564433\n",
                   "4C4C4544-0042-3510-8052-B4C04F564433"},
        SerialCase{"BlanksAndLineEndsRemoved", " 4c4c 4544\r\n-00\t42 \r\n", "4c4c4544-0042"},
        SerialCase{"MachineId", "0123456789abcdef0123456789abcdef\n",
                   "0123456789abcdef0123456789abcdef"},
        SerialCase{"Empty", "", ""}, SerialCase{"OnlyBlanks", "  \r\n\t", ""},
        SerialCase{"AllZeroPlaceholder", "00000000-0000-0000-0000-000000000000\n", ""},
        SerialCase{"AllFPlaceholder", "FFFFFFFF-ffff-FFFF-FFFF-FFFFFFFFFFFF", ""},
        SerialCase{"FormBreakingCharacters", "abc&uniqueno=evil", ""},
        SerialCase{"BinaryJunk", std::string("ab\0cd", 5), ""},
        SerialCase{"CutTo511", std::string(600, 'a'), std::string(511, 'a')}),
    [](const ::testing::TestParamInfo<SerialCase>& info) { return info.param.name; });

class HardwareSerialSources : public ::testing::Test {
protected:
    TempFolder folder;
};

TEST_F(HardwareSerialSources, TakesTheFirstUsableSource) {
    const std::string placeholder = folder.write("uuid", "00000000-0000-0000-0000-000000000000");
    const std::string machineId = folder.write("machine-id", "feedface\n");
    std::filesystem::create_directories(folder.file("dir"));
    EXPECT_EQ(
        readHardwareSerial({folder.file("missing"), folder.file("dir"), placeholder, machineId}),
        "feedface");
    EXPECT_EQ(readHardwareSerial({folder.write("first", "cafe"), machineId}), "cafe");
    EXPECT_EQ(readHardwareSerial({folder.file("missing")}), "");
    EXPECT_EQ(readHardwareSerial(std::vector<std::string>{}), "");
}

TEST_F(HardwareSerialSources, NeverWaitsOnAPipe) {
    ASSERT_EQ(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
    EXPECT_EQ(readHardwareSerial({folder.file("fifo"), folder.write("after", "ok")}), "ok");
}

TEST_F(HardwareSerialSources, ReadsOnlyTheHeadOfAHugeFile) {
    // "abc", then blanks past the read bound, then more text that must not be seen
    EXPECT_EQ(readHardwareSerial({folder.write("big", "abc" + std::string(2000, ' ') + "XYZ")}),
              "abc");
}

TEST(HardwareSerialSourceList, EnvironmentReplacesTheDefaults) {
    const char* saved = std::getenv("FENWIX_HARDWARE_SERIAL_SOURCES");
    const std::string savedValue = saved != nullptr ? saved : "";
    ::unsetenv("FENWIX_HARDWARE_SERIAL_SOURCES");
    EXPECT_EQ(hardwareSerialSources(),
              (std::vector<std::string>{"/sys/class/dmi/id/product_uuid", "/etc/machine-id"}));
    ::setenv("FENWIX_HARDWARE_SERIAL_SOURCES", "/a/serial::/b/id", 1);
    EXPECT_EQ(hardwareSerialSources(), (std::vector<std::string>{"/a/serial", "/b/id"}));
    ::setenv("FENWIX_HARDWARE_SERIAL_SOURCES", "", 1);
    EXPECT_TRUE(hardwareSerialSources().empty());
    if (saved != nullptr) {
        ::setenv("FENWIX_HARDWARE_SERIAL_SOURCES", savedValue.c_str(), 1);
    } else {
        ::unsetenv("FENWIX_HARDWARE_SERIAL_SOURCES");
    }
}

}  // namespace
}  // namespace fenwix::platform
