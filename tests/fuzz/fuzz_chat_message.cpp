// The chat envelope from the conference and the curtain command inside its text, on the UI
// thread as the controller runs it.
#include "fuzzenvironment.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fenwixfuzz::FuzzEnvironment& env = fenwixfuzz::FuzzEnvironment::instance();
    const std::string envelope = fenwixfuzz::text(data, size);
    env.window().runOnUi([&] { env.server().onChatMessage(envelope); });
    fenwixfuzz::settle();
    return 0;
}
