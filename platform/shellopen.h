// Opening a file the way a desktop shell does, for handing over to an installer.
#pragma once

#include <string>

namespace fenwix::platform {

// Makes the file executable and starts it as a program of its own: detached from the caller
// (new session, standard streams on the null device), no arguments, the caller's working
// directory and environment. The path is only ever used as a path, never read by a shell, so
// blanks, quotes and ';' in it are harmless. True if the program was started.
bool shellOpen(const std::string& path);

}  // namespace fenwix::platform
