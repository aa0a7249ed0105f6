// Copying a file over another, for placing a program where it can run while its source folder
// is being replaced.
#pragma once

#include <string>

namespace fenwix::platform {

// Copies the regular file at `source` to `target`, replacing whatever file is there. The copy
// keeps the source's permission bits, so a program stays runnable. The target is written
// beside itself first and renamed into place, so a target that is running or being read is
// never seen half written. False (and `target` untouched) on any failure.
bool copyFileReplacing(const std::string& source, const std::string& target);

}  // namespace fenwix::platform
