// The library's own log, KelvraMedia.log in the folder given by SetMediaSdkLogPath.
#pragma once

#include "sdk/common/sdklog.h"

namespace kelvramedia {

sdkcommon::SdkLog& mediaLog();

// One line of the library's log.
inline void logLine(const std::string& text) {
    mediaLog().line(text);
}

}  // namespace kelvramedia
