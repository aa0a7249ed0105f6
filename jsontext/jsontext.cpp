#include "jsontext/jsontext.h"

#include <json/reader.h>
#include <json/writer.h>

#include <memory>

namespace jsontext {

bool parseJson(const std::string& text, Json::Value& out) {
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    out = Json::Value();
    if (!reader->parse(text.data(), text.data() + text.size(), &out, &errors)) {
        out = Json::Value();
        return false;
    }
    return true;
}

std::string compactJson(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

std::string compactJsonLine(const Json::Value& value) {
    return compactJson(value) + "\n";
}

const Json::Value* member(const Json::Value& object, const char* key) {
    if (!object.isObject()) {
        return nullptr;
    }
    const Json::Value* value = object.find(key, key + std::char_traits<char>::length(key));
    if (value == nullptr || value->isNull()) {
        return nullptr;
    }
    return value;
}

Field readText(const Json::Value& object, const char* key, std::string& out) {
    const Json::Value* value = member(object, key);
    if (value == nullptr) {
        return Field::Missing;
    }
    if (!value->isString()) {
        return Field::WrongType;
    }
    out = value->asString();
    return Field::Ok;
}

Field readInt(const Json::Value& object, const char* key, int& out) {
    const Json::Value* value = member(object, key);
    if (value == nullptr) {
        return Field::Missing;
    }
    // isInt() also holds for a real number without fraction (70.0), which the backend's JSON
    // library may write for an integer; a boolean is never taken for a number.
    if (value->isBool() || !value->isInt()) {
        return Field::WrongType;
    }
    out = value->asInt();
    return Field::Ok;
}

Field readBool(const Json::Value& object, const char* key, bool& out) {
    const Json::Value* value = member(object, key);
    if (value == nullptr) {
        return Field::Missing;
    }
    if (!value->isBool()) {
        return Field::WrongType;
    }
    out = value->asBool();
    return Field::Ok;
}

Field readTextList(const Json::Value& object, const char* key, std::vector<std::string>& out) {
    const Json::Value* value = member(object, key);
    if (value == nullptr) {
        return Field::Missing;
    }
    if (!value->isArray()) {
        return Field::WrongType;
    }
    out.clear();
    bool allTexts = true;
    for (const Json::Value& element : *value) {
        if (element.isString()) {
            out.push_back(element.asString());
        } else {
            allTexts = false;
        }
    }
    return allTexts ? Field::Ok : Field::WrongType;
}

const char* typeName(const Json::Value& value) {
    switch (value.type()) {
        case Json::nullValue:
            return "null";
        case Json::intValue:
        case Json::uintValue:
            return "int";
        case Json::realValue:
            return "real";
        case Json::stringValue:
            return "string";
        case Json::booleanValue:
            return "boolean";
        case Json::arrayValue:
            return "array";
        case Json::objectValue:
            return "object";
    }
    return "unknown";
}

}  // namespace jsontext
