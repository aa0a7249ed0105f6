// The business service's replies to the live-push requests, as the live-push session reads
// them: the envelope and, for the start request, the push address, state and id. The first byte
// picks the request. The media library is not loaded, so an accepted start goes no further than
// the session's own checks and its call into the adapter.
#include "fuzzenvironment.h"
#include "livepush/mediabizserver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    fenwixfuzz::FuzzEnvironment::instance();  // private configuration, closed backend
    MediaBizServer session;
    const int type = data[0] % 2 == 0 ? MediaBizServer::kReplyStart : MediaBizServer::kReplyStop;
    const bool started = session.httpBack(fenwixfuzz::text(data + 1, size - 1), type);
    // A start counts only with a push id to stop it by.
    if (started && type == MediaBizServer::kReplyStart && !session.pushing()) {
        __builtin_trap();
    }
    return 0;
}
