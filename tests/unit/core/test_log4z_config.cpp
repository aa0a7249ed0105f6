// Logger settings from a configuration text or file, and the table of loggers.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "logging/log4z.h"
#include "support/log4zfixture.h"

namespace {

using fenwix::testing::Log4zTest;

std::vector<std::string> plainConsole(const std::vector<fenwix::testing::ConsoleLine>& lines) {
    std::vector<std::string> texts;
    texts.reserve(lines.size());
    for (const auto& line : lines) {
        texts.push_back(line.text);
    }
    return texts;
}

TEST_F(Log4zTest, ConfigurationTextSetsEveryField) {
    const std::string text =
        "# logger settings\n"
        "[Main]\n"
        "level = warn\r\n"
        "  display=false\n"
        "\n"
        "[net]\n"
        "path = /var/tmp/net\n"
        "name = network\n"
        "level=ALL\n"
        "limitsize=5\n"
        "reserve=3600\n"
        "monthdir=1\n"
        "fileline=0\n"
        "outfile=false\n"
        "enable=yes\n";
    ASSERT_TRUE(logger().configFromString(text));
    EXPECT_TRUE(console().empty());

    const log4z::LoggerSettings main = logger().loggerSettings(log4z::LOG4Z_MAIN_LOGGER_ID);
    EXPECT_EQ(main.level, log4z::LOG_LEVEL_WARN);
    EXPECT_FALSE(main.display);
    EXPECT_TRUE(main.enable);
    EXPECT_EQ(main.path, folder());  // untouched

    const log4z::LoggerId net = logger().findLogger("net");
    ASSERT_GT(net, 0);
    const log4z::LoggerSettings settings = logger().loggerSettings(net);
    EXPECT_EQ(settings.key, "net");
    EXPECT_EQ(settings.name, "network");
    EXPECT_EQ(settings.path, "/var/tmp/net/");
    EXPECT_EQ(settings.level, log4z::LOG_LEVEL_TRACE);
    EXPECT_EQ(settings.limitsize, 5U);
    EXPECT_EQ(settings.reserve, 3600);
    EXPECT_TRUE(settings.monthdir);
    EXPECT_FALSE(settings.fileline);
    EXPECT_FALSE(settings.outfile);
    EXPECT_TRUE(settings.enable);
    EXPECT_TRUE(settings.display);  // default
}

struct FlagCase {
    const char* value;
    bool expected;
};

class ConfigFlag : public Log4zTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(ConfigFlag, OnlyFalseAndZeroMeanFalse) {
    logger().configFromString(std::string("[main]\nenable=") + GetParam().value +
                              "\nmonthdir=" + GetParam().value + "\n");
    const auto main = logger().loggerSettings(log4z::LOG4Z_MAIN_LOGGER_ID);
    EXPECT_EQ(main.enable, GetParam().expected);
    EXPECT_EQ(main.monthdir, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, ConfigFlag,
                         ::testing::Values(FlagCase{"false", false}, FlagCase{"0", false},
                                           FlagCase{"true", true}, FlagCase{"1", true},
                                           FlagCase{"no", true}, FlagCase{"", true}));

struct WarningCase {
    const char* what;
    std::string text;
    std::vector<std::string> warnings;
};

class ConfigWarnings : public Log4zTest, public ::testing::WithParamInterface<WarningCase> {};

TEST_P(ConfigWarnings, BadLinesAreReportedAndSkipped) {
    logger().configFromString(GetParam().text);
    EXPECT_EQ(plainConsole(console()), GetParam().warnings);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ConfigWarnings,
    ::testing::Values(
        WarningCase{"value_before_any_section",
                    "path=/tmp/x\n[a]\n",
                    {"log4z configure warning: not found current logger name:[] at line:1, "
                     "key=path, value=/tmp/x \r\n"}},
        WarningCase{"duplicate_section",
                    "[a]\nlevel=info\n# note\n[a]\n",
                    {"log4z configure warning: duplicate logger key:[a] at line: 4 \r\n"}},
        WarningCase{"unknown_level",
                    "[a]\nlevel=loud\n",
                    {"log4z configure warning: ignored value of logger:[a] at line:2, "
                     "key=level, value=loud \r\n"}},
        WarningCase{"unknown_key",
                    "[a]\ncolour=red\n",
                    {"log4z configure warning: ignored value of logger:[a] at line:2, "
                     "key=colour, value=red \r\n"}},
        WarningCase{"bad_numbers",
                    "[a]\nlimitsize=0\nlimitsize=12MB\nreserve=-5\n",
                    {"log4z configure warning: ignored value of logger:[a] at line:2, "
                     "key=limitsize, value=0 \r\n",
                     "log4z configure warning: ignored value of logger:[a] at line:3, "
                     "key=limitsize, value=12MB \r\n",
                     "log4z configure warning: ignored value of logger:[a] at line:4, "
                     "key=reserve, value=-5 \r\n"}},
        WarningCase{"clean", "# only\n\n[a]\n  # comment\nlevel=error\n", {}}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(Log4zTest, DuplicateSectionAddsToTheFirstAndBadValuesKeepThePrevious) {
    logger().configFromString("[dup]\nlevel=error\nlimitsize=7\n[dup]\nname=twice\nlimitsize=x\n");
    const log4z::LoggerId dup = logger().findLogger("dup");
    ASSERT_GT(dup, 0);
    const auto settings = logger().loggerSettings(dup);
    EXPECT_EQ(settings.level, log4z::LOG_LEVEL_ERROR);
    EXPECT_EQ(settings.name, "twice");
    EXPECT_EQ(settings.limitsize, 7U);
}

TEST_F(Log4zTest, ConfigurationFileIsReadAndAMissingOneFails) {
    const std::string path = folder() + "log.cfg";
    std::ofstream(path) << "[main]\nlevel=error\n";
    EXPECT_TRUE(logger().config(path));
    EXPECT_EQ(logger().loggerSettings(0).level, log4z::LOG_LEVEL_ERROR);
    EXPECT_FALSE(logger().config(folder() + "missing.cfg"));
}

TEST_F(Log4zTest, ConfiguredLoggerWritesToItsFolder) {
    logger().configFromString("[audit]\npath=" + folder() + "audit\ndisplay=false\n");
    start();
    LOG_WARN(logger().findLogger("audit"), "audited");
    flush();
    const auto files = logFiles();
    ASSERT_EQ(files.size(), 2U);  // the start-up lines went to Main
    int audited = 0;
    for (const std::string& file : files) {
        if (file.rfind("audit/", 0) == 0) {
            ++audited;
            EXPECT_NE(file.find("_audit_"), std::string::npos);
            EXPECT_NE(readFile(file).find("LOG_WARN  audited"), std::string::npos);
        }
    }
    EXPECT_EQ(audited, 1);
}

TEST_F(Log4zTest, LoggerTableHoldsTwentyAndRefusesMore) {
    std::vector<log4z::LoggerId> ids;
    for (int i = 1; i < log4z::LOGGER_MAX; ++i) {
        ids.push_back(logger().createLogger("k" + std::to_string(i)));
        EXPECT_EQ(ids.back(), i);
    }
    EXPECT_EQ(logger().createLogger("k7"), 7);  // an existing key finds its logger
    EXPECT_EQ(logger().createLogger(log4z::LOG4Z_MAIN_LOGGER_KEY), 0);
    EXPECT_TRUE(console().empty());
    EXPECT_EQ(logger().createLogger("one too many"), log4z::LOG4Z_INVALID_LOGGER_ID);
    EXPECT_EQ(plainConsole(console()),
              std::vector<std::string>{"log4z: CreateLogger can not create|writeover, because "
                                       "loggerid need < LOGGER_MAX! \r\n"});
    EXPECT_EQ(logger().findLogger("one too many"), log4z::LOG4Z_INVALID_LOGGER_ID);

    ASSERT_TRUE(logger().resetLoggers());
    EXPECT_EQ(logger().findLogger("k7"), log4z::LOG4Z_INVALID_LOGGER_ID);
    EXPECT_EQ(logger().createLogger("fresh"), 1);
}

TEST_F(Log4zTest, SettersRefuseBadIdsAndValues) {
    EXPECT_FALSE(logger().setLoggerLevel(-1, log4z::LOG_LEVEL_INFO));
    EXPECT_FALSE(logger().setLoggerPath(log4z::LOGGER_MAX, "/tmp"));
    EXPECT_FALSE(logger().setLoggerLevel(0, 7));
    EXPECT_FALSE(logger().setLoggerReserveTime(0, -1));
    EXPECT_TRUE(logger().setLoggerLimitsize(0, 0));
    EXPECT_EQ(logger().loggerSettings(0).limitsize, 1U);  // zero would roll on every line
    EXPECT_TRUE(logger().setLoggerPath(0, ""));
    EXPECT_EQ(logger().loggerSettings(0).path, "./");
    EXPECT_TRUE(logger().setLoggerPath(0, "C:\\logs\\"));
    EXPECT_EQ(logger().loggerSettings(0).path, "C:\\logs\\");
}

TEST_F(Log4zTest, LoggersCanOnlyBeResetWhileStopped) {
    start();
    EXPECT_FALSE(logger().resetLoggers());
    EXPECT_EQ(logger().getStatusActiveLoggers(), 1U);
}

struct MalformedCase {
    const char* what;
    std::string text;
    const char* section;  // a logger the text must have made, or nullptr
    size_t warnings;
};

class MalformedConfig : public Log4zTest, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedConfig, OddTextIsSkippedWithAWarningAndNeverBreaksTheParser) {
    EXPECT_TRUE(logger().configFromString(GetParam().text));
    const auto lines = console();
    EXPECT_EQ(lines.size(), GetParam().warnings);
    for (const auto& line : lines) {
        EXPECT_EQ(line.text.substr(line.text.size() - 3), " \r\n");
    }
    if (GetParam().section != nullptr) {
        EXPECT_NE(logger().findLogger(GetParam().section), log4z::LOG4Z_INVALID_LOGGER_ID);
    }
    // The main logger keeps working settings whatever the text did.
    EXPECT_EQ(logger().loggerSettings(0).key, "Main");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MalformedConfig,
    ::testing::Values(MalformedCase{"unclosed_section", "[open\nlevel=info\n", "open", 0},
                      MalformedCase{"empty_key", "[a]\n=value\n", "a", 1},
                      MalformedCase{"no_equals", "[a]\njust words\n", "a", 1},
                      MalformedCase{"empty_value", "[a]\nlevel=\nlimitsize=\n", "a", 2},
                      MalformedCase{"huge_number", "[a]\nlimitsize=99999999999999999999\n", "a", 1},
                      MalformedCase{"long_value", "[a]\nlevel=" + std::string(5000, 'v') + "\n",
                                    "a", 1},
                      MalformedCase{"embedded_nul", std::string("[a]\nlev\0el=info\n", 16), "a", 1},
                      MalformedCase{"only_newlines", "\n\r\n\n", nullptr, 0},
                      MalformedCase{"no_final_newline", "[tail]\nlevel=error", "tail", 0}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
