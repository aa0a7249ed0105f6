#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "logging/linehead.h"
#include "logging/log4z.h"

namespace log4z {

LogStream& LogStream::write(const char* text, std::size_t size) {
    if (data_ == nullptr || text == nullptr) {
        return *this;
    }
    const auto used = static_cast<std::size_t>(data_->len);
    if (used >= detail::kMaxLineBody) {
        return *this;
    }
    const std::size_t room = detail::kMaxLineBody - used;
    const std::size_t take = size < room ? size : room;
    std::memcpy(data_->content + used, text, take);
    data_->len = static_cast<int>(used + take);
    data_->content[data_->len] = '\0';
    return *this;
}

LogStream& LogStream::operator<<(const char* text) {
    if (text == nullptr) {
        return write("(null)", 6);
    }
    return write(text, std::strlen(text));
}

LogStream& LogStream::operator<<(const void* pointer) {
    char buf[32];
    const int n =
        std::snprintf(buf, sizeof buf, "0x%" PRIxPTR, reinterpret_cast<std::uintptr_t>(pointer));
    return write(buf, static_cast<std::size_t>(n));
}

LogStream& LogStream::writeUnsigned(unsigned long long value) {
    char buf[24];
    char* end = buf + sizeof buf;
    char* pos = end;
    do {
        *--pos = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return write(pos, static_cast<std::size_t>(end - pos));
}

LogStream& LogStream::writeSigned(long long value) {
    if (value >= 0) {
        return writeUnsigned(static_cast<unsigned long long>(value));
    }
    write("-", 1);
    // Negate in unsigned arithmetic so the most negative value survives.
    return writeUnsigned(0ULL - static_cast<unsigned long long>(value));
}

LogStream& LogStream::writeDouble(double value) {
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, "%g", value);
    return write(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

}  // namespace log4z
