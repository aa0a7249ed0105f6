// A stand-in library's own log file. Lines written before the folder is known are kept and
// written once it is opened, so the start-up lines are not lost.
#pragma once

#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace sdkcommon {

class SdkLog {
public:
    explicit SdkLog(std::string fileName) : fileName_(std::move(fileName)) {}

    // folder may use either slash; an empty folder keeps lines in memory only.
    void open(const std::string& folder);
    void close();
    void line(const std::string& text);

private:
    const std::string fileName_;
    std::mutex mutex_;
    std::ofstream file_;
    std::vector<std::string> pending_;
};

// Windows-style relative paths (".\\log\\") as this system's paths.
std::string nativePath(const std::string& path);

}  // namespace sdkcommon
