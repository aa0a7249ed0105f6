// Layout of a log line: the head written when the entry is made, and the end added on push.
#pragma once

#include <cstdint>
#include <string_view>

#include "logging/log4z.h"

namespace log4z::detail {

// Longest line body: the buffer less the line end and the terminating NUL.
constexpr std::size_t kMaxLineBody = LOG_BUF_SIZE - 3;

// Writes "YYYY-MM-DD hh:mm:ss.mmm [tid] LEVEL_NAM " into data.content from data's time, thread
// and level, and sets data.len.
void writeHead(LogData& data);

// The part of a source path after its last '\' or '/'.
std::string_view baseName(std::string_view path);

// Appends " base:line" when `file` is given and ends the line with "\r\n", cutting the text so
// the whole line fits the buffer.
void finishLine(LogData& data, const char* file, int line);

}  // namespace log4z::detail
