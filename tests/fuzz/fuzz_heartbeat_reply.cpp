// The heartbeat's reply.
#include "fuzzenvironment.h"
#include "service/heartbeat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CHeartbeat::isAlive(true, fenwixfuzz::text(data, size));
    return 0;
}
