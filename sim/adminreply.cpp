#include "sim/adminreply.h"

#include "sim/jsonutil.h"

namespace fenwixsim {

SimReply ok(Json::Value value) {
    value["ok"] = true;
    return jsonReply(writeJson(value));
}

SimReply fail(const std::string& error, int status) {
    Json::Value v;
    v["ok"] = false;
    v["error"] = error;
    return jsonReply(writeJson(v), status);
}

}  // namespace fenwixsim
