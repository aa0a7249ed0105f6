// The library's own log file, VidyoClient.log in the folder of its start record.
#pragma once

#include "sdk/common/sdklog.h"

namespace vidyoclient {

using ClientLog = sdkcommon::SdkLog;
using sdkcommon::nativePath;

// The process-wide log of the library.
ClientLog& clientLog();

}  // namespace vidyoclient
