#include "platform/textcodec.h"

namespace fenwix::platform {

std::string wideToLocal(const std::string& wide) {
    return wide;
}
std::string localToWide(const std::string& local) {
    return local;
}
std::string utf8ToWide(const std::string& utf8) {
    return utf8;
}
std::string wideToUtf8(const std::string& wide) {
    return wide;
}
std::string utf8ToLocal(const std::string& utf8) {
    return utf8;
}
std::string localToUtf8(const std::string& local) {
    return local;
}

namespace {

bool isContinuationByte(unsigned char byte) {
    return (byte & 0xC0U) == 0x80U;
}

}  // namespace

std::string cutToChars(const std::string& text, std::size_t maxChars) {
    std::size_t chars = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (chars == maxChars) {
            return text.substr(0, pos);
        }
        ++pos;
        while (pos < text.size() && isContinuationByte(static_cast<unsigned char>(text[pos]))) {
            ++pos;
        }
        ++chars;
    }
    return text;
}

}  // namespace fenwix::platform
