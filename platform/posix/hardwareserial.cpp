#include "platform/hardwareserial.h"

#include <cctype>
#include <cstdlib>

#include "platform/files.h"

namespace fenwix::platform {

namespace {

constexpr std::size_t kMaxSourceBytes = 1020;

bool allowedChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == '.' ||
           c == ':';
}

bool isPlaceholder(const std::string& serial) {
    bool allZero = true;
    bool allF = true;
    bool anyDigit = false;
    for (const char c : serial) {
        if (c == '-') {
            continue;
        }
        anyDigit = true;
        allZero = allZero && c == '0';
        allF = allF && (c == 'f' || c == 'F');
    }
    return anyDigit && (allZero || allF);
}

std::vector<std::string> splitSources(const std::string& list) {
    std::vector<std::string> sources;
    std::size_t start = 0;
    while (start <= list.size()) {
        auto end = list.find(':', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        if (end > start) {
            sources.push_back(list.substr(start, end - start));
        }
        start = end + 1;
    }
    return sources;
}

}  // namespace

std::vector<std::string> hardwareSerialSources() {
    const char* chosen = std::getenv("FENWIX_HARDWARE_SERIAL_SOURCES");
    if (chosen != nullptr) {
        return splitSources(chosen);
    }
    return {"/sys/class/dmi/id/product_uuid", "/etc/machine-id"};
}

std::string serialFromText(const std::string& raw) {
    std::string serial;
    for (const char c : raw) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            continue;
        }
        if (!allowedChar(c)) {
            return {};
        }
        serial += c;
    }
    if (serial.size() > kHardwareSerialMaxChars) {
        serial.resize(kHardwareSerialMaxChars);
    }
    return isPlaceholder(serial) ? std::string() : serial;
}

std::string readHardwareSerial(const std::vector<std::string>& sources) {
    for (const std::string& source : sources) {
        std::string text;
        if (readFileHead(source, kMaxSourceBytes, text) != FileReadStatus::Ok) {
            continue;
        }
        std::string serial = serialFromText(text);
        if (!serial.empty()) {
            return serial;
        }
    }
    return {};
}

std::string readHardwareSerial() {
    return readHardwareSerial(hardwareSerialSources());
}

}  // namespace fenwix::platform
