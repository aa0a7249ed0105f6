// Copying the updater over an older copy: content, permissions, and an untouched target on failure.
#include "platform/filecopy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/tempfolder.h"

namespace fenwix::platform {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

unsigned modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

std::size_t entries(const std::string& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

class FileCopyTest : public ::testing::Test {
protected:
    TempFolder folder;
};

TEST_F(FileCopyTest, ReplacesTheTargetWithTheSourceAndItsPermissions) {
    std::string binary(200000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) {
        binary[i] = static_cast<char>(i % 251);
    }
    const std::string source = folder.write("src/FenwixUpdate", binary);
    ASSERT_EQ(::chmod(source.c_str(), 0750), 0);
    const std::string target = folder.write("tmp/FenwixUpdate", "an older, longer updater copy");
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);

    ASSERT_TRUE(copyFileReplacing(source, target));
    EXPECT_EQ(readAll(target), binary);
    EXPECT_EQ(modeOf(target), 0750u);
    EXPECT_EQ(entries(folder.file("tmp")), 1u);  // no work file left behind
}

TEST_F(FileCopyTest, CreatesAMissingTarget) {
    const std::string source = folder.write("a", "x");
    EXPECT_TRUE(copyFileReplacing(source, folder.file("b")));
    EXPECT_EQ(readAll(folder.file("b")), "x");
}

TEST_F(FileCopyTest, FailuresLeaveTheTargetAsItWas) {
    const std::string target = folder.write("tmp/FenwixUpdate", "old copy");
    const std::string source = folder.write("src/FenwixUpdate", "new");
    struct Case {
        const char* name;
        std::string source;
        std::string target;
    };
    const Case cases[] = {
        {"missing source", folder.file("src/none"), target},
        {"source is a folder", folder.file("src"), target},
        {"target folder missing", source, folder.file("gone/FenwixUpdate")},
        {"empty source path", "", target},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(copyFileReplacing(c.source, c.target));
        EXPECT_EQ(readAll(target), "old copy");
        EXPECT_EQ(entries(folder.file("tmp")), 1u);
    }
}

TEST_F(FileCopyTest, ARunningTargetIsReplacedNotOverwritten) {
    // A program still running from the old copy keeps its own file; the new one takes the name.
    const std::string target = folder.write("FenwixUpdate", "old");
    std::ifstream stillOpen(target, std::ios::binary);
    ASSERT_TRUE(copyFileReplacing(folder.write("new", "new"), target));
    std::string seen;
    std::getline(stillOpen, seen);
    EXPECT_EQ(seen, "old");
    EXPECT_EQ(readAll(target), "new");
}

}  // namespace
}  // namespace fenwix::platform
