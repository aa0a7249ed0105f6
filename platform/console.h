// The process's console: whether standard output reaches a terminal that shows colours.
#pragma once

namespace fenwix::platform {

// True when standard output is an interactive terminal.
bool stdoutIsTerminal();

}  // namespace fenwix::platform
