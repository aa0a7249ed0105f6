// Conversions between the three text forms the terminal handles: wide text (window texts, URLs,
// paths), 8-bit text in the local code page (JSON, log lines, device names) and UTF-8 (the HTTP
// wire, names delivered by the media libraries). Here every form is UTF-8 held in std::string, so
// the conversions hand the text back unchanged; they stay separate functions so that a system with
// another local code page can convert at exactly these points.
#pragma once

#include <cstddef>
#include <string>

namespace fenwix::platform {

std::string wideToLocal(const std::string& wide);
std::string localToWide(const std::string& local);
std::string utf8ToWide(const std::string& utf8);
std::string wideToUtf8(const std::string& wide);
std::string utf8ToLocal(const std::string& utf8);
std::string localToUtf8(const std::string& local);

// The first `maxChars` characters of `text`. A character is one unit of the system's text (here a
// whole UTF-8 sequence), so a cut never leaves half a character behind.
std::string cutToChars(const std::string& text, std::size_t maxChars);

}  // namespace fenwix::platform
