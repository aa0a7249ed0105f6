#include "sim/updateoffers.h"

#include <openssl/evp.h>

#include "sim/adminreply.h"
#include "sim/businessface.h"
#include "sim/cannedreplies.h"
#include "sim/formcodec.h"
#include "sim/jsonutil.h"

namespace fenwixsim {

std::string sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
        return {};
    }
    static const char* const kHex = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0f];
    }
    return hex;
}

void UpdateOffers::install(SimCore& core) {
    core_ = &core;
    core.route("POST", "/admin/update", [this](const SimRequest& r) { return offer(r); });
}

SimReply UpdateOffers::offer(const SimRequest& request) {
    Json::Value json;
    if (!parseJson(stripOneTrailingNul(request.body), json) || !json.isObject()) {
        return fail("the body must be a JSON object");
    }
    std::string installer;
    if (!json["installerBase64"].isString() ||
        !base64Decode(json["installerBase64"].asString(), installer)) {
        return fail("installerBase64 must hold the installer in base64");
    }
    const std::string fault = json["fault"].isString() ? json["fault"].asString() : "none";
    const bool withDigest = !json.isMember("sha256") || json["sha256"].asBool();
    std::string digest = sha256Hex(installer);
    std::string served = installer;
    if (fault == "truncated") {
        served.resize(served.size() / 2);
    } else if (fault == "corrupted") {
        for (std::size_t i = served.size() / 2; i < served.size() && i < served.size() / 2 + 64;
             ++i) {
            served[i] = static_cast<char>(~served[i]);
        }
    } else if (fault == "digest") {
        digest = sha256Hex(installer + "other");
    } else if (fault != "none") {
        return fail("fault must be none, truncated, corrupted or digest");
    }

    CannedReply file;
    file.body = served;
    file.contentType = "application/octet-stream";
    core_->replies().set(kInstallerPath, file);

    ReplyOverride update;
    update.hasPayload = true;
    update.payload["isupdate"] = true;
    update.payload["installUrl"] = baseUrl_() + kInstallerPath;
    if (withDigest) {
        update.payload["sha256"] = digest;
    }
    const std::string device = json["deviceKey"].isString() ? json["deviceKey"].asString() : "";
    business_.setOverride(BusinessFace::resolvePath("updateVersion"), device, update);
    Json::Value out = update.payload;
    out["servedLength"] = static_cast<Json::UInt64>(served.size());
    return ok(out);
}

}  // namespace fenwixsim
