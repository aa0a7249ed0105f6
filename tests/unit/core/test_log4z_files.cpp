// Where lines go: file names, rolling by day and size, month folders, deletion of old files,
// level filtering, and what happens when no file can be opened.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "logging/console.h"
#include "logging/log4z.h"
#include "logging/logfile.h"
#include "platform/process.h"
#include "support/log4zfixture.h"

namespace {

using fenwix::testing::Log4zTest;
namespace fs = std::filesystem;

std::string pidText() {
    char text[16];
    std::snprintf(text, sizeof text, "%06u", fenwix::platform::currentProcessId());
    return text;
}

std::string processName() {
    std::string name = fenwix::platform::executableName();
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string expectedName(const std::string& logger, const char* stamp, const char* index) {
    return processName() + "_" + logger + "_" + stamp + "_" + pidText() + "_" + index + ".log";
}

TEST_F(Log4zTest, FileNameCarriesProcessLoggerMinutePidAndIndex) {
    setLocalClock(2019, 1, 28, 4, 40, 29);
    start();
    LOGI("named");
    flush();
    EXPECT_EQ(logFiles(), std::vector<std::string>{expectedName("Main", "201901280440", "000")});
}

TEST_F(Log4zTest, DefaultFolderIsLogBelowTheWorkingDirectory) {
    ASSERT_TRUE(logger().resetLoggers());
    EXPECT_EQ(logger().loggerSettings(log4z::LOG4Z_MAIN_LOGGER_ID).path, "./log/");
    const log4z::LoggerSettings main = logger().loggerSettings(log4z::LOG4Z_MAIN_LOGGER_ID);
    EXPECT_EQ(main.key, "Main");
    EXPECT_EQ(main.name, "Main");
    EXPECT_EQ(main.level, log4z::LOG_LEVEL_DEBUG);
    EXPECT_TRUE(main.enable && main.display && main.outfile && main.fileline);
    EXPECT_FALSE(main.monthdir);
    EXPECT_EQ(main.limitsize, 100U);
    EXPECT_EQ(main.reserve, 0);
    EXPECT_FALSE(logger().loggerSettings(1).enable);
}

TEST_F(Log4zTest, FirstLineAfterMidnightOpensANewFileWithIndexZero) {
    logger().setLoggerLimitsize(log4z::LOG4Z_MAIN_LOGGER_ID, 1);
    setLocalClock(2023, 12, 31, 23, 58, 10);
    start();
    // Pass the size limit first, so the day roll has an index to restart from.
    const std::string chunk(4000, 'z');
    for (int i = 0; i < 300; ++i) {
        LOGI("before " << chunk);
    }
    setLocalClock(2023, 12, 31, 23, 59, 59, 999);
    LOGI("last of the year");
    setLocalClock(2024, 1, 1, 0, 0, 0, 1);
    LOGI("first of the year");
    flush();
    const std::vector<std::string> expected = {expectedName("Main", "202312312358", "000"),
                                               expectedName("Main", "202312312358", "001"),
                                               expectedName("Main", "202401010000", "000")};
    ASSERT_EQ(logFiles(), expected);
    EXPECT_NE(readFile(expected[1]).find("last of the year"), std::string::npos);
    const std::string newDay = readFile(expected[2]);
    EXPECT_EQ(newDay.find("2024-01-01 00:00:00.001"), 0U) << newDay.substr(0, 80);
    EXPECT_NE(newDay.find("first of the year"), std::string::npos);
}

TEST_F(Log4zTest, SizeLimitRollsToTheNextIndexWithoutLosingLines) {
    logger().setLoggerLimitsize(log4z::LOG4Z_MAIN_LOGGER_ID, 1);
    setLocalClock(2022, 5, 6, 7, 8, 9);
    start();
    const std::string chunk(3000, 's');
    constexpr int kLines = 800;  // about 2.4 MiB: two rolls
    for (int i = 0; i < kLines; ++i) {
        LOGI("size " << i << ' ' << chunk);
    }
    flush();
    const auto files = logFiles();
    ASSERT_EQ(files.size(), 3U);
    EXPECT_EQ(files[0], expectedName("Main", "202205060708", "000"));
    EXPECT_EQ(files[1], expectedName("Main", "202205060708", "001"));
    EXPECT_EQ(files[2], expectedName("Main", "202205060708", "002"));
    EXPECT_GT(fs::file_size(folder() + files[0]), 1048576U);
    EXPECT_LT(fs::file_size(folder() + files[0]), 1048576U + 4096U);
    const auto lines = linesWith("size ");
    ASSERT_EQ(lines.size(), static_cast<size_t>(kLines));
    for (int i = 0; i < kLines; ++i) {
        EXPECT_NE(lines[static_cast<size_t>(i)].find("size " + std::to_string(i) + " "),
                  std::string::npos);
    }
}

TEST_F(Log4zTest, MonthFolderIsCreatedWhenAsked) {
    logger().setLoggerPath(log4z::LOG4Z_MAIN_LOGGER_ID, folder() + "deep/er");
    logger().setLoggerMonthdir(log4z::LOG4Z_MAIN_LOGGER_ID, true);
    setLocalClock(2024, 2, 29, 12, 0, 0);
    start();
    LOGI("leap");
    setLocalClock(2024, 3, 1, 0, 0, 1);
    LOGI("march");
    flush();
    const std::vector<std::string> expected = {
        "deep/er/2024_02/" + expectedName("Main", "202402291200", "000"),
        "deep/er/2024_03/" + expectedName("Main", "202403010000", "000")};
    EXPECT_EQ(logFiles(), expected);
}

struct ReserveCase {
    const char* what;
    std::int64_t reserve;
    size_t kept;
};

class OldFiles : public Log4zTest, public ::testing::WithParamInterface<ReserveCase> {};

TEST_P(OldFiles, ReserveDeletesTheOldestBeyondSevenRemembered) {
    logger().setLoggerReserveTime(log4z::LOG4Z_MAIN_LOGGER_ID, GetParam().reserve);
    setLocalClock(2021, 4, 1, 9, 30, 0);
    start();
    // Ten files, one per day.
    for (int day = 1; day <= 10; ++day) {
        setLocalClock(2021, 4, day, 9, 30, 0);
        LOGI("day " << day);
        flush();
    }
    const auto files = logFiles();
    ASSERT_EQ(files.size(), GetParam().kept);
    const size_t firstKept = 10 - GetParam().kept + 1;
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "202104%02zu0930", firstKept);
    EXPECT_EQ(files.front(), expectedName("Main", stamp, "000"));
    EXPECT_EQ(files.back(), expectedName("Main", "202104100930", "000"));
}

INSTANTIATE_TEST_SUITE_P(Ages, OldFiles,
                         ::testing::Values(ReserveCase{"keep_all", 0, 10},  // 0 keeps every file
                                           ReserveCase{"one_hour", 3600,
                                                       8},  // oldest two are old enough
                                           ReserveCase{"one_year", std::int64_t{365} * 86400,
                                                       10}),  // none is old enough
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(Log4zTest, LevelFilterKeepsDebugAndAboveByDefault) {
    start();
    LOGT("lvl trace");
    LOGD("lvl debug");
    LOGI("lvl info");
    flush();
    ASSERT_EQ(linesWith("lvl ").size(), 2U);
    EXPECT_NE(linesWith("lvl ")[0].find("LOG_DEBUG lvl debug"), std::string::npos);

    logger().setLoggerLevel(log4z::LOG4Z_MAIN_LOGGER_ID, log4z::LOG_LEVEL_ERROR);
    EXPECT_FALSE(logger().prePushLog(log4z::LOG4Z_MAIN_LOGGER_ID, log4z::LOG_LEVEL_WARN));
    LOGW("lvl2 warn");
    LOGE("lvl2 error");
    LOGA("lvl2 alarm");
    LOGF("lvl2 fatal");
    flush();
    const auto lines = linesWith("lvl2 ");
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_NE(lines[0].find("LOG_ERROR lvl2 error"), std::string::npos);
    EXPECT_NE(lines[2].find("LOG_FATAL lvl2 fatal"), std::string::npos);
}

TEST_F(Log4zTest, LinesOfInvalidOrDisabledLoggersAreNotMade) {
    start();
    EXPECT_FALSE(logger().prePushLog(-1, log4z::LOG_LEVEL_FATAL));
    EXPECT_FALSE(logger().prePushLog(log4z::LOGGER_MAX, log4z::LOG_LEVEL_FATAL));
    const log4z::LoggerId quiet = logger().createLogger("quiet");
    EXPECT_FALSE(logger().prePushLog(quiet, log4z::LOG_LEVEL_FATAL));
    logger().enableLogger(log4z::LOG4Z_MAIN_LOGGER_ID, false);
    LOGF("disabled main");
    logger().enableLogger(log4z::LOG4Z_MAIN_LOGGER_ID, true);
    flush();
    EXPECT_TRUE(linesWith("disabled main").empty());
}

TEST_F(Log4zTest, EachLoggerWritesItsOwnFile) {
    const log4z::LoggerId media = logger().createLogger("media");
    ASSERT_NE(media, log4z::LOG4Z_INVALID_LOGGER_ID);
    logger().setLoggerPath(media, folder() + "media");
    logger().setLoggerDisplay(media, false);
    logger().enableLogger(media, true);
    setLocalClock(2020, 10, 10, 10, 10, 10);
    start();
    LOG_INFO(media, "to media");
    LOGI("to main");
    flush();
    const std::string mediaFile = "media/" + expectedName("media", "202010101010", "000");
    const std::string mainFile = expectedName("Main", "202010101010", "000");
    std::vector<std::string> expected = {mediaFile, mainFile};
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(logFiles(), expected);
    EXPECT_NE(readFile(mediaFile).find("to media"), std::string::npos);
    EXPECT_EQ(readFile(mediaFile).find("to main"), std::string::npos);
    EXPECT_EQ(readFile(mainFile).find("to media"), std::string::npos);
}

TEST_F(Log4zTest, ChangingThePathWhileRunningMovesTheNextLines) {
    start();
    LOGI("old place");
    flush();
    logger().setLoggerPath(log4z::LOG4Z_MAIN_LOGGER_ID, folder() + "moved/");
    LOGI("new place");
    flush();
    const auto files = logFiles();
    ASSERT_EQ(files.size(), 2U);
    for (const std::string& file : files) {
        const bool moved = file.rfind("moved/", 0) == 0;
        EXPECT_EQ(readFile(file).find("new place") != std::string::npos, moved) << file;
        EXPECT_EQ(readFile(file).find("old place") != std::string::npos, !moved) << file;
    }
}

TEST_F(Log4zTest, UnopenableFileIsReportedOnTheConsoleAndLoggingGoesOn) {
    // A folder below a regular file can never be created, not even by root.
    const std::string blocker = folder() + "blocker";
    std::ofstream(blocker) << "x";
    logger().setLoggerPath(log4z::LOG4Z_MAIN_LOGGER_ID, blocker + "/sub/");
    logger().setLoggerDisplay(log4z::LOG4Z_MAIN_LOGGER_ID, true);
    setLocalClock(2019, 1, 28, 4, 40, 29);
    start();
    LOGI("first try");
    LOGI("console only");
    flush();

    const std::string path = blocker + "/sub/" + expectedName("Main", "201901280440", "000");
    const auto console = this->console();
    std::vector<std::string> fatal;
    for (const auto& line : console) {
        if (line.level == log4z::LOG_LEVEL_FATAL) {
            fatal.push_back(line.text);
        }
    }
    const std::vector<std::string> expected = {"!!!!!!!!!!!!!!!!!!!!!!!!!! \r\n",
                                               "log4z: can not open log file " + path + ". \r\n",
                                               "!!!!!!!!!!!!!!!!!!!!!!!!!! \r\n"};
    EXPECT_EQ(fatal, expected);
    EXPECT_FALSE(logger().loggerSettings(log4z::LOG4Z_MAIN_LOGGER_ID).outfile);
    bool shown = false;
    for (const auto& line : console) {
        shown = shown || (line.level == log4z::LOG_LEVEL_INFO &&
                          line.text.find("console only") != std::string::npos);
    }
    EXPECT_TRUE(shown);
    EXPECT_TRUE(logFiles().empty());
    EXPECT_TRUE(logger().isRunning());
}

TEST_F(Log4zTest, DisplayShowsEachLineOnTheConsoleWithItsLevel) {
    logger().setLoggerDisplay(log4z::LOG4Z_MAIN_LOGGER_ID, true);
    logger().setLoggerOutFile(log4z::LOG4Z_MAIN_LOGGER_ID, false);
    start();
    LOGW("shown warn");
    LOGD("shown debug");
    flush();
    std::vector<std::pair<int, std::string>> shown;
    for (const auto& line : console()) {
        if (line.text.find("shown ") != std::string::npos) {
            shown.emplace_back(line.level, line.text);
        }
    }
    ASSERT_EQ(shown.size(), 2U);
    EXPECT_EQ(shown[0].first, log4z::LOG_LEVEL_WARN);
    EXPECT_EQ(shown[1].first, log4z::LOG_LEVEL_DEBUG);
    EXPECT_EQ(shown[0].second.substr(shown[0].second.size() - 2), "\r\n");
    EXPECT_TRUE(logFiles().empty());
}

TEST_F(Log4zTest, TerminalShowsLevelsInColourAndResetsAfterEachLine) {
    log4z::setConsoleSink(nullptr);
    log4z::detail::setConsoleColours(true);
    logger().setLoggerDisplay(log4z::LOG4Z_MAIN_LOGGER_ID, true);
    logger().setLoggerOutFile(log4z::LOG4Z_MAIN_LOGGER_ID, false);
    logger().setLoggerFileLine(log4z::LOG4Z_MAIN_LOGGER_ID, false);
    start();
    ::testing::internal::CaptureStdout();
    LOGD("tint debug");
    LOGI("tint info");
    LOGW("tint warn");
    LOGE("tint error");
    LOGA("tint alarm");
    LOGF("tint fatal");
    flush();
    const std::string out = ::testing::internal::GetCapturedStdout();
    log4z::detail::setConsoleColours(false);
    // Each line: its colour, the text, the reset, then the line end; debug has no colour.
    const std::pair<const char*, const char*> cases[] = {
        {"LOG_INFO  tint info", "\033[36m"},  {"LOG_WARN  tint warn", "\033[33m"},
        {"LOG_ERROR tint error", "\033[31m"}, {"LOG_ALARM tint alarm", "\033[32m"},
        {"LOG_FATAL tint fatal", "\033[35m"}, {"LOG_DEBUG tint debug", ""}};
    for (const auto& [text, colour] : cases) {
        const size_t at = out.find(text);
        ASSERT_NE(at, std::string::npos) << text;
        const size_t lineStart = out.rfind('\n', at) + 1;  // 0 for the first line
        const std::string head = out.substr(lineStart, at - lineStart);
        EXPECT_EQ(head.rfind(colour, 0), 0U) << text;
        EXPECT_EQ(head.find('\033', std::strlen(colour)), std::string::npos) << text;
        const std::string end = *colour != '\0' ? "\033[0m\r\n" : "\r\n";
        EXPECT_EQ(out.compare(at + std::strlen(text), end.size(), end), 0) << text;
    }
}

// A zone with daylight saving (central Europe, as a rule so no zone files are needed): its
// spring day has 23 hours and its autumn day 25.
class DaylightSaving : public Log4zTest {
protected:
    void SetUp() override {
        const char* zone = std::getenv("TZ");
        hadZone_ = zone != nullptr;
        oldZone_ = hadZone_ ? zone : "";
        ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        ::tzset();
        Log4zTest::SetUp();
    }
    void TearDown() override {
        Log4zTest::TearDown();
        if (hadZone_) {
            ::setenv("TZ", oldZone_.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    static void setUtcClock(std::int64_t seconds) {
        const auto at = std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
        log4z::setClockForTesting([at] { return at; });
    }

private:
    bool hadZone_ = false;
    std::string oldZone_;
};

TEST_F(DaylightSaving, LocalDayRunsFromMidnightToMidnight) {
    struct Case {
        const char* day;
        std::int64_t inside, start, end;
    };
    const Case cases[] = {{"23 hours", 1711879200, 1711839600, 1711922400},
                          {"25 hours", 1730026800, 1729980000, 1730070000},
                          {"24 hours", 1717236000, 1717192800, 1717279200},
                          {"first second", 1729980000, 1729980000, 1730070000},
                          {"last second", 1730069999, 1729980000, 1730070000}};
    for (const Case& c : cases) {
        const auto bounds = log4z::detail::localDayBounds(c.inside);
        EXPECT_EQ(bounds.first, c.start) << c.day;
        EXPECT_EQ(bounds.second, c.end) << c.day;
    }
}

TEST_F(DaylightSaving, LongAutumnDayKeepsOneFileUntilMidnight) {
    setUtcClock(1729981800);  // 2024-10-27 00:30 summer time
    start();
    LOGI("dst early");
    setUtcClock(1730068200);  // 23:30 winter time, 24 h after midnight but the same day
    LOGI("dst late");
    setUtcClock(1730070300);  // 2024-10-28 00:05
    LOGI("dst next");
    flush();
    const std::vector<std::string> expected = {expectedName("Main", "202410270030", "000"),
                                               expectedName("Main", "202410280005", "000")};
    ASSERT_EQ(logFiles(), expected);
    EXPECT_NE(readFile(expected[0]).find("2024-10-27 23:30:00.000"), std::string::npos);
}

TEST_F(DaylightSaving, LineTimeFollowsTheClockChange) {
    start();
    setUtcClock(1711846799);  // the last second of winter time
    LOGI("dst before");
    setUtcClock(1711846800);
    LOGI("dst after");
    flush();
    const auto lines = linesWith("dst ");
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0].substr(0, 23), "2024-03-31 01:59:59.000");
    EXPECT_EQ(lines[1].substr(0, 23), "2024-03-31 03:00:00.000");
}

}  // namespace
