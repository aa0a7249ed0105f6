#include "logging/linehead.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "logging/loglevel.h"
#include "platform/localtime.h"

namespace log4z::detail {
namespace {

// Per-thread cache of the local hour, so a head needs no calendar call. An hour rather than a
// day keeps a daylight-saving switch correct from its first line.
struct HourCache {
    std::int64_t start = 0;
    std::int64_t end = 0;       // empty range: computed on first use
    char dateAndHour[14] = {};  // "YYYY-MM-DD hh"
};

thread_local HourCache tlsHour;

void putTwoDigits(char* out, unsigned value) {
    out[0] = static_cast<char>('0' + (value / 10) % 10);
    out[1] = static_cast<char>('0' + value % 10);
}

void putDigits(char* out, unsigned value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

void refreshHour(HourCache& cache, std::int64_t sec) {
    std::tm tm{};
    if (!fenwix::platform::toLocalTime(sec, tm)) {
        tm = std::tm{};
        tm.tm_year = 70;
        tm.tm_mday = 1;
    }
    cache.start = sec - static_cast<std::int64_t>(tm.tm_min) * 60 - tm.tm_sec;
    cache.end = cache.start + 3600;
    char* out = cache.dateAndHour;
    putDigits(out, static_cast<unsigned>(std::clamp(tm.tm_year + 1900, 0, 9999)), 4);
    out[4] = '-';
    putTwoDigits(out + 5, static_cast<unsigned>(tm.tm_mon + 1));
    out[7] = '-';
    putTwoDigits(out + 8, static_cast<unsigned>(tm.tm_mday));
    out[10] = ' ';
    putTwoDigits(out + 11, static_cast<unsigned>(tm.tm_hour));
}

// Decimal digits of a thread id, zero-padded to at least four.
int putThreadId(char* out, std::uint32_t tid) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + tid % 10);
        tid /= 10;
    } while (tid != 0);
    int written = 0;
    for (int pad = count; pad < 4; ++pad) {
        out[written++] = '0';
    }
    while (count > 0) {
        out[written++] = digits[--count];
    }
    return written;
}

}  // namespace

void writeHead(LogData& data) {
    HourCache& cache = tlsHour;
    if (data.sec < cache.start || data.sec >= cache.end) {
        refreshHour(cache, data.sec);
    }
    const auto inHour = static_cast<unsigned>(data.sec - cache.start);
    char* out = data.content;
    std::memcpy(out, cache.dateAndHour, 13);
    out[13] = ':';
    putTwoDigits(out + 14, inHour / 60);
    out[16] = ':';
    putTwoDigits(out + 17, inHour % 60);
    out[19] = '.';
    putDigits(out + 20, data.ms % 1000, 3);
    out[23] = ' ';
    out[24] = '[';
    int pos = 25 + putThreadId(out + 25, data.threadId);
    out[pos++] = ']';
    out[pos++] = ' ';
    const std::string_view name = levelLineName(data.level);
    std::memcpy(out + pos, name.data(), name.size());
    pos += static_cast<int>(name.size());
    out[pos++] = ' ';
    out[pos] = '\0';
    data.len = pos;
}

std::string_view baseName(std::string_view path) {
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

void finishLine(LogData& data, const char* file, int line) {
    LogStream stream(&data);
    if (file != nullptr) {
        stream << ' ' << baseName(file) << ':' << line;
    }
    auto len = static_cast<size_t>(std::clamp(data.len, 0, static_cast<int>(kMaxLineBody)));
    data.content[len++] = '\r';
    data.content[len++] = '\n';
    data.content[len] = '\0';
    data.len = static_cast<int>(len);
}

}  // namespace log4z::detail
