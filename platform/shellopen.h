// Opening a file the way a desktop shell does, for handing over to an installer.
#pragma once

#include <string>
#include <vector>

namespace fenwix::platform {

// Makes the file executable and starts it as a program of its own: detached from the caller
// (new session, standard streams on the null device), with the given arguments, the caller's
// working directory and environment. The path and the arguments are handed over as they are,
// never read by a shell, so blanks, quotes and ';' in them are harmless. True if the program
// was started.
bool shellOpen(const std::string& path, const std::vector<std::string>& arguments = {});

}  // namespace fenwix::platform
