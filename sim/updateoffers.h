#pragma once

#include "sim/businessstate.h"
#include "sim/simcore.h"

#include <functional>
#include <string>

namespace fenwixsim {

// POST /admin/update: offers an installer in one call. The installer is served under
// kInstallerPath and the update check answers with its address and, unless asked not to, its
// SHA-256. A fault serves a broken installer against the digest of the intact one ("truncated",
// "corrupted") or offers a digest of other bytes ("digest").
class UpdateOffers {
public:
    static constexpr char kInstallerPath[] = "/files/FenwixStuDesktopSetup";

    UpdateOffers(BusinessState& business, std::function<std::string()> baseUrl)
        : business_(business), baseUrl_(std::move(baseUrl)) {}

    void install(SimCore& core);

private:
    SimReply offer(const SimRequest& request);

    SimCore* core_ = nullptr;
    BusinessState& business_;
    std::function<std::string()> baseUrl_;
};

// Lower-case hex SHA-256 of bytes.
std::string sha256Hex(const std::string& bytes);

}  // namespace fenwixsim
