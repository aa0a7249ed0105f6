// The levels: the name written into each line, the words of the configuration text and the
// console colour.
#pragma once

#include <string_view>

namespace log4z::detail {

constexpr int kLevelCount = 7;

bool isValidLevel(int level);

// Nine characters, e.g. "LOG_INFO " with its trailing blank; "LOG_UNKWN" for a bad level.
std::string_view levelLineName(int level);

// The level of a configuration word ("trace", "all", "debug", ..., any case); -1 if unknown.
int levelFromWord(std::string_view word);

// Console colour attribute of a level (1 blue, 2 green, 4 red, combined); 0 means none.
int levelColourAttribute(int level);

// ANSI escape that shows a colour attribute on a terminal; empty for 0.
std::string_view ansiColour(int attribute);
constexpr std::string_view kAnsiReset = "\033[0m";

}  // namespace log4z::detail
