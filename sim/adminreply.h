// Replies of the admin API: {"ok": true, ...} on success, {"ok": false, "error": ...} otherwise.
#pragma once

#include <json/json.h>

#include <string>

#include "sim/simtypes.h"

namespace fenwixsim {

SimReply ok(Json::Value value = Json::Value(Json::objectValue));
SimReply fail(const std::string& error, int status = 400);

}  // namespace fenwixsim
