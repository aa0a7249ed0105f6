// Parsing and writing JSON texts, and typed reads of object keys. Texts come from the network,
// files and the conference library: a key may be missing, null or of another JSON type than
// agreed. Nothing here throws; each read tells whether the key held a usable value of the
// expected type, so a caller can apply what it can and skip the rest.
#pragma once

#include <json/value.h>

#include <string>
#include <vector>

namespace jsontext {

// Parses a whole JSON text; false (and `out` null) if it does not parse. The caller logs.
bool parseJson(const std::string& text, Json::Value& out);

// One line, keys sorted, no blanks, non-ASCII text kept as UTF-8 (not escaped as \uXXXX).
std::string compactJson(const Json::Value& value);
// The same followed by a line feed: the form of every text the terminal sends to the backend.
std::string compactJsonLine(const Json::Value& value);

// How a key of an object was found.
enum class Field {
    Missing,    // the value is not an object, the key is absent, or its value is null
    WrongType,  // present, but not of the expected type (or out of range)
    Ok,
};

// The value under `key` if `object` is an object holding it with a non-null value, else nullptr.
const Json::Value* member(const Json::Value& object, const char* key);

Field readText(const Json::Value& object, const char* key, std::string& out);
// A whole number that fits an int; a number with a fraction is the wrong type.
Field readInt(const Json::Value& object, const char* key, int& out);
Field readBool(const Json::Value& object, const char* key, bool& out);
// An array of texts; elements of another type are left out and make the result WrongType, while
// `out` still receives the texts that were there.
Field readTextList(const Json::Value& object, const char* key, std::vector<std::string>& out);

// Text for log lines: the type name of a value ("string", "int", "object"...).
const char* typeName(const Json::Value& value);

}  // namespace jsontext
