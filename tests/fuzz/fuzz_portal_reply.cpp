// The portal's answers as the conference client library reads them, with the HTTP status taken
// from the first two bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sdk/vidyoclient/portalconnection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const long status = (data[0] << 8) | data[1];
    vidyoclient::PortalConnection::readReply(
        status, std::string(reinterpret_cast<const char*>(data + 2), size - 2));
    return 0;
}
