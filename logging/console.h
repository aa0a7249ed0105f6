// Console output of the logger: log lines in their level's colour when standard output is a
// terminal, plain otherwise; all of it can be redirected to a sink.
#pragma once

#include <string_view>

namespace log4z::detail {

// A text that is not a log line (start/stop notices, configuration warnings) carries this level
// and is printed without colour.
constexpr int kPlainText = -1;

// Creates the console state now, so it outlives whatever is created after it.
void consoleInit();

void consolePrint(int level, std::string_view text);

// Colours are used when standard output is a terminal; this overrides that finding (for a
// pager that shows them, or to check the output).
void setConsoleColours(bool enable);

// Called once per writer round so lines reach the terminal together.
void consoleFlush();

}  // namespace log4z::detail
