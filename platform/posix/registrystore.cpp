#include "platform/registrystore.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/textcodec.h"

namespace fenwix::platform {

namespace {

// A real key holds a handful of short values; anything bigger is not ours.
constexpr std::size_t kMaxStoreBytes = std::size_t{64} * 1024;

struct Entry {
    std::string name;
    std::string value;
};

bool equalsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
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
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// Parses a store file. False if it is not one: then none of its values can be trusted.
bool parseStore(const std::string& text, std::vector<Entry>& entries) {
    entries.clear();
    if (text.find('\0') != std::string::npos) {
        return false;
    }
    for (const std::string& raw : splitLines(text)) {
        const std::string line = trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                return false;
            }
            continue;
        }
        const auto eq = raw.find('=');
        if (eq == std::string::npos || trim(raw.substr(0, eq)).empty()) {
            return false;
        }
        entries.push_back({trim(raw.substr(0, eq)), raw.substr(eq + 1)});
    }
    return true;
}

enum class LoadResult { Loaded, Missing, Corrupt };

LoadResult loadStore(const std::string& path, std::vector<Entry>& entries) {
    entries.clear();
    std::string text;
    const FileReadStatus status = readFileHead(path, kMaxStoreBytes + 1, text);
    if (status == FileReadStatus::Missing) {
        return LoadResult::Missing;
    }
    if (status != FileReadStatus::Ok || text.size() > kMaxStoreBytes) {
        return LoadResult::Corrupt;
    }
    return parseStore(text, entries) ? LoadResult::Loaded : LoadResult::Corrupt;
}

bool validName(const std::string& name) {
    return !name.empty() && name == trim(name) &&
           name.find_first_of("=\r\n", 0) == std::string::npos &&
           name.find('\0') == std::string::npos && name[0] != '[' && name[0] != ';' &&
           name[0] != '#';
}

bool validValue(const std::string& value) {
    return value.find_first_of("\r\n") == std::string::npos &&
           value.find('\0') == std::string::npos;
}

std::vector<std::string> keyComponents(const std::string& keyPath) {
    std::vector<std::string> parts;
    std::string current;
    for (const char c : keyPath + "\\") {
        if (c == '\\' || c == '/') {
            if (!current.empty()) {
                parts.push_back(current);
            }
            current.clear();
        } else {
            current += c;
        }
    }
    if (!parts.empty() && equalsNoCase(parts.front(), "Software")) {
        parts.erase(parts.begin());
    }
    return parts;
}

std::string headerOf(const std::string& keyPath) {
    return "[" + keyPath + "]\n";
}

}  // namespace

std::string userConfigFolder() {
    std::string folder;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // Relative values are to be ignored, as the base-directory convention says.
    if (xdg != nullptr && xdg[0] == '/') {
        folder = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] != '/') {
            return {};
        }
        folder = std::string(home) + "/.config";
    }
    if (folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

RegistryStore::RegistryStore() : RegistryStore(userConfigFolder()) {}

RegistryStore::RegistryStore(std::string rootFolder) : root_(std::move(rootFolder)) {
    if (!root_.empty() && root_.back() != '/') {
        root_ += '/';
    }
}

std::string RegistryStore::filePathOf(const std::string& keyPath) const {
    const std::vector<std::string> parts = keyComponents(keyPath);
    if (root_.empty() || parts.empty()) {
        return {};
    }
    std::string path = root_;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i] == "." || parts[i] == "..") {
            return {};
        }
        path += parts[i];
        if (i + 1 < parts.size()) {
            path += '/';
        }
    }
    return path;
}

bool RegistryStore::readString(const std::string& keyPath, const std::string& valueName,
                               std::string& value, std::size_t maxChars) const {
    value.clear();
    const std::string path = filePathOf(keyPath);
    std::vector<Entry> entries;
    if (path.empty() || loadStore(path, entries) != LoadResult::Loaded) {
        return false;
    }
    for (const Entry& entry : entries) {
        if (equalsNoCase(entry.name, valueName)) {
            value = cutToChars(entry.value, maxChars);
            return true;
        }
    }
    return false;
}

bool RegistryStore::writeString(const std::string& keyPath, const std::string& valueName,
                                const std::string& value) {
    const std::string path = filePathOf(keyPath);
    if (path.empty() || !validValue(keyPath) || !validName(valueName) || !validValue(value) ||
        !makeDirectories(parentFolder(path), 0700)) {
        return false;
    }
    std::vector<Entry> entries;
    if (loadStore(path, entries) != LoadResult::Loaded) {
        entries.clear();  // a junk file holds nothing worth keeping
    }
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) {
        return equalsNoCase(e.name, valueName);
    });
    if (found != entries.end()) {
        found->value = value;
    } else {
        entries.push_back({valueName, value});
    }
    std::string text = headerOf(keyPath);
    for (const Entry& entry : entries) {
        text += entry.name + "=" + entry.value + "\n";
    }
    return replaceFileAtomically(path, text, 0600);
}

}  // namespace fenwix::platform
