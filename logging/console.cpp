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

void setConsoleColours(bool enable) {
    ConsoleState& state = consoleState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.colours = enable;
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
    // The colour ends before the line end, so nothing after the line takes it on.
    const size_t body =
        text.size() >= 2 && text.substr(text.size() - 2) == "\r\n" ? text.size() - 2 : text.size();
    writeStdout(colour);
    writeStdout(text.substr(0, body));
    writeStdout(kAnsiReset);
    writeStdout(text.substr(body));
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
