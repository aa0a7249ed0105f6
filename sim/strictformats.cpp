#include "sim/strictformats.h"

#include "sim/jsonutil.h"

#include <cstdlib>
#include <limits>

namespace fenwixsim {

namespace {
const char kAppKey[] = "3f1c9a7e52b04d6c8e2a1f0b7d9c4e65";
const char kPushAppKey[] = "C7a2e49d0b15c46f3a8e92d5b01c7f6e4";
const char kPushAppSecret[] = "C5d8b13f06e2a4c97b1f3e8a20d6c5b91";

FieldRule any(const char* name) {
    return {name, ValueRule::Any, ""};
}
FieldRule rule(const char* name, ValueRule r, const char* fixed = "") {
    return {name, r, fixed};
}

std::vector<FormFormat> buildFormats() {
    using R = ValueRule;
    return {
        {"/api/business/app/register",
         "POST",
         {rule("appkey", R::Fixed, kAppKey), rule("devicekey", R::DeviceKey), any("uniqueno"),
          rule("clientversion", R::Fixed, "20190128"), rule("pushkey", R::PushKey),
          rule("pushType", R::Fixed, "zorbel"), any("eid"), rule("localTime", R::Int32),
          rule("isfirst", R::TrueFalse)}},
        {"/api/business/desktop/enterRoom", "POST", {rule("deviceKey", R::DeviceKey)}},
        {"/api/business/app/reportMsg",
         "POST",
         {rule("appKey", R::Fixed, kAppKey), rule("deviceKey", R::DeviceKey),
          rule("appStatus", R::OneOf, "0|1|2|3"),
          rule("videoStatus", R::OneOf, "fixed|fixScreened"), rule("micVolumn", R::Int32),
          rule("speakerVolumn", R::Int32), rule("speakerIsOpen", R::ZeroOrOne),
          rule("micIsOpen", R::ZeroOrOne), rule("cameraIsOpen", R::ZeroOrOne),
          rule("localTimeStamp", R::UInt32), any("roomId"), any("route"),
          rule("isGuest", R::ZeroOrOne), rule("masterPushAddr", R::Empty),
          rule("masterIsOpen", R::Fixed, "1"), rule("slavePushAddr", R::Empty),
          rule("slaveIsOpen", R::Fixed, "1")}},
        {"/api/business/desktop/optionAudio",
         "POST",
         {any("conferenceId"), any("participantId"), rule("audioStatus", R::Int32),
          rule("deviceKey", R::DeviceKey)}},
        {"/api/business/app/updateVersion",
         "POST",
         {rule("appkey", R::Fixed, kAppKey), rule("clientversion", R::Fixed, "20190128"),
          any("uniqueno")}},
        {"/api/business/app/reportConferenceInfo",
         "POST",
         {rule("deviceKey", R::DeviceKey), rule("str", R::EventArray), rule("temp", R::Empty)}},
        {"/api/business/app/reportLogsInfo",
         "POST",
         {rule("deviceKey", R::DeviceKey), rule("logs", R::StatusJson), rule("temp", R::Empty)}},
        {"/api/business/app/destroy", "POST", {rule("deviceKey", R::DeviceKey)}},
        {"/api/business/desktop/ping", "POST", {}},
        {"/api/business/desktop/startConferenceLive",
         "POST",
         {rule("deviceKey", R::DeviceKey), rule("type", R::Fixed, "1"), rule("temp", R::Empty)}},
        {"/api/business/desktop/stopConferenceLive",
         "POST",
         {rule("deviceKey", R::DeviceKey), rule("liveId", R::Int32), rule("name", R::Empty),
          rule("type", R::Fixed, "1"), rule("temp", R::Empty)}},
        {"/api/register",
         "GET",
         {rule("appkey", R::Fixed, kPushAppKey), rule("appsecret", R::Fixed, kPushAppSecret),
          rule("userid", R::PushKey)}},
        {"/api/getData", "GET", {any("token"), rule("userid", R::PushKey)}},
    };
}

bool isDecimal(const std::string& text, bool allowSign) {
    size_t i = 0;
    if (allowSign && !text.empty() && text[0] == '-') {
        i = 1;
    }
    if (i >= text.size() || text.size() - i > 11) {
        return false;
    }
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return true;
}

bool fitsInt32(const std::string& text) {
    if (!isDecimal(text, true)) {
        return false;
    }
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
}

bool fitsUInt32(const std::string& text) {
    return isDecimal(text, false) &&
           std::strtoull(text.c_str(), nullptr, 10) <= std::numeric_limits<unsigned int>::max();
}

bool endsWithLineFeed(const std::string& text) {
    return !text.empty() && text.back() == '\n';
}

// The writer the terminal uses puts keys in order, no blanks, and a line feed at the end; a
// re-write of the parsed document must therefore give the same text.
std::string checkCompact(const std::string& text, const Json::Value& parsed) {
    if (!endsWithLineFeed(text)) {
        return "does not end with a line feed";
    }
    if (writeJson(parsed) + "\n" != text) {
        return "not in compact form (sorted keys, no blanks)";
    }
    return "";
}

std::string checkEventArray(const std::string& value) {
    Json::Value parsed;
    if (!parseJson(value, parsed)) {
        return "not JSON";
    }
    if (!parsed.isArray() || parsed.size() != 1 || !parsed[0].isObject()) {
        return "not an array of exactly one object";
    }
    if (!parsed[0]["type"].isInt()) {
        return "event without a numeric type";
    }
    return checkCompact(value, parsed);
}

std::string checkStatusJson(const std::string& value) {
    Json::Value parsed;
    if (!parseJson(value, parsed) || !parsed.isObject()) {
        return "not a JSON object";
    }
    static const char* const kIntegers[] = {"cpu",
                                            "videoWidth",
                                            "videoHeight",
                                            "videoCapture",
                                            "videoSend",
                                            "availSendBwMax",
                                            "actualSendBwMax",
                                            "actualSendBwVideo",
                                            "actualSendBwAudio",
                                            "actualSendBwApplication",
                                            "availRecvBwMax",
                                            "actualRecvBwMax",
                                            "actualRecvBwVideo",
                                            "actualRecvBwAudio",
                                            "actualRecvBwApplication",
                                            "d3dwidth",
                                            "d3dheight",
                                            "isGuest"};
    for (const char* key : kIntegers) {
        if (!parsed[key].isIntegral() || parsed[key].isBool()) {
            return std::string("member ") + key + " missing or not an integer";
        }
    }
    static const char* const kTexts[] = {"desktype", "roomkey", "p", "r", "d", "participantID"};
    for (const char* key : kTexts) {
        if (!parsed[key].isString()) {
            return std::string("member ") + key + " missing or not a text";
        }
    }
    if (parsed["desktype"].asString() != "student") {
        return "desktype is not student";
    }
    if (!parsed["participantRateArray"].isArray()) {
        return "participantRateArray missing or not an array";
    }
    return checkCompact(value, parsed);
}

bool oneOf(const std::string& choices, const std::string& value) {
    size_t start = 0;
    while (start <= choices.size()) {
        size_t end = choices.find('|', start);
        if (end == std::string::npos) {
            end = choices.size();
        }
        if (choices.compare(start, end - start, value) == 0 && value.size() == end - start) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool isPushKey(const std::string& value) {
    if (value.compare(0, 5, "UDSK_") != 0 || value.size() == 5) {
        return false;
    }
    // The clock digits follow the unique number directly, so the key must end with a digit.
    const char last = value.back();
    return last >= '0' && last <= '9';
}
}  // namespace

const std::vector<FormFormat>& terminalFormats() {
    static const std::vector<FormFormat> formats = buildFormats();
    return formats;
}

const FormFormat* findFormat(const std::string& path) {
    for (const auto& format : terminalFormats()) {
        if (format.path == path) {
            return &format;
        }
    }
    return nullptr;
}

std::string describeRule(const FieldRule& field) {
    switch (field.rule) {
        case ValueRule::Any:
            return "<any>";
        case ValueRule::Fixed:
            return field.fixed;
        case ValueRule::Empty:
            return "";
        case ValueRule::Int32:
            return "<signed 32-bit decimal>";
        case ValueRule::UInt32:
            return "<unsigned 32-bit decimal>";
        case ValueRule::ZeroOrOne:
            return "0|1";
        case ValueRule::TrueFalse:
            return "true|false";
        case ValueRule::OneOf:
            return field.fixed;
        case ValueRule::DeviceKey:
            return "DSK_<unique number>";
        case ValueRule::PushKey:
            return "UDSK_<unique number><clock>";
        case ValueRule::EventArray:
            return "<compact JSON array of one event>\\n";
        case ValueRule::StatusJson:
            return "<compact JSON statistics object>\\n";
    }
    return "";
}

std::string checkValue(const FieldRule& field, const std::string& value) {
    bool ok = true;
    switch (field.rule) {
        case ValueRule::Any:
            break;
        case ValueRule::Fixed:
            ok = value == field.fixed;
            break;
        case ValueRule::Empty:
            ok = value.empty();
            break;
        case ValueRule::Int32:
            ok = fitsInt32(value);
            break;
        case ValueRule::UInt32:
            ok = fitsUInt32(value);
            break;
        case ValueRule::ZeroOrOne:
            ok = value == "0" || value == "1";
            break;
        case ValueRule::TrueFalse:
            ok = value == "true" || value == "false";
            break;
        case ValueRule::OneOf:
            ok = oneOf(field.fixed, value);
            break;
        case ValueRule::DeviceKey:
            ok = value.compare(0, 4, "DSK_") == 0 && value.size() > 4;
            break;
        case ValueRule::PushKey:
            ok = isPushKey(value);
            break;
        case ValueRule::EventArray:
            return checkEventArray(value);
        case ValueRule::StatusJson:
            return checkStatusJson(value);
    }
    return ok ? "" : "value does not match";
}

}  // namespace fenwixsim
