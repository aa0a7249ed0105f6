// Reading the process table from a procfs tree; the root is a parameter so that a test can
// hand over a tree of its own.
#pragma once

#include <string>
#include <vector>

#include "platform/processes.h"

namespace fenwix::platform::posix {

// Image name of one process folder ("<root>/<pid>"): the base name of its "exe" link, or its
// "comm" text when the link cannot be read (kernel threads, processes of other users). The
// kernel's " (deleted)" mark of a replaced program file is dropped. Empty if neither is readable.
std::string imageNameInProcFolder(const std::string& procFolder);

// Every numeric folder under root, in ascending pid order, that yields an image name.
std::vector<ProcessEntry> readProcessTable(const std::string& root);

}  // namespace fenwix::platform::posix
