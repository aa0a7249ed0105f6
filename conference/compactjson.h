// The compact JSON form of every text the conference session hands on: one line, keys sorted,
// non-ASCII text kept as UTF-8 (not escaped), a line feed at the end.
#pragma once

#include <json/json.h>

#include <string>

std::string writeCompactJson(const Json::Value& value);
