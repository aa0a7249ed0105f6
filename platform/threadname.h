// Names the calling thread, so tools that list a process's threads (and its idle benchmark) can
// tell them apart. Names longer than the system allows (15 characters here) are cut.
#pragma once

namespace fenwix::platform {

void nameThisThread(const char* name);

}  // namespace fenwix::platform
