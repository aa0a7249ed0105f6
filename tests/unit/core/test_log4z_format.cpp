// The text of a log line: head, message, source position, line end and the cut at the buffer.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <regex>
#include <string>

#include "logging/linehead.h"
#include "logging/log4z.h"
#include "logging/loglevel.h"
#include "platform/process.h"
#include "support/log4zfixture.h"

namespace {

using fenwix::testing::Log4zTest;

// Builds an entry through the same four steps the macros take, without a writer.
std::string streamed(const std::function<void(log4z::LogStream&)>& append) {
    auto data = std::make_unique<log4z::LogData>();
    data->len = 0;
    data->content[0] = '\0';
    log4z::LogStream stream(data.get());
    append(stream);
    return std::string(data->content, static_cast<size_t>(data->len));
}

struct StreamCase {
    const char* what;
    std::function<void(log4z::LogStream&)> append;
    std::string expected;
};

class LogStreamValues : public ::testing::TestWithParam<StreamCase> {};

TEST_P(LogStreamValues, AppendsTheValueAsText) {
    EXPECT_EQ(streamed(GetParam().append), GetParam().expected);
}

const char* const kNullText = nullptr;

INSTANTIATE_TEST_SUITE_P(
    Values, LogStreamValues,
    ::testing::Values(
        StreamCase{"text", [](log4z::LogStream& s) { s << "abc" << std::string("de"); }, "abcde"},
        StreamCase{"string_view", [](log4z::LogStream& s) { s << std::string_view("xyz", 2); },
                   "xy"},
        StreamCase{"chinese", [](log4z::LogStream& s) { s << "正在进入教室"; }, "正在进入教室"},
        StreamCase{"char", [](log4z::LogStream& s) { s << 'a' << ':'; }, "a:"},
        StreamCase{"bool", [](log4z::LogStream& s) { s << true << false; }, "10"},
        StreamCase{"int", [](log4z::LogStream& s) { s << 0 << ' ' << -15 << ' ' << 1203; },
                   "0 -15 1203"},
        StreamCase{"extremes",
                   [](log4z::LogStream& s) {
                       s << INT64_MIN << ' ' << UINT64_MAX << ' ' << static_cast<short>(-3);
                   },
                   "-9223372036854775808 18446744073709551615 -3"},
        StreamCase{"unsigned", [](log4z::LogStream& s) { s << 4294967295U; }, "4294967295"},
        StreamCase{"small integers",
                   [](log4z::LogStream& s) {
                       s << static_cast<unsigned char>(200) << ' ' << static_cast<signed char>(-5);
                   },
                   "200 -5"},
        StreamCase{"double", [](log4z::LogStream& s) { s << 0.5 << ' ' << -2.25f; }, "0.5 -2.25"},
        StreamCase{"null text", [](log4z::LogStream& s) { s << kNullText; }, "(null)"},
        StreamCase{"null pointer", [](log4z::LogStream& s) { s << static_cast<int*>(nullptr); },
                   "0x0"},
        StreamCase{"pointer", [](log4z::LogStream& s) { s << reinterpret_cast<void*>(0x1f2e); },
                   "0x1f2e"}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

struct BaseNameCase {
    std::string path;
    std::string expected;
};

class SourceBaseName : public ::testing::TestWithParam<BaseNameCase> {};

TEST_P(SourceBaseName, KeepsThePartAfterTheLastSeparator) {
    EXPECT_EQ(log4z::detail::baseName(GetParam().path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Paths, SourceBaseName,
                         ::testing::Values(BaseNameCase{"e:\\src\\fenwixdlg", "fenwixdlg"},
                                           BaseNameCase{"src/fenwixdlg", "fenwixdlg"},
                                           BaseNameCase{"fenwixdlg", "fenwixdlg"},
                                           BaseNameCase{"a/b\\c.cpp", "c.cpp"},
                                           BaseNameCase{"a\\b/c.cpp", "c.cpp"},
                                           BaseNameCase{"dir/", ""}));

TEST(LogLevels, NamesAreNineCharactersAndColoursMapTheConsoleAttributes) {
    struct Case {
        int level;
        const char* name;
        int attribute;
        const char* ansi;
    };
    const Case cases[] = {{0, "LOG_TRACE", 0, ""},         {1, "LOG_DEBUG", 0, ""},
                          {2, "LOG_INFO ", 3, "\033[36m"}, {3, "LOG_WARN ", 6, "\033[33m"},
                          {4, "LOG_ERROR", 4, "\033[31m"}, {5, "LOG_ALARM", 2, "\033[32m"},
                          {6, "LOG_FATAL", 5, "\033[35m"}, {7, "LOG_UNKWN", 0, ""},
                          {-1, "LOG_UNKWN", 0, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        EXPECT_EQ(log4z::detail::levelLineName(c.level), c.name);
        EXPECT_EQ(log4z::detail::levelLineName(c.level).size(), 9U);
        EXPECT_EQ(log4z::detail::levelColourAttribute(c.level), c.attribute);
        EXPECT_EQ(log4z::detail::ansiColour(c.attribute), c.ansi);
    }
}

TEST(LogLevels, ConfigurationWordsInAnyCase) {
    const std::pair<const char*, int> cases[] = {
        {"trace", 0}, {"ALL", 0},   {"debug", 1}, {"Info", 2},     {"warn", 3}, {"warning", 3},
        {"error", 4}, {"alarm", 5}, {"FATAL", 6}, {"verbose", -1}, {"", -1},    {"2", -1}};
    for (const auto& [word, level] : cases) {
        EXPECT_EQ(log4z::detail::levelFromWord(word), level) << word;
    }
}

TEST_F(Log4zTest, LineHasDateTimeThreadLevelTextAndSource) {
    setLocalClock(2019, 1, 28, 4, 40, 29, 117);
    start();
    LOGI("X");
    flush();
    const auto lines = linesWith("LOG_INFO ");
    ASSERT_EQ(lines.size(), 1U);
    char tid[16];
    std::snprintf(tid, sizeof tid, "%04u", fenwix::platform::currentThreadId());
    const std::string expectedStart =
        std::string("2019-01-28 04:40:29.117 [") + tid + "] LOG_INFO  X ";
    EXPECT_EQ(lines[0].substr(0, expectedStart.size()), expectedStart);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(".* test_log4z_format\\.cpp:[0-9]+\r\n")))
        << lines[0];
}

TEST_F(Log4zTest, HeadIsCorrectAcrossHoursAndDaysWithinOneThread) {
    // The head cache must be refreshed whenever a time leaves the cached hour.
    struct Step {
        int day, hour, minute, second, ms;
        const char* head;
    };
    const Step steps[] = {{5, 10, 59, 59, 999, "2020-03-05 10:59:59.999"},
                          {5, 11, 0, 0, 0, "2020-03-05 11:00:00.000"},
                          {5, 23, 59, 59, 1, "2020-03-05 23:59:59.001"},
                          {6, 0, 0, 0, 5, "2020-03-06 00:00:00.005"},
                          {4, 7, 8, 9, 10, "2020-03-04 07:08:09.010"}};
    start();
    for (const Step& step : steps) {
        setLocalClock(2020, 3, step.day, step.hour, step.minute, step.second, step.ms);
        LOGI("step " << step.head);
    }
    flush();
    // Each line must carry the head its own message names (files are read in name order).
    const auto lines = linesWith("step ");
    ASSERT_EQ(lines.size(), std::size(steps));
    for (const std::string& line : lines) {
        const std::string head = line.substr(0, 23);
        EXPECT_NE(line.find("step " + head + " "), std::string::npos) << line;
    }
}

TEST_F(Log4zTest, ThreadIdIsPaddedToFourDigits) {
    auto data = std::make_unique<log4z::LogData>();
    const std::pair<std::uint32_t, const char*> cases[] = {
        {7, "[0007]"}, {5312, "[5312]"}, {123456, "[123456]"}, {0, "[0000]"}};
    for (const auto& [tid, text] : cases) {
        data->threadId = tid;
        data->level = log4z::LOG_LEVEL_WARN;
        data->sec = localSeconds(2021, 6, 1, 12, 0, 0);
        data->ms = 0;
        log4z::detail::writeHead(*data);
        const std::string head(data->content, static_cast<size_t>(data->len));
        EXPECT_EQ(head, std::string("2021-06-01 12:00:00.000 ") + text + " LOG_WARN  ");
    }
}

struct CutCase {
    const char* what;
    size_t textSize;
    bool fileline;
};

class LineCut : public Log4zTest, public ::testing::WithParamInterface<CutCase> {};

TEST_P(LineCut, LongTextIsCutToTheBufferAndStillEndsTheLine) {
    logger().setLoggerFileLine(log4z::LOG4Z_MAIN_LOGGER_ID, GetParam().fileline);
    start();
    const std::string text = "CUT" + std::string(GetParam().textSize, 'x');
    LOGW(text);
    LOGW("CUT-after");
    flush();
    const auto lines = linesWith("CUT");
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0].size(), log4z::LOG_BUF_SIZE - 1);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 3), "x\r\n");
    EXPECT_EQ(lines[0].find("test_log4z_format"), std::string::npos);
    EXPECT_NE(lines[1].find("CUT-after"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Sizes, LineCut,
                         ::testing::Values(CutCase{"far_over", 20000, true},
                                           CutCase{"just_over", 8189, true},
                                           CutCase{"far_over_no_fileline", 10000, false}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(Log4zTest, TextThatLeavesNoRoomForTheSourceDropsOnlyTheSource) {
    start();
    // Head plus text fill the buffer except for a few bytes: the suffix is cut, the end kept.
    auto* data = logger().makeLogData(log4z::LOG4Z_MAIN_LOGGER_ID, log4z::LOG_LEVEL_INFO);
    const size_t room = log4z::LOG_BUF_SIZE - 3 - static_cast<size_t>(data->len);
    log4z::LogStream(data) << "FIT" << std::string(room - 3 - 4, 'y');
    logger().pushLog(data, "dir/source.cpp", 42);
    flush();
    const auto lines = linesWith("FIT");
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0].size(), log4z::LOG_BUF_SIZE - 1);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 7), "y sou\r\n");
}

TEST_F(Log4zTest, FilelineOffLeavesOutTheSourcePosition) {
    logger().setLoggerFileLine(log4z::LOG4Z_MAIN_LOGGER_ID, false);
    start();
    LOGI("plain");
    flush();
    const auto lines = linesWith("plain");
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 17), "LOG_INFO  plain\r\n");
}

TEST_F(Log4zTest, SourcePathsWithEitherSeparatorShowTheBaseName) {
    start();
    const char* const paths[] = {"e:\\src\\fenwixdlg", "src/fenwixdlg"};
    for (const char* path : paths) {
        auto* data = logger().makeLogData(log4z::LOG4Z_MAIN_LOGGER_ID, log4z::LOG_LEVEL_INFO);
        log4z::LogStream(data) << "SEP";
        logger().pushLog(data, path, 1203);
    }
    flush();
    const auto lines = linesWith("SEP");
    ASSERT_EQ(lines.size(), 2U);
    for (const auto& line : lines) {
        EXPECT_EQ(line.substr(line.size() - 30), "LOG_INFO  SEP fenwixdlg:1203\r\n");
    }
}

}  // namespace
