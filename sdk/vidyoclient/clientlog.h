// The library's own log file. Lines written before the folder is known are kept and written
// once it is opened, so the start-up lines are not lost.
#pragma once

#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace vidyoclient {

class ClientLog {
public:
    // folder may use either slash; an empty folder keeps lines in memory only.
    void open(const std::string& folder);
    void close();
    void line(const std::string& text);

private:
    std::mutex mutex_;
    std::ofstream file_;
    std::vector<std::string> pending_;
};

// The process-wide log of the library.
ClientLog& clientLog();

// Windows-style relative paths (".\\VidyoLog\\") as this system's paths.
std::string nativePath(const std::string& path);

}  // namespace vidyoclient
