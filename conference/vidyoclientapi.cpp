#include "conference/vidyoclientapi.h"

namespace {

VidyoClientApi& table() {
    static VidyoClientApi api = VidyoClientApi::library();
    return api;
}

}  // namespace

VidyoClientApi VidyoClientApi::library() {
    VidyoClientApi api;
    api.initialize = &VidyoClientInitialize;
    api.start = &VidyoClientStart;
    api.sendRequest = &VidyoClientSendRequest;
    api.sendEvent = &VidyoClientSendEvent;
    api.stop = &VidyoClientStop;
    api.uninitialize = &VidyoClientUninitialize;
    return api;
}

const VidyoClientApi& vidyoClientApi() {
    return table();
}

ScopedVidyoClientApi::ScopedVidyoClientApi(const VidyoClientApi& api) : previous_(table()) {
    table() = api;
}

ScopedVidyoClientApi::~ScopedVidyoClientApi() {
    table() = previous_;
}
