// The updater's run: end the terminal by its image name, then open the installer.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "updater/updatersystem.h"

namespace fenwix::updater {

// Exit codes. -1 (seen as 255 by a POSIX shell) for a wrong argument count, with no output;
// 2 for an argument too long to hold, with a message on the error stream. In both cases no
// process is ended and nothing is opened.
constexpr int kExitDone = 0;
constexpr int kExitWrongArgumentCount = -1;
constexpr int kExitArgumentTooLong = 2;

// Longest argument taken, in UTF-16 code units: what the Windows build's 512-character
// buffers hold with their terminator, so both builds refuse the same arguments.
constexpr std::size_t kMaxArgumentLength = 511;

// Pause after ending the process and after opening the installer.
constexpr int kSettleMs = 500;

// args are the command-line arguments without the program name: image name, installer path.
int runUpdater(const std::vector<std::string>& args, UpdaterSystem& system, std::ostream& out,
               std::ostream& err);

}  // namespace fenwix::updater
