// Turns the room data of a log-in command or a plan room reply into the conference log-in: stores
// the room and portal in the configuration and builds the user record for the session's queue.
// Both sources carry the same keys, apart from `logintype`, a text in one and a number in the
// other.
#pragma once

#include <json/value.h>

#include <memory>
#include <string>

#include "conference/userbean.h"

namespace roomuser {

// The portal with "http://" in front unless the text already contains "http://" somewhere.
std::string portalWithScheme(const std::string& portal);

// The decimal value of a text read the way atoi does: leading blanks, an optional sign, then
// digits; 0 when there are none. Values beyond int are held at its limits.
int decimalValue(const std::string& text);

// A text member as text; a number is written in decimal. Anything else (missing, null, object)
// gives an empty text.
std::string textOf(const Json::Value& object, const char* key);

// Stores `roomId` and the normalised `portal` in the configuration and returns the user record
// (guest when `logintype` is 2 or 4, given as text or number; group display name falls back to
// the user name). Missing or wrongly typed keys give empty texts and a log line.
std::unique_ptr<UserBean> adoptRoomData(const Json::Value& data);

}  // namespace roomuser
