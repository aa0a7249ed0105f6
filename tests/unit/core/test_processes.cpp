#include "platform/processes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/posix/procfs.h"

namespace fenwix::platform {
namespace {

namespace fs = std::filesystem;

struct MatchCase {
    const char* listed;
    const char* wanted;
    bool matches;
};

class ImageNameMatch : public ::testing::TestWithParam<MatchCase> {};

TEST_P(ImageNameMatch, ComparesWithoutCaseAndToleratesTheWindowsExtension) {
    const MatchCase& c = GetParam();
    EXPECT_EQ(imageNameMatches(c.listed, c.wanted), c.matches)
        << "listed '" << c.listed << "' wanted '" << c.wanted << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Names, ImageNameMatch,
    ::testing::Values(MatchCase{"abc.exe", "ABC.EXE", true},
                      MatchCase{"abc", "ABC.EXE", true},  // Linux file without extension
                      MatchCase{"FenwixStuDesktop", "FenwixStuDesktop.exe", true},
                      MatchCase{"fenwixstudesktop", "FENWIXSTUDESKTOP", true},
                      MatchCase{"abc.exe", "abc", false},  // a bare name stays exact
                      MatchCase{"abc", "abcd", false}, MatchCase{"abcd", "abc.exe", false},
                      MatchCase{"abc", "abc.ex", false}, MatchCase{"abc", "abc.exe.exe", false},
                      MatchCase{"", "", false}, MatchCase{"", ".exe", false},
                      MatchCase{"exe", ".exe", false}));

TEST(ImageNameOf, ProgramFilesCarryNoExtensionHere) {
    EXPECT_EQ(imageNameOf("FenwixStuDesktop"), "FenwixStuDesktop");
    EXPECT_EQ(imageNameOf("FenwixUpdate.exe"), "FenwixUpdate.exe");
    EXPECT_TRUE(imageNameMatches(imageNameOf("FenwixUpdate"), "FenwixUpdate.exe"));
}

TEST(TerminateProcess, RefusesIdsThatWouldSignalGroupsOrEveryone) {
    EXPECT_FALSE(terminateProcess(0));
    EXPECT_FALSE(terminateProcess(0xFFFFFFFFu));  // would be kill(-1): every process
    EXPECT_FALSE(terminateProcess(0x80000000u));
}

// A procfs-like tree built by the test: pid folders with "exe" links and "comm" files.
class FakeProcTree : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "fwxproc.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }
    void TearDown() override { fs::remove_all(root_); }

    void addExe(const std::string& pid, const std::string& target) {
        fs::create_directories(root_ / pid);
        fs::create_symlink(target, root_ / pid / "exe");
    }
    void addComm(const std::string& pid, const std::string& text) {
        fs::create_directories(root_ / pid);
        std::ofstream(root_ / pid / "comm") << text;
    }

    fs::path root_;
};

TEST_F(FakeProcTree, ListsInNumericPidOrderNotDirectoryOrder) {
    addExe("123", "/usr/bin/late");
    addExe("45", "/opt/x/early");
    addExe("1000", "/bin/last");
    addExe("9", "/bin/first");
    const auto table = posix::readProcessTable(root_.string());
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(table[0].pid, 9u);
    EXPECT_EQ(table[0].imageName, "first");
    EXPECT_EQ(table[1].pid, 45u);
    EXPECT_EQ(table[2].pid, 123u);
    EXPECT_EQ(table[3].pid, 1000u);
    EXPECT_EQ(table[3].imageName, "last");
}

TEST_F(FakeProcTree, FallsBackToCommWhenTheExeLinkIsMissing) {
    addComm("2", "kthreadd\n");
    addExe("3", "/usr/bin/with exe");
    addComm("3", "ignored\n");
    const auto table = posix::readProcessTable(root_.string());
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].imageName, "kthreadd");
    EXPECT_EQ(table[1].imageName, "with exe");
}

TEST_F(FakeProcTree, DropsTheDeletedMarkOfAReplacedProgramFile) {
    addExe("10", "/nonexistent/FenwixStuDesktop (deleted)");
    // A file that really carries the mark in its name keeps it.
    const fs::path real = root_ / "odd (deleted)";
    std::ofstream(real) << "x";
    addExe("11", real.string());
    const auto table = posix::readProcessTable(root_.string());
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].imageName, "FenwixStuDesktop");
    EXPECT_EQ(table[1].imageName, "odd (deleted)");
}

TEST_F(FakeProcTree, SkipsFoldersThatAreNotProcessesOrHaveNoName) {
    addExe("self", "/bin/self");
    addExe("12a", "/bin/mixed");
    addExe("0", "/bin/zero");
    addExe("99999999999", "/bin/toolarge");
    fs::create_directories(root_ / "77");  // vanished between listing and reading
    addComm("78", "");
    addExe("5", "/bin/kept");
    const auto table = posix::readProcessTable(root_.string());
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].pid, 5u);
    EXPECT_EQ(table[0].imageName, "kept");
}

TEST(ProcTable, MissingRootGivesAnEmptyList) {
    EXPECT_TRUE(posix::readProcessTable("/nonexistent/proc").empty());
}

TEST(ProcessSnapshot, ListsTheCallingProcessUnderItsOwnFileName) {
    const auto table = processSnapshot();
    const auto self = static_cast<std::uint32_t>(::getpid());
    const std::string ownName = fs::read_symlink("/proc/self/exe").filename().string();
    bool found = false;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(table[i - 1].pid, table[i].pid);
        }
        if (table[i].pid == self) {
            found = true;
            EXPECT_EQ(table[i].imageName, ownName);
        }
    }
    EXPECT_TRUE(found);
}

}  // namespace
}  // namespace fenwix::platform
