// The removed-source record from the conference session, then the backend client's check of it
// against the fixed chat sender, as the controller runs both on the UI thread.
#include "conference/sessionrecords.h"
#include "fuzzenvironment.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fenwixfuzz::FuzzEnvironment& env = fenwixfuzz::FuzzEnvironment::instance();
    std::string uri;
    if (!readRemovedSourceUri(fenwixfuzz::text(data, size), uri)) {
        return 0;
    }
    env.window().runOnUi([&] { env.server().onRemoteSourceRemoved(uri); });
    fenwixfuzz::settle();
    return 0;
}
