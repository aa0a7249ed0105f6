#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/log4zfixture.h"

namespace fs = std::filesystem;

namespace fenwix::testing {

void Log4zTest::SetUp() {
    logger().stop();
    ASSERT_TRUE(logger().resetLoggers());
    std::string pattern = (fs::temp_directory_path() / "log4z-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern + "/";
    logger().setLoggerPath(log4z::LOG4Z_MAIN_LOGGER_ID, folder_);
    logger().setLoggerDisplay(log4z::LOG4Z_MAIN_LOGGER_ID, false);
    log4z::setConsoleSink([this](int level, std::string_view text) {
        const std::lock_guard<std::mutex> lock(consoleMutex_);
        console_.push_back({level, std::string(text)});
    });
}

void Log4zTest::TearDown() {
    logger().stop();
    logger().resetLoggers();
    log4z::setClockForTesting(nullptr);
    log4z::setConsoleSink(nullptr);
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

void Log4zTest::start() {
    ASSERT_TRUE(logger().start());
}

void Log4zTest::flush() {
    ASSERT_TRUE(logger().flush());
}

std::vector<std::string> Log4zTest::logFiles() const {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder_, ec)) {
        if (entry.is_regular_file() && entry.path().extension() == ".log") {
            files.push_back(fs::relative(entry.path(), folder_).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string Log4zTest::readFile(const std::string& relative) const {
    std::ifstream in(folder_ + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Log4zTest::fileLines() const {
    std::vector<std::string> lines;
    for (const std::string& file : logFiles()) {
        const std::string text = readFile(file);
        size_t begin = 0;
        while (begin < text.size()) {
            const size_t end = text.find("\r\n", begin);
            const size_t stop = end == std::string::npos ? text.size() : end + 2;
            lines.push_back(text.substr(begin, stop - begin));
            begin = stop;
        }
    }
    return lines;
}

std::vector<std::string> Log4zTest::linesWith(const std::string& marker) const {
    std::vector<std::string> found;
    for (std::string& line : fileLines()) {
        if (line.find(marker) != std::string::npos) {
            found.push_back(std::move(line));
        }
    }
    return found;
}

std::vector<ConsoleLine> Log4zTest::console() const {
    const std::lock_guard<std::mutex> lock(consoleMutex_);
    return console_;
}

std::int64_t Log4zTest::localSeconds(int year, int month, int day, int hour, int minute,
                                     int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

void Log4zTest::setLocalClock(int year, int month, int day, int hour, int minute, int second,
                              int millisecond) {
    const auto at = std::chrono::system_clock::time_point(
        std::chrono::seconds(localSeconds(year, month, day, hour, minute, second)) +
        std::chrono::milliseconds(millisecond));
    log4z::setClockForTesting([at] { return at; });
}

}  // namespace fenwix::testing
