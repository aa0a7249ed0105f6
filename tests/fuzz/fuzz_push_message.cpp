// A push message as the controller hands it on: parsed, then dispatched by the backend client on
// the UI thread with the conference session's hooks faked.
#include <json/value.h>

#include "fuzzenvironment.h"
#include "jsontext/jsontext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fenwixfuzz::FuzzEnvironment& env = fenwixfuzz::FuzzEnvironment::instance();
    Json::Value message;
    if (!jsontext::parseJson(fenwixfuzz::text(data, size), message)) {
        return 0;
    }
    env.window().runOnUi([&] { env.server().onPushMessage(message); });
    fenwixfuzz::settle();
    return 0;
}
