#include "platform/registrystore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "support/tempfolder.h"

namespace fenwix::platform {
namespace {

constexpr char kKey[] = "Software\\Fenwix\\allApp";

class RegistryStoreTest : public ::testing::Test {
protected:
    RegistryStoreTest() : store(folder.path()) {}

    std::optional<std::string> read(const std::string& name, std::size_t maxChars = 255) const {
        std::string value = "left over";
        if (!store.readString(kKey, name, value, maxChars)) {
            EXPECT_EQ(value, "") << "a failed read must not leave text behind";
            return std::nullopt;
        }
        return value;
    }

    TempFolder folder;
    RegistryStore store;
};

TEST_F(RegistryStoreTest, KeyLivesInAFileNamedAfterItsPath) {
    EXPECT_EQ(store.filePathOf(kKey), folder.path() + "Fenwix/allApp");
    EXPECT_EQ(store.filePathOf("software/Fenwix/other"), folder.path() + "Fenwix/other");
    EXPECT_EQ(store.filePathOf("Fenwix\\\\x\\"), folder.path() + "Fenwix/x");
    EXPECT_EQ(store.filePathOf(""), "");
    EXPECT_EQ(store.filePathOf("Software"), "");
    EXPECT_EQ(store.filePathOf("Software\\..\\..\\etc"), "");
    EXPECT_EQ(RegistryStore("").filePathOf(kKey), "");
}

TEST_F(RegistryStoreTest, ValueWrittenIsReadBackByAnotherStore) {
    EXPECT_EQ(read("uniqueno"), std::nullopt);
    ASSERT_TRUE(store.writeString(kKey, "uniqueno", "abc123"));
    std::string fromOther;
    EXPECT_TRUE(RegistryStore(folder.path()).readString(kKey, "uniqueno", fromOther));
    EXPECT_EQ(fromOther, "abc123");
    EXPECT_EQ(read("UNIQUENO"), "abc123");  // value names ignore case
    EXPECT_EQ(read("other"), std::nullopt);

    struct stat info {};
    ASSERT_EQ(::stat(store.filePathOf(kKey).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U) << "the identity is the user's own";
}

TEST_F(RegistryStoreTest, WritingOneValueKeepsTheOthers) {
    ASSERT_TRUE(store.writeString(kKey, "uniqueno", "first"));
    ASSERT_TRUE(store.writeString(kKey, "colour", "blue"));
    ASSERT_TRUE(store.writeString(kKey, "UniqueNo", "second"));
    EXPECT_EQ(read("uniqueno"), "second");
    EXPECT_EQ(read("colour"), "blue");
    ASSERT_TRUE(store.writeString(kKey, "empty", ""));
    EXPECT_EQ(read("empty"), "");  // present but empty is not missing
}

TEST_F(RegistryStoreTest, ReadsAtMostTheAskedCharacters) {
    ASSERT_TRUE(store.writeString(kKey, "long", std::string(400, 'z')));
    EXPECT_EQ(read("long"), std::string(255, 'z'));
    EXPECT_EQ(read("long", 10), std::string(10, 'z'));
}

TEST_F(RegistryStoreTest, RefusesWhatTheFileCannotHold) {
    ASSERT_TRUE(store.writeString(kKey, "uniqueno", "kept"));
    EXPECT_FALSE(store.writeString(kKey, "uniqueno", "two\nlines"));
    EXPECT_FALSE(store.writeString(kKey, "uniqueno", "cr\rhere"));
    EXPECT_FALSE(store.writeString(kKey, "uniqueno", std::string("n\0l", 3)));
    EXPECT_FALSE(store.writeString(kKey, "a=b", "x"));
    EXPECT_FALSE(store.writeString(kKey, "", "x"));
    EXPECT_FALSE(store.writeString(kKey, "[x]", "x"));
    EXPECT_FALSE(store.writeString("Software\\..\\x", "a", "x"));
    EXPECT_FALSE(store.writeString("Fenwix\nx", "a", "x"));
    EXPECT_EQ(read("uniqueno"), "kept");
}

struct JunkCase {
    const char* name;
    std::string content;
};

class RegistryJunk : public RegistryStoreTest, public ::testing::WithParamInterface<JunkCase> {};

TEST_P(RegistryJunk, ReadsAsMissingAndIsReplacedOnWrite) {
    folder.write("Fenwix/allApp", GetParam().content);
    EXPECT_EQ(read("uniqueno"), std::nullopt);
    ASSERT_TRUE(store.writeString(kKey, "uniqueno", "fresh"));
    EXPECT_EQ(read("uniqueno"), "fresh");
}

INSTANTIATE_TEST_SUITE_P(
    Files, RegistryJunk,
    ::testing::Values(JunkCase{"Binary", std::string("uniqueno=abc\n\0\x01\x02", 16)},
                      JunkCase{"StrayLine", "[Software\\Fenwix\\allApp]\nuniqueno=abc\nrubbish\n"},
                      JunkCase{"BrokenHeader", "[Software\\Fenwix\nuniqueno=abc\n"},
                      JunkCase{"EmptyName", "=abc\nuniqueno=abc\n"},
                      JunkCase{"Oversized", "uniqueno=abc\n" + std::string(70000, ';')}),
    [](const ::testing::TestParamInfo<JunkCase>& info) { return info.param.name; });

TEST_F(RegistryStoreTest, AFolderInPlaceOfTheFileIsNoValue) {
    std::filesystem::create_directories(folder.file("Fenwix/allApp"));
    EXPECT_EQ(read("uniqueno"), std::nullopt);
    EXPECT_FALSE(store.writeString(kKey, "uniqueno", "x"));
}

// --- where the user's store lives --------------------------------------------------------------

struct EnvCase {
    const char* xdg;   // nullptr: unset
    const char* home;  // nullptr: unset
    const char* expected;
};

class UserConfigFolder : public ::testing::TestWithParam<EnvCase> {
protected:
    void SetUp() override {
        saveAndSet("XDG_CONFIG_HOME", GetParam().xdg, savedXdg_);
        saveAndSet("HOME", GetParam().home, savedHome_);
    }
    void TearDown() override {
        restore("XDG_CONFIG_HOME", savedXdg_);
        restore("HOME", savedHome_);
    }

private:
    static void saveAndSet(const char* name, const char* value, std::optional<std::string>& saved) {
        const char* old = std::getenv(name);
        saved = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    static void restore(const char* name, const std::optional<std::string>& saved) {
        if (saved) {
            ::setenv(name, saved->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    std::optional<std::string> savedXdg_;
    std::optional<std::string> savedHome_;
};

TEST_P(UserConfigFolder, FollowsTheBaseDirectoryConvention) {
    EXPECT_EQ(userConfigFolder(), GetParam().expected);
    if (*GetParam().expected != '\0') {
        EXPECT_EQ(RegistryStore().filePathOf(kKey),
                  std::string(GetParam().expected) + "Fenwix/allApp");
    }
}

INSTANTIATE_TEST_SUITE_P(Environment, UserConfigFolder,
                         ::testing::Values(EnvCase{"/xdg/conf", "/home/u", "/xdg/conf/"},
                                           EnvCase{"/xdg/conf/", "/home/u", "/xdg/conf/"},
                                           EnvCase{"relative/conf", "/home/u", "/home/u/.config/"},
                                           EnvCase{"", "/home/u", "/home/u/.config/"},
                                           EnvCase{nullptr, "/home/u", "/home/u/.config/"},
                                           EnvCase{nullptr, nullptr, ""}));

}  // namespace
}  // namespace fenwix::platform
