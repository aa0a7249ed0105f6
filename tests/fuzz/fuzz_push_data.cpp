// The push channel's data reply, handed to the main window as the controller receives it.
#include "fuzzenvironment.h"
#include "service/zorbel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fenwixfuzz::FuzzEnvironment::instance();
    CZorbel::onDataReply(true, fenwixfuzz::text(data, size), REQUEST_PUSH_DATA);
    return 0;
}
