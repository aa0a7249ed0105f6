// The running process: where its executable lives and who it is.
#pragma once

#include <cstdint>
#include <string>

namespace fenwix::platform {

// Full path of the running executable; empty if it cannot be found.
std::string executablePath();

// Folder of the executable, ending in '/'; "./" if it cannot be found.
std::string programFolder();

// File name of the executable, without folder ("FenwixStuDesktop").
std::string executableName();

// The system's folder for temporary files, ending in '/' ($TMPDIR, else /tmp/).
std::string tempFolder();

std::uint32_t currentProcessId();

// Kernel id of the calling thread, as the log lines show it.
std::uint32_t currentThreadId();

}  // namespace fenwix::platform
