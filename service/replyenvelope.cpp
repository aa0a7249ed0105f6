#include "service/replyenvelope.h"

#include "jsontext/jsontext.h"
#include "logging/log4z.h"

ReplySuccess replySuccess(const Json::Value& envelope) {
    const Json::Value* success = jsontext::member(envelope, "success");
    if (success == nullptr) {
        return ReplySuccess::Missing;
    }
    if (!success->isBool()) {
        LOGW("reply: success is " << jsontext::typeName(*success)
                                  << ", not a boolean; taken as a refusal");
        return ReplySuccess::Refused;
    }
    return success->asBool() ? ReplySuccess::Accepted : ReplySuccess::Refused;
}

bool readBusinessReply(const std::string& text, BusinessReply& out) {
    out = BusinessReply();
    Json::Value root;
    if (!jsontext::parseJson(text, root)) {
        return false;
    }
    out.success = replySuccess(root);
    if (const Json::Value* payload = jsontext::member(root, "payload")) {
        out.payload = *payload;
    }
    jsontext::readText(root, "message", out.message);
    return true;
}
