// The push channel's registration reply.
#include "fuzzenvironment.h"
#include "service/zorbel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CZorbel::acceptRegistration(fenwixfuzz::text(data, size));
    return 0;
}
