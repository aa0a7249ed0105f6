#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/debugtrace.h"
#include "platform/textcodec.h"
#include "support/tempfolder.h"

namespace fenwix::platform {
namespace {

class FilesTest : public ::testing::Test {
protected:
    TempFolder folder;
};

TEST_F(FilesTest, ReadsAtMostTheAskedBytesOfRegularFilesOnly) {
    std::string content;
    EXPECT_EQ(readFileHead(folder.write("a", "0123456789"), 4, content), FileReadStatus::Ok);
    EXPECT_EQ(content, "0123");
    const std::string big(100000, 'b');
    EXPECT_EQ(readFileHead(folder.write("big", big), 200000, content), FileReadStatus::Ok);
    EXPECT_EQ(content, big);
    EXPECT_EQ(readFileHead(folder.file("missing"), 10, content), FileReadStatus::Missing);
    EXPECT_EQ(content, "");
    EXPECT_EQ(readFileHead(folder.file("missing/below"), 10, content), FileReadStatus::Missing);
    EXPECT_EQ(readFileHead(folder.path(), 10, content), FileReadStatus::NotRegular);
    ASSERT_EQ(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
    EXPECT_EQ(readFileHead(folder.file("fifo"), 10, content), FileReadStatus::NotRegular);
}

TEST_F(FilesTest, ReplacementIsWholeAndLeavesNoTemporaryFile) {
    const std::string path = folder.file("f");
    ASSERT_TRUE(replaceFileAtomically(path, "one"));
    ASSERT_TRUE(replaceFileAtomically(path, "two, longer"));
    EXPECT_EQ(folder.read("f"), "two, longer");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(FilesTest, NewFilesHonourTheUmaskAndOldOnesKeepTheirMode) {
    const mode_t previous = ::umask(022);
    const std::string fresh = folder.file("fresh");
    ASSERT_TRUE(replaceFileAtomically(fresh, "x", 0666));
    const std::string kept = folder.write("kept", "old");
    ASSERT_EQ(::chmod(kept.c_str(), 0604), 0);
    ASSERT_TRUE(replaceFileAtomically(kept, "new", 0600));
    ::umask(previous);
    struct stat info {};
    ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644U);
    ASSERT_EQ(::stat(kept.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0604U);
}

TEST_F(FilesTest, ReplacementFailsWithoutItsFolder) {
    EXPECT_FALSE(replaceFileAtomically(folder.file("none/f"), "x"));
    EXPECT_FALSE(replaceFileAtomically("", "x"));
    EXPECT_FALSE(replaceFileAtomically(folder.path(), "x"));
}

TEST_F(FilesTest, FoldersAreMadeWithTheirParents) {
    EXPECT_TRUE(makeDirectories(folder.file("a/b/c")));
    EXPECT_TRUE(isDirectory(folder.file("a/b/c")));
    EXPECT_TRUE(makeDirectories(folder.file("a/b/c/")));  // already there
    folder.write("file", "x");
    EXPECT_FALSE(makeDirectories(folder.file("file/below")));
    EXPECT_FALSE(makeDirectories(""));
    EXPECT_TRUE(fileExists(folder.file("file")));
    EXPECT_FALSE(fileExists(folder.file("a")));
    EXPECT_FALSE(isDirectory(folder.file("file")));
    EXPECT_EQ(parentFolder("/a/b/c"), "/a/b/");
    EXPECT_EQ(parentFolder("c"), "");
}

// --- text --------------------------------------------------------------------------------------

struct CutCase {
    std::string text;
    std::size_t maxChars;
    std::string expected;
};

class CutToChars : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutToChars, NeverSplitsACharacter) {
    EXPECT_EQ(cutToChars(GetParam().text, GetParam().maxChars), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, CutToChars,
                         ::testing::Values(CutCase{"abcdef", 3, "abc"}, CutCase{"abc", 3, "abc"},
                                           CutCase{"ab", 5, "ab"}, CutCase{"abc", 0, ""},
                                           CutCase{"", 4, ""}, CutCase{"麦克风", 2, "麦克"},
                                           CutCase{"a麦b", 2, "a麦"}, CutCase{"😀x", 1, "😀"}));

TEST(TextConversions, KeepTextUnchangedHere) {
    const std::string text = "双师课堂 USB Audio";
    EXPECT_EQ(wideToLocal(text), text);
    EXPECT_EQ(localToWide(text), text);
    EXPECT_EQ(utf8ToWide(text), text);
    EXPECT_EQ(wideToUtf8(text), text);
    EXPECT_EQ(utf8ToLocal(text), text);
    EXPECT_EQ(localToUtf8(text), text);
}

// --- debug trace -------------------------------------------------------------------------------

// Sends the error stream to a file while it lives.
class StderrCapture {
public:
    explicit StderrCapture(const std::string& path) {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StderrCapture() {
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }

private:
    int saved_ = -1;
};

struct TraceCase {
    const char* env;  // nullptr: unset
    bool shown;
};

class DebugTrace : public ::testing::TestWithParam<TraceCase> {
protected:
    TempFolder folder;
};

TEST_P(DebugTrace, WritesToTheErrorStreamOnlyWhenSwitchedOn) {
    const char* saved = std::getenv("FENWIX_DEBUG_TRACE");
    const std::string savedValue = saved != nullptr ? saved : "";
    if (GetParam().env != nullptr) {
        ::setenv("FENWIX_DEBUG_TRACE", GetParam().env, 1);
    } else {
        ::unsetenv("FENWIX_DEBUG_TRACE");
    }
    {
        const StderrCapture capture(folder.file("stderr"));
        debugTrace("sysRegisterBack back {} \n");
        debugTracef("%s=%d\n", "code", 15);
    }
    if (saved != nullptr) {
        ::setenv("FENWIX_DEBUG_TRACE", savedValue.c_str(), 1);
    } else {
        ::unsetenv("FENWIX_DEBUG_TRACE");
    }
    EXPECT_EQ(folder.read("stderr"), GetParam().shown ? "sysRegisterBack back {} \ncode=15\n" : "");
}

INSTANTIATE_TEST_SUITE_P(Environment, DebugTrace,
                         ::testing::Values(TraceCase{"1", true}, TraceCase{"yes", true},
                                           TraceCase{"", false}, TraceCase{nullptr, false}));

}  // namespace
}  // namespace fenwix::platform
