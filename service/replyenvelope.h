// The envelope every backend reply comes in: {"success": boolean, "payload": ..., "message":
// text}. One rule for every reply (business requests, heartbeat, push channel): only the boolean
// true accepts. A number or a text under "success" is a refusal, never an acceptance, so a
// backend fault cannot be taken for a success on one channel and for a failure on another.
#pragma once

#include <json/value.h>

#include <string>

enum class ReplySuccess {
    Missing,  // the reply is not an object, or "success" is absent or null
    Refused,  // false, or a value of another type (logged)
    Accepted,
};

ReplySuccess replySuccess(const Json::Value& envelope);

// A business reply read from its text.
struct BusinessReply {
    ReplySuccess success = ReplySuccess::Missing;
    Json::Value payload;  // null when absent
    std::string message;  // empty when absent or not a text
};

// False if the text does not parse as JSON; the caller logs and drops the reply.
bool readBusinessReply(const std::string& text, BusinessReply& out);
