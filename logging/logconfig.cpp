#include "logging/logconfig.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>

#include "logging/console.h"
#include "logging/loglevel.h"

namespace log4z::detail {
namespace {

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

void warn(const std::string& text) {
    consolePrint(kPlainText, text);
}

// Built as strings, so a long key or value never cuts a warning short of its line end.
void warnDuplicate(const std::string& key, int line) {
    warn("log4z configure warning: duplicate logger key:[" + key +
         "] at line: " + std::to_string(line) + " \r\n");
}

void warnNoLogger(const std::string& current, const ConfigItem& item) {
    warn("log4z configure warning: not found current logger name:[" + current + "] at line:" +
         std::to_string(item.line) + ", key=" + item.key + ", value=" + item.value + " \r\n");
}

void warnBadItem(const ConfigSection& section, const ConfigItem& item) {
    warn("log4z configure warning: ignored value of logger:[" + section.key + "] at line:" +
         std::to_string(item.line) + ", key=" + item.key + ", value=" + item.value + " \r\n");
}

constexpr size_t kNone = static_cast<size_t>(-1);

bool flagValue(const std::string& value) {
    return value != "false" && value != "0";
}

bool parseNumber(const std::string& value, long long minimum, long long maximum, long long& out) {
    if (value.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long number = std::strtoll(value.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number < minimum || number > maximum) {
        return false;
    }
    out = number;
    return true;
}

// Applies one item; false when the key is unknown or the value unusable.
bool applyItem(LoggerSettings& settings, const ConfigItem& item) {
    const std::string& value = item.value;
    long long number = 0;
    if (item.key == "path") {
        settings.path = value;
    } else if (item.key == "name") {
        settings.name = value;
    } else if (item.key == "level") {
        const int level = levelFromWord(value);
        if (level < 0) {
            return false;
        }
        settings.level = level;
    } else if (item.key == "display") {
        settings.display = flagValue(value);
    } else if (item.key == "outfile") {
        settings.outfile = flagValue(value);
    } else if (item.key == "monthdir") {
        settings.monthdir = flagValue(value);
    } else if (item.key == "fileline") {
        settings.fileline = flagValue(value);
    } else if (item.key == "enable") {
        settings.enable = flagValue(value);
    } else if (item.key == "limitsize") {
        if (!parseNumber(value, 1, std::numeric_limits<unsigned int>::max() / 1048576, number)) {
            return false;
        }
        settings.limitsize = static_cast<unsigned int>(number);
    } else if (item.key == "reserve") {
        if (!parseNumber(value, 0, std::numeric_limits<long long>::max(), number)) {
            return false;
        }
        settings.reserve = number;
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::vector<ConfigSection> parseConfigText(std::string_view text) {
    std::vector<ConfigSection> sections;
    size_t current = kNone;
    int lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        const std::string_view line = trim(raw);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            const size_t close = line.find(']');
            const std::string key(trim(line.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
            current = kNone;
            for (size_t i = 0; i < sections.size(); ++i) {
                if (sections[i].key == key) {
                    warnDuplicate(key, lineNumber);
                    current = i;  // its lines add to the first section of that key
                }
            }
            if (current == kNone) {
                sections.push_back(ConfigSection{key, lineNumber, {}});
                current = sections.size() - 1;
            }
            continue;
        }
        const size_t equals = line.find('=');
        ConfigItem item;
        item.line = lineNumber;
        item.key = lower(trim(line.substr(0, equals)));
        item.value = equals == std::string_view::npos ? std::string()
                                                      : std::string(trim(line.substr(equals + 1)));
        if (current == kNone) {
            warnNoLogger(std::string(), item);
            continue;
        }
        sections[current].items.push_back(std::move(item));
    }
    return sections;
}

void applyConfig(LoggerTable& table, const std::vector<ConfigSection>& sections) {
    for (const ConfigSection& section : sections) {
        const bool main = section.key == "Main" || section.key == "main";
        const LoggerId id = main ? LOG4Z_MAIN_LOGGER_ID : table.create(section.key);
        if (id == LOG4Z_INVALID_LOGGER_ID) {
            continue;
        }
        table.update(id, [&](LoggerSettings& settings) {
            settings.enable = true;
            for (const ConfigItem& item : section.items) {
                if (!applyItem(settings, item)) {
                    warnBadItem(section, item);
                }
            }
            settings.path = normalisedPath(settings.path);
        });
    }
}

}  // namespace log4z::detail
