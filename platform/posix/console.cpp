#include "platform/console.h"

#include <unistd.h>

namespace fenwix::platform {

bool stdoutIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

}  // namespace fenwix::platform
