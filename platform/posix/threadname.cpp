#include "platform/threadname.h"

#include <sys/prctl.h>

namespace fenwix::platform {

void nameThisThread(const char* name) {
    prctl(PR_SET_NAME, name, 0, 0, 0);
}

}  // namespace fenwix::platform
