#pragma once

#include <json/json.h>

#include <string>

namespace fenwixsim {

// Compact JSON with UTF-8 kept as is (the console and the tests read Chinese texts).
std::string writeJson(const Json::Value& value);

// Parses a whole JSON text; false (and a null value) when it is not JSON.
bool parseJson(const std::string& text, Json::Value& out);

std::string base64Encode(const std::string& bytes);
// False when the text is not valid base64.
bool base64Decode(const std::string& text, std::string& out);

// Replaces every byte that is not part of a well-formed UTF-8 sequence by U+FFFD, so that any
// recorded body can be shown as JSON text.
std::string sanitizeUtf8(const std::string& bytes);

}  // namespace fenwixsim
