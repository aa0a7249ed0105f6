// Calls an operation of the live-streaming library's capture object by the slot number of its
// virtual table, as a caller that knows only the slot numbers does:
//     slot<int>(capture, 16);   slot<void>(capture, 22, url.c_str());
#pragma once

#include "sdk/kelvramedia/kelvramedia.h"

namespace fenwixtest {

template <typename R, typename... A>
R slot(KelvraMediaSdk::ILiveCapture* capture, int index, A... args) {
    using Fn = R (*)(KelvraMediaSdk::ILiveCapture*, A...);
    void** table = *reinterpret_cast<void***>(capture);
    return reinterpret_cast<Fn>(table[index])(capture, args...);
}

}  // namespace fenwixtest
