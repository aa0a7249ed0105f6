// The configuration text: key=value lines, "#" comments and [logger] sections.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "logging/loggertable.h"

namespace log4z::detail {

struct ConfigItem {
    std::string key;  // lower case
    std::string value;
    int line = 0;
};

struct ConfigSection {
    std::string key;
    int line = 0;
    std::vector<ConfigItem> items;
};

// Splits the text into sections; problems are printed as configuration warnings.
std::vector<ConfigSection> parseConfigText(std::string_view text);

// Creates or finds the logger of every section, enables it and applies its items.
void applyConfig(LoggerTable& table, const std::vector<ConfigSection>& sections);

}  // namespace log4z::detail
