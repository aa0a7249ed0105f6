// The six functions of the conference library as one table, so the adapter calls the library
// only through it and tests can stand in for the library at this seam.
#pragma once

#include "sdk/vidyoclient/vidyoclient.h"

struct VidyoClientApi {
    decltype(&VidyoClientInitialize) initialize = nullptr;
    decltype(&VidyoClientStart) start = nullptr;
    decltype(&VidyoClientSendRequest) sendRequest = nullptr;
    decltype(&VidyoClientSendEvent) sendEvent = nullptr;
    decltype(&VidyoClientStop) stop = nullptr;
    decltype(&VidyoClientUninitialize) uninitialize = nullptr;

    // Bound to the linked library.
    static VidyoClientApi library();
};

// The table the adapter uses: the library's, unless a ScopedVidyoClientApi replaces it.
const VidyoClientApi& vidyoClientApi();

// Replaces the table for its lifetime and restores the previous one afterwards. Meant for tests;
// not to be used while the library's callback thread is running.
class ScopedVidyoClientApi {
public:
    explicit ScopedVidyoClientApi(const VidyoClientApi& api);
    ~ScopedVidyoClientApi();
    ScopedVidyoClientApi(const ScopedVidyoClientApi&) = delete;
    ScopedVidyoClientApi& operator=(const ScopedVidyoClientApi&) = delete;

private:
    VidyoClientApi previous_;
};
