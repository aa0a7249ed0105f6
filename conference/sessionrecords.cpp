#include "conference/sessionrecords.h"

#include "jsontext/jsontext.h"

ScreenFixResult readScreenFixResult(const std::string& text) {
    Json::Value result;
    if (!jsontext::parseJson(text, result) || !result.isObject()) {
        return ScreenFixResult::Unreadable;
    }
    bool success = false;
    const bool read = jsontext::readBool(result, "success", success) == jsontext::Field::Ok;
    return read && success ? ScreenFixResult::Succeeded : ScreenFixResult::Failed;
}

bool readRemovedSourceUri(const std::string& text, std::string& uri) {
    uri.clear();
    Json::Value record;
    if (!jsontext::parseJson(text, record) || !record.isObject()) {
        return false;
    }
    jsontext::readText(record, "uri", uri);
    return true;
}
