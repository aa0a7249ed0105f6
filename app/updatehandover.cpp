#include "app/updatehandover.h"

#include "platform/processes.h"

namespace {

const std::string kExe = ".exe";

bool endsWithExe(const std::string& name) {
    if (name.size() < kExe.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kExe.size(); ++i) {
        const char c = name[name.size() - kExe.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != kExe[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string UpdateHandOver::parameterText() const {
    std::string text;
    for (const std::string& argument : arguments) {
        if (!text.empty()) {
            text += ' ';
        }
        text += '"' + argument + '"';
    }
    return text;
}

std::string nameWithoutExtension(const std::string& fileName) {
    const auto dot = fileName.rfind('.');
    return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

std::string programFileOfImage(const std::string& imageName) {
    const std::string bare =
        endsWithExe(imageName) ? imageName.substr(0, imageName.size() - kExe.size()) : imageName;
    return fenwix::platform::imageNameOf(bare);
}

std::string installerImageName(const std::string& executableName) {
    return nameWithoutExtension(executableName) + "update.exe";
}

UpdateHandOver makeUpdateHandOver(const std::string& program, const std::string& executableName,
                                  const std::string& installerPath) {
    return UpdateHandOver{program, {nameWithoutExtension(executableName) + ".exe", installerPath}};
}

std::size_t utf16Units(const std::string& text) {
    std::size_t units = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) {
            units += byte >= 0xF0 ? 2 : 1;  // a four-byte sequence needs a surrogate pair
        }
    }
    return units;
}
