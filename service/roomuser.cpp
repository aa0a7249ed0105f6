#include "service/roomuser.h"

#include <cctype>
#include <climits>
#include <cstdlib>

#include "jsontext/jsontext.h"
#include "logging/log4z.h"
#include "service/commonutil.h"

namespace roomuser {

std::string portalWithScheme(const std::string& portal) {
    if (portal.find("http://") != std::string::npos) {
        return portal;
    }
    return "http://" + portal;
}

int decimalValue(const std::string& text) {
    // strtol reads exactly atoi's prefix, but reports overflow instead of being undefined.
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

std::string textOf(const Json::Value& object, const char* key) {
    if (!object.isObject()) {
        return {};
    }
    const Json::Value& value = object[key];
    if (value.isString()) {
        return value.asString();
    }
    if (value.isInt64()) {
        return std::to_string(value.asInt64());
    }
    if (value.isUInt64()) {
        return std::to_string(value.asUInt64());
    }
    return {};
}

namespace {

bool isGuestLoginType(const Json::Value& data) {
    const Json::Value& type = data.isObject() ? data["logintype"] : Json::Value::nullSingleton();
    int value = 0;
    if (type.isString()) {
        value = decimalValue(type.asString());
    } else if (type.isInt()) {
        value = type.asInt();
    }
    return value == 2 || value == 4;
}

void warnAboutMissingTexts(const Json::Value& data) {
    if (!data.isObject()) {
        LOGW("房间数据不是对象: " << jsontext::typeName(data));
        return;
    }
    for (const char* key : {"roomId", "portal", "username", "password", "roomKey", "displayName"}) {
        const Json::Value& value = data[key];
        if (!value.isString()) {
            LOGW("房间数据缺少文本字段: " << key);
        }
    }
}

}  // namespace

std::unique_ptr<UserBean> adoptRoomData(const Json::Value& data) {
    warnAboutMissingTexts(data);
    CComConfig& config = *CComConfig::getInstance();
    config.setRoomId(textOf(data, "roomId"));
    const std::string portal = portalWithScheme(textOf(data, "portal"));
    config.setPortal(portal);

    auto record = std::make_unique<UserBean>();
    record->portal = portal;
    record->username = textOf(data, "username");
    record->password = textOf(data, "password");
    record->roomKey = textOf(data, "roomKey");
    record->displayName = textOf(data, "displayName");
    const bool hasGroupName =
        data.isObject() && data.isMember("gDisplayName") && !data["gDisplayName"].isNull();
    record->gDisplayName = hasGroupName ? textOf(data, "gDisplayName") : record->username;
    record->guest = isGuestLoginType(data) ? 1 : 0;
    return record;
}

}  // namespace roomuser
