#include "logging/loglevel.h"

#include <array>
#include <cctype>
#include <string>

namespace log4z::detail {
namespace {

constexpr std::array<std::string_view, kLevelCount> kLineNames = {
    "LOG_TRACE", "LOG_DEBUG", "LOG_INFO ", "LOG_WARN ", "LOG_ERROR", "LOG_ALARM", "LOG_FATAL"};

constexpr std::array<int, kLevelCount> kColours = {0, 0, 3, 6, 4, 2, 5};

struct LevelWord {
    std::string_view word;
    int level;
};

constexpr std::array<LevelWord, 9> kWords = {{{"trace", 0},
                                              {"all", 0},
                                              {"debug", 1},
                                              {"info", 2},
                                              {"warn", 3},
                                              {"warning", 3},
                                              {"error", 4},
                                              {"alarm", 5},
                                              {"fatal", 6}}};

}  // namespace

bool isValidLevel(int level) {
    return level >= 0 && level < kLevelCount;
}

std::string_view levelLineName(int level) {
    return isValidLevel(level) ? kLineNames[static_cast<size_t>(level)] : "LOG_UNKWN";
}

int levelFromWord(std::string_view word) {
    std::string lower(word);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const LevelWord& entry : kWords) {
        if (entry.word == lower) {
            return entry.level;
        }
    }
    return -1;
}

int levelColourAttribute(int level) {
    return isValidLevel(level) ? kColours[static_cast<size_t>(level)] : 0;
}

std::string_view ansiColour(int attribute) {
    // Console attribute bits: 1 blue, 2 green, 4 red; ANSI orders them red, green, blue.
    switch (attribute & 7) {
        case 1:
            return "\033[34m";
        case 2:
            return "\033[32m";
        case 3:
            return "\033[36m";
        case 4:
            return "\033[31m";
        case 5:
            return "\033[35m";
        case 6:
            return "\033[33m";
        case 7:
            return "\033[37m";
        default:
            return {};
    }
}

}  // namespace log4z::detail
