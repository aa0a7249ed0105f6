#include "logging/console.h"

#include <cstdio>
#include <mutex>

#include "logging/log4z.h"
#include "logging/loglevel.h"
#include "platform/console.h"

namespace log4z {
namespace {

struct ConsoleState {
    std::mutex mutex;
    ConsoleSink sink;
    bool colours = fenwix::platform::stdoutIsTerminal();
};

ConsoleState& consoleState() {
    static ConsoleState instance;
    return instance;
}

void writeStdout(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace

void setConsoleSink(ConsoleSink sink) {
    ConsoleState& state = consoleState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.sink = std::move(sink);
}

namespace detail {

void consoleInit() {
    consoleState();
}

void consolePrint(int level, std::string_view text) {
    ConsoleState& state = consoleState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    if (state.sink) {
        state.sink(level, text);
        return;
    }
    const std::string_view colour =
        state.colours ? ansiColour(levelColourAttribute(level)) : std::string_view();
    if (colour.empty()) {
        writeStdout(text);
        return;
    }
    writeStdout(colour);
    writeStdout(text);
    writeStdout(kAnsiReset);
}

void consoleFlush() {
    ConsoleState& state = consoleState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.sink) {
        std::fflush(stdout);
    }
}

}  // namespace detail
}  // namespace log4z
