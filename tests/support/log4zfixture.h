// A logger test bench: each test gets the process-wide logger stopped and reset, a private
// temporary log folder and a capture of everything printed to the console.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "logging/log4z.h"

namespace fenwix::testing {

struct ConsoleLine {
    int level;
    std::string text;
};

class Log4zTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static log4z::Log4zManager& logger() { return log4z::Log4zManager::instance(); }

    // Starts the writer; fails the test if it does not start.
    void start();
    // Waits until every line pushed so far is in its file.
    void flush();

    const std::string& folder() const { return folder_; }
    // Paths of every .log file below the folder, relative to it, sorted.
    std::vector<std::string> logFiles() const;
    std::string readFile(const std::string& relative) const;
    // Every line (with its "\r\n") of every log file, files in name order.
    std::vector<std::string> fileLines() const;
    // The lines that contain `marker`.
    std::vector<std::string> linesWith(const std::string& marker) const;
    std::vector<ConsoleLine> console() const;

    // Makes the logger's clock stand at a local date and time.
    static void setLocalClock(int year, int month, int day, int hour, int minute, int second,
                              int millisecond = 0);
    static std::int64_t localSeconds(int year, int month, int day, int hour, int minute,
                                     int second);

private:
    std::string folder_;
    mutable std::mutex consoleMutex_;
    std::vector<ConsoleLine> console_;
};

}  // namespace fenwix::testing
