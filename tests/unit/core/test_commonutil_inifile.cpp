#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <string>

#include "service/inifile.h"
#include "support/tempfolder.h"

namespace {

class IniFileTest : public ::testing::Test {
protected:
    // A desktop.ini holding one CONFIG section with `body`.
    CIniFile withConfig(const std::string& body) {
        return CIniFile(folder.write("desktop.ini", "[CONFIG]\n" + body + "\n"));
    }
    CIniFile missing() const { return CIniFile(folder.file("absent.ini")); }

    TempFolder folder;
};

// --- reading integers --------------------------------------------------------------------------

struct IntCase {
    const char* line;  // nullptr: no such key
    int expected;
};

class IniReadInt : public IniFileTest, public ::testing::WithParamInterface<IntCase> {};

TEST_P(IniReadInt, FollowsTheHexPrefixAndDecimalRules) {
    const IntCase& c = GetParam();
    const CIniFile ini = withConfig(c.line != nullptr ? std::string("value=") + c.line : "");
    EXPECT_EQ(ini.readInt("CONFIG", "value"), c.expected)
        << "value '" << (c.line ? c.line : "") << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniReadInt,
    ::testing::Values(IntCase{"0x10", 16}, IntCase{"0x1F", 31}, IntCase{"0x1f", 31},
                      IntCase{"12abc", 12}, IntCase{"abc", 0}, IntCase{"", -1},
                      IntCase{nullptr, -1}, IntCase{"-5", -5}, IntCase{"+3", 3},
                      IntCase{"   7   ", 7},
                      // only the last eight characters count, each non-digit as 0
                      IntCase{"0x123456789", 0x23456789}, IntCase{"0xZZ", 0}, IntCase{"0x1G", 16},
                      IntCase{"0xFFFFFFFF", -1}, IntCase{"0x7fffffff", INT_MAX},
                      // the prefix is exactly "0x"; anything else reads as decimal
                      IntCase{"0X10", 0}, IntCase{"x10", 0}, IntCase{"010", 10},
                      // out of range decimals saturate instead of wrapping
                      IntCase{"99999999999", INT_MAX}, IntCase{"-99999999999", INT_MIN}));

// --- reading booleans, reals and texts ---------------------------------------------------------

struct BoolCase {
    const char* line;
    bool expected;
};

class IniReadBool : public IniFileTest, public ::testing::WithParamInterface<BoolCase> {};

TEST_P(IniReadBool, IsTheDecimalIntegerNonZero) {
    const BoolCase& c = GetParam();
    const CIniFile ini = withConfig(c.line != nullptr ? std::string("flag=") + c.line : "");
    EXPECT_EQ(ini.readBool("CONFIG", "flag"), c.expected)
        << "value '" << (c.line ? c.line : "") << "'";
}

INSTANTIATE_TEST_SUITE_P(Values, IniReadBool,
                         ::testing::Values(BoolCase{"1", true}, BoolCase{"5", true},
                                           BoolCase{"-1", true}, BoolCase{"0", false},
                                           BoolCase{"", false}, BoolCase{nullptr, false},
                                           BoolCase{"abc", false}, BoolCase{"true", false},
                                           BoolCase{"0x10", false}, BoolCase{"2x", true}));

struct RealCase {
    const char* line;
    double expected;
};

class IniReadDouble : public IniFileTest, public ::testing::WithParamInterface<RealCase> {};

TEST_P(IniReadDouble, ReadsTheLeadingNumber) {
    const RealCase& c = GetParam();
    const CIniFile ini = withConfig(c.line != nullptr ? std::string("rate=") + c.line : "");
    EXPECT_DOUBLE_EQ(ini.readDouble("CONFIG", "rate"), c.expected)
        << "value '" << (c.line ? c.line : "") << "'";
}

INSTANTIATE_TEST_SUITE_P(Values, IniReadDouble,
                         ::testing::Values(RealCase{"0.5", 0.5}, RealCase{"2", 2.0},
                                           RealCase{"-2.25", -2.25}, RealCase{"+3", 3.0},
                                           RealCase{"1.5x", 1.5}, RealCase{"abc", 0.0},
                                           RealCase{"", -1.0}, RealCase{nullptr, -1.0},
                                           RealCase{"1e2", 100.0}));

TEST_F(IniFileTest, ReadsWithTheDesktopProfileRules) {
    const CIniFile ini(folder.write("desktop.ini",
                                    "orphan=before any section\n"
                                    "; a comment=not a key\n"
                                    "[other]\n"
                                    "name=wrong section\n"
                                    "[ Config ]\n"
                                    "  Name  =   spaced value   \n"
                                    "quoted=\"  kept blanks  \"\n"
                                    "single='x'\n"
                                    "half=\"open\n"
                                    "empty=\n"
                                    "noequals\n"
                                    "name=second occurrence\n"
                                    "[CONFIG]\n"
                                    "late=in a repeated section\n"));
    EXPECT_EQ(ini.readString("config", "NAME"), "spaced value");
    EXPECT_EQ(ini.readString("CONFIG", "quoted"), "  kept blanks  ");
    EXPECT_EQ(ini.readString("CONFIG", "single"), "x");
    EXPECT_EQ(ini.readString("CONFIG", "half"), "\"open");
    EXPECT_EQ(ini.readString("CONFIG", "empty"), "");
    EXPECT_FALSE(ini.hasValue("CONFIG", "empty"));
    EXPECT_TRUE(ini.hasValue("CONFIG", "name"));
    EXPECT_EQ(ini.readString("CONFIG", "noequals"), "");
    EXPECT_EQ(ini.readString("CONFIG", "orphan"), "");
    EXPECT_EQ(ini.readString("CONFIG", "; a comment"), "");
    EXPECT_EQ(ini.readString("other", "name"), "wrong section");
    // only the first section of a name is searched
    EXPECT_EQ(ini.readString("CONFIG", "late"), "");
}

TEST_F(IniFileTest, ReadsWindowsLineEndsAndByteOrderMark) {
    const CIniFile ini(
        folder.write("desktop.ini", "\xEF\xBB\xBF[CONFIG]\r\ntest=1\r\nname=ab\r\n"));
    EXPECT_TRUE(ini.readBool("CONFIG", "test"));
    EXPECT_EQ(ini.readString("CONFIG", "name"), "ab");
}

TEST_F(IniFileTest, CutsLongValuesToWholeCharacters) {
    const std::string ascii(300, 'a');
    std::string chinese;
    for (int i = 0; i < 300; ++i) {
        chinese += "麦";
    }
    const CIniFile ini = withConfig("ascii=" + ascii + "\nchinese=" + chinese);
    EXPECT_EQ(ini.readString("CONFIG", "ascii"), std::string(260, 'a'));
    const std::string cut = ini.readString("CONFIG", "chinese");
    EXPECT_EQ(cut.size(), 260U * 3U);
    EXPECT_EQ(cut, chinese.substr(0, 260U * 3U));
}

TEST_F(IniFileTest, MissingArgumentsReadAsMissing) {
    const CIniFile ini = withConfig("value=7");
    const CIniFile noPath("");
    EXPECT_EQ(ini.readInt("", "value"), -1);
    EXPECT_EQ(ini.readInt("CONFIG", ""), -1);
    EXPECT_EQ(noPath.readInt("CONFIG", "value"), -1);
    EXPECT_EQ(noPath.readString("CONFIG", "value"), "");
    EXPECT_DOUBLE_EQ(noPath.readDouble("CONFIG", "value"), -1.0);
    EXPECT_FALSE(noPath.readBool("CONFIG", "value"));
    EXPECT_EQ(missing().readInt("CONFIG", "value"), -1);
}

TEST_F(IniFileTest, JunkFilesReadAsMissing) {
    std::string binary("[CONFIG]\nvalue=7\n");
    binary += std::string("\0\x01\xff\xfe junk", 9);
    const CIniFile junk(folder.write("junk.ini", binary));
    EXPECT_EQ(junk.readInt("CONFIG", "value"), -1);
    EXPECT_EQ(junk.state(), CIniFile::FileState::Unreadable);

    std::filesystem::create_directories(folder.file("folder.ini"));
    const CIniFile directory(folder.file("folder.ini"));
    EXPECT_EQ(directory.readInt("CONFIG", "value"), -1);
    EXPECT_EQ(directory.state(), CIniFile::FileState::Unreadable);
    EXPECT_FALSE(directory.exists());

    const CIniFile oversized(
        folder.write("big.ini", "[CONFIG]\nvalue=7\n" + std::string(CIniFile::kMaxFileBytes, ';')));
    EXPECT_EQ(oversized.readInt("CONFIG", "value"), -1);

    EXPECT_EQ(missing().state(), CIniFile::FileState::Missing);
    EXPECT_FALSE(missing().exists());
    EXPECT_EQ(withConfig("a=1").state(), CIniFile::FileState::Readable);
    EXPECT_TRUE(withConfig("a=1").exists());
}

TEST_F(IniFileTest, NeverBlocksOnAPipe) {
    ASSERT_EQ(::mkfifo(folder.file("fifo.ini").c_str(), 0600), 0);
    CIniFile fifo(folder.file("fifo.ini"));
    EXPECT_EQ(fifo.readInt("CONFIG", "value"), -1);
    EXPECT_FALSE(fifo.writeInt("CONFIG", "value", 1));
}

// --- writing -----------------------------------------------------------------------------------

TEST_F(IniFileTest, WritesReadBackInTheirFormats) {
    CIniFile ini = missing();
    EXPECT_TRUE(ini.writeInt("CONFIG", "int", -42));
    EXPECT_TRUE(ini.writeBool("CONFIG", "yes", true));
    EXPECT_TRUE(ini.writeBool("CONFIG", "no", false));
    EXPECT_TRUE(ini.writeDouble("CONFIG", "real", 0.5));
    EXPECT_TRUE(ini.writeString("CONFIG", "text", "USB 麦克风"));
    EXPECT_EQ(folder.read("absent.ini"),
              "[CONFIG]\nint=-42\nyes=1\nno=0\nreal=0.500000\ntext=USB 麦克风\n");
    EXPECT_EQ(ini.readInt("CONFIG", "int"), -42);
    EXPECT_TRUE(ini.readBool("CONFIG", "yes"));
    EXPECT_FALSE(ini.readBool("CONFIG", "no"));
    EXPECT_DOUBLE_EQ(ini.readDouble("CONFIG", "real"), 0.5);
    EXPECT_EQ(ini.readString("CONFIG", "text"), "USB 麦克风");
}

struct EditCase {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

class IniWrite : public IniFileTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(IniWrite, ChangesOnlyTheOneLine) {
    const EditCase& c = GetParam();
    CIniFile ini(folder.write("desktop.ini", c.before));
    ASSERT_TRUE(ini.writeString(c.section, c.key, c.value));
    EXPECT_EQ(folder.read("desktop.ini"), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, IniWrite,
    ::testing::Values(EditCase{"ReplacesInPlace",
                               "; top\n[CONFIG]\ntest=0\nvideo=1\n[other]\ntest=5\n", "config",
                               "TEST", "1", "; top\n[CONFIG]\ntest=1\nvideo=1\n[other]\ntest=5\n"},
                      EditCase{"AddsAfterTheLastKeyOfTheSection", "[CONFIG]\na=1\n\n[other]\nb=2\n",
                               "CONFIG", "c", "3", "[CONFIG]\na=1\nc=3\n\n[other]\nb=2\n"},
                      EditCase{"AddsToAnEmptySection", "[CONFIG]\n[other]\nb=2\n", "CONFIG", "c",
                               "3", "[CONFIG]\nc=3\n[other]\nb=2\n"},
                      EditCase{"AddsAMissingSectionAtTheEnd", "[other]\nb=2", "CONFIG", "c", "3",
                               "[other]\nb=2\n\n[CONFIG]\nc=3\n"},
                      EditCase{"KeepsWindowsLineEnds", "[CONFIG]\r\na=1\r\n; note\r\n", "CONFIG",
                               "a", "2", "[CONFIG]\r\na=2\r\n; note\r\n"},
                      EditCase{"WritesIntoAnEmptyFile", "", "CONFIG", "a", "", "[CONFIG]\na=\n"}),
    [](const ::testing::TestParamInfo<EditCase>& info) { return info.param.name; });

TEST_F(IniFileTest, RefusesWritesThatWouldBreakTheFile) {
    const std::string original = "[CONFIG]\na=1\n";
    CIniFile ini(folder.write("desktop.ini", original));
    EXPECT_FALSE(ini.writeString("", "a", "1"));
    EXPECT_FALSE(ini.writeString("CONFIG", "", "1"));
    EXPECT_FALSE(ini.writeString("CONFIG", "a", "two\nlines"));
    EXPECT_FALSE(ini.writeString("CONFIG", "a", "carriage\rreturn"));
    EXPECT_FALSE(ini.writeString("CONFIG", "a", std::string("nul\0byte", 8)));
    EXPECT_FALSE(ini.writeString("CONFIG", "k=v", "1"));
    EXPECT_FALSE(ini.writeString("CONFIG", "[k", "1"));
    EXPECT_FALSE(ini.writeString("CONFIG", ";k", "1"));
    EXPECT_FALSE(ini.writeString("CON]FIG", "a", "1"));
    EXPECT_FALSE(ini.writeString("CONFIG\n[x", "a", "1"));
    EXPECT_FALSE(CIniFile("").writeInt("CONFIG", "a", 1));
    EXPECT_EQ(folder.read("desktop.ini"), original);
}

TEST_F(IniFileTest, LeavesAnUnreadableFileAlone) {
    const std::string junk(
        "\x7f"
        "ELF\0\0\x01 binary",
        14);
    CIniFile ini(folder.write("desktop.ini", junk));
    EXPECT_FALSE(ini.writeInt("CONFIG", "a", 1));
    EXPECT_EQ(folder.read("desktop.ini"), junk);
}

TEST_F(IniFileTest, FailsWhenTheFolderIsMissing) {
    CIniFile ini(folder.file("no/such/folder/desktop.ini"));
    EXPECT_FALSE(ini.writeInt("CONFIG", "a", 1));
}

TEST_F(IniFileTest, ReplacesTheFileWholeAndKeepsItsPermissions) {
    const std::string path = folder.write("desktop.ini", "[CONFIG]\na=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    CIniFile ini(path);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(ini.writeInt("CONFIG", "a", i));
    }
    EXPECT_EQ(ini.readInt("CONFIG", "a"), 19);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640U);
    // no temporary file stays behind
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

}  // namespace
