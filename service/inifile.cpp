#include "service/inifile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/textcodec.h"

namespace {

using fenwix::platform::FileReadStatus;

bool equalsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string trim(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && isBlank(text[first])) {
        ++first;
    }
    while (last > first && isBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

std::string unquote(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// One line of the file as the reader sees it.
struct ParsedLine {
    enum class Kind { Other, Section, Key } kind = Kind::Other;
    std::string name;   // section or key name
    std::string value;  // key value, trimmed, quotes kept
};

ParsedLine parseLine(const std::string& raw) {
    ParsedLine parsed;
    const std::string line = trim(raw);
    if (line.empty() || line[0] == ';') {
        return parsed;
    }
    if (line[0] == '[') {
        const auto close = line.find(']');
        if (close != std::string::npos) {
            parsed.kind = ParsedLine::Kind::Section;
            parsed.name = trim(line.substr(1, close - 1));
        }
        return parsed;
    }
    const auto eq = line.find('=');
    if (eq != std::string::npos) {
        parsed.kind = ParsedLine::Kind::Key;
        parsed.name = trim(line.substr(0, eq));
        parsed.value = trim(line.substr(eq + 1));
    }
    return parsed;
}

// The file's lines without their line ends, and the line end it uses.
struct IniText {
    std::vector<std::string> lines;
    std::string newline = "\n";
};

IniText splitText(std::string text) {
    IniText ini;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        text.erase(0, 3);
    }
    if (text.find("\r\n") != std::string::npos) {
        ini.newline = "\r\n";
    }
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        ini.lines.push_back(std::move(line));
        start = end + 1;
    }
    return ini;
}

enum class LoadResult { Loaded, Missing, Unreadable };

LoadResult loadText(const std::string& path, IniText& ini) {
    std::string text;
    const FileReadStatus status =
        fenwix::platform::readFileHead(path, CIniFile::kMaxFileBytes + 1, text);
    if (status == FileReadStatus::Missing) {
        return LoadResult::Missing;
    }
    if (status != FileReadStatus::Ok || text.size() > CIniFile::kMaxFileBytes ||
        text.find('\0') != std::string::npos) {
        return LoadResult::Unreadable;
    }
    ini = splitText(std::move(text));
    return LoadResult::Loaded;
}

// Reads a decimal integer the way the C runtime's atoi family does: optional blanks and sign,
// then digits up to the first other character; saturates instead of overflowing.
int leadingDecimal(const std::string& text) {
    std::size_t pos = 0;
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    std::int64_t magnitude = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<int>::max()} + 1;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) != 0) {
        magnitude = std::min(kLimit, magnitude * 10 + (text[pos] - '0'));
        ++pos;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 0;
}

// "0x..." values: the last eight characters weighted by rising powers of 16 from the end; any
// character that is no hexadecimal digit (the "x" included) counts 0. Eight digits fill 32 bits,
// which wrap into the int range the way the desktop system's integers do.
int trailingHex(const std::string& text) {
    std::uint32_t value = 0;
    std::uint32_t weight = 1;
    const std::size_t count = std::min<std::size_t>(8, text.size());
    for (std::size_t i = 0; i < count; ++i) {
        value += static_cast<std::uint32_t>(hexDigitValue(text[text.size() - 1 - i])) * weight;
        weight *= 16;
    }
    return static_cast<int>(value);
}

double leadingReal(const std::string& text) {
    std::size_t pos = 0;
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    if (pos < text.size() && text[pos] == '+') {
        ++pos;
    }
    double value = 0.0;
    // from_chars ignores the process locale, so a decimal comma locale cannot change the result.
    const auto result = std::from_chars(text.data() + pos, text.data() + text.size(), value);
    return result.ec == std::errc() ? value : 0.0;
}

bool validSection(const std::string& section) {
    return !section.empty() && section == trim(section) &&
           section.find_first_of("]\r\n") == std::string::npos &&
           section.find('\0') == std::string::npos;
}

bool validKey(const std::string& key) {
    return !key.empty() && key == trim(key) && key.find_first_of("=\r\n") == std::string::npos &&
           key.find('\0') == std::string::npos && key[0] != '[' && key[0] != ';';
}

bool validValue(const std::string& value) {
    return value.find_first_of("\r\n") == std::string::npos &&
           value.find('\0') == std::string::npos;
}

// Index of the line just after the first header of `section`, or nothing.
std::optional<std::size_t> bodyOfSection(const IniText& ini, const std::string& section) {
    for (std::size_t i = 0; i < ini.lines.size(); ++i) {
        const ParsedLine parsed = parseLine(ini.lines[i]);
        if (parsed.kind == ParsedLine::Kind::Section && equalsNoCase(parsed.name, section)) {
            return i + 1;
        }
    }
    return std::nullopt;
}

// Sets key=value in the lines: replaces the first matching key of the first matching section,
// else adds the key after the section's last non-blank line, else adds the section at the end.
void setValue(IniText& ini, const std::string& section, const std::string& key,
              const std::string& value) {
    auto& lines = ini.lines;
    const auto body = bodyOfSection(ini, section);
    if (!body.has_value()) {
        if (!lines.empty() && !trim(lines.back()).empty()) {
            lines.emplace_back();
        }
        lines.push_back("[" + section + "]");
        lines.push_back(key + "=" + value);
        return;
    }
    std::size_t insertAt = *body;
    for (std::size_t i = *body; i < lines.size(); ++i) {
        const ParsedLine parsed = parseLine(lines[i]);
        if (parsed.kind == ParsedLine::Kind::Section) {
            break;
        }
        if (parsed.kind == ParsedLine::Kind::Key && equalsNoCase(parsed.name, key)) {
            lines[i] = parsed.name + "=" + value;
            return;
        }
        if (!trim(lines[i]).empty()) {
            insertAt = i + 1;
        }
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), key + "=" + value);
}

std::string joinText(const IniText& ini) {
    std::string text;
    for (const std::string& line : ini.lines) {
        text += line;
        text += ini.newline;
    }
    return text;
}

}  // namespace

CIniFile::CIniFile(std::string path) : path_(std::move(path)) {}

CIniFile::~CIniFile() = default;

std::optional<std::string> CIniFile::lookup(const std::string& section,
                                            const std::string& key) const {
    IniText ini;
    if (path_.empty() || section.empty() || key.empty() ||
        loadText(path_, ini) != LoadResult::Loaded) {
        return std::nullopt;
    }
    bool inSection = false;
    bool sectionSeen = false;
    for (const std::string& raw : ini.lines) {
        const ParsedLine parsed = parseLine(raw);
        if (parsed.kind == ParsedLine::Kind::Section) {
            if (sectionSeen) {
                break;  // only the first section of that name counts
            }
            inSection = equalsNoCase(parsed.name, section);
            sectionSeen = inSection;
        } else if (inSection && parsed.kind == ParsedLine::Kind::Key &&
                   equalsNoCase(parsed.name, key)) {
            return fenwix::platform::cutToChars(unquote(parsed.value), kMaxValueChars);
        }
    }
    return std::nullopt;
}

bool CIniFile::hasValue(const std::string& section, const std::string& key) const {
    const auto value = lookup(section, key);
    return value.has_value() && !value->empty();
}

bool CIniFile::readBool(const std::string& section, const std::string& key) const {
    const auto value = lookup(section, key);
    return value.has_value() && leadingDecimal(*value) != 0;
}

std::string CIniFile::readString(const std::string& section, const std::string& key) const {
    return lookup(section, key).value_or(std::string());
}

int CIniFile::readInt(const std::string& section, const std::string& key) const {
    const auto value = lookup(section, key);
    if (!value.has_value() || value->empty()) {
        return -1;
    }
    return value->rfind("0x", 0) == 0 ? trailingHex(*value) : leadingDecimal(*value);
}

double CIniFile::readDouble(const std::string& section, const std::string& key) const {
    const auto value = lookup(section, key);
    if (!value.has_value() || value->empty()) {
        return -1.0;
    }
    return leadingReal(*value);
}

bool CIniFile::writeString(const std::string& section, const std::string& key,
                           const std::string& value) {
    if (path_.empty() || !validSection(section) || !validKey(key) || !validValue(value)) {
        return false;
    }
    IniText ini;
    if (loadText(path_, ini) == LoadResult::Unreadable) {
        return false;  // never overwrite a file we cannot make sense of
    }
    setValue(ini, section, key, value);
    return fenwix::platform::replaceFileAtomically(path_, joinText(ini));
}

bool CIniFile::writeInt(const std::string& section, const std::string& key, int value) {
    return writeString(section, key, std::to_string(value));
}

bool CIniFile::writeBool(const std::string& section, const std::string& key, bool value) {
    return writeString(section, key, value ? "1" : "0");
}

bool CIniFile::writeDouble(const std::string& section, const std::string& key, double value) {
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, 6);
    if (result.ec != std::errc()) {
        return false;
    }
    return writeString(section, key, std::string(buffer, result.ptr));
}

bool CIniFile::exists() const {
    return fenwix::platform::fileExists(path_);
}

CIniFile::FileState CIniFile::state() const {
    IniText ini;
    switch (loadText(path_, ini)) {
        case LoadResult::Loaded:
            return FileState::Readable;
        case LoadResult::Missing:
            return FileState::Missing;
        case LoadResult::Unreadable:
            break;
    }
    return FileState::Unreadable;
}
