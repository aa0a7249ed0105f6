// The media framework the stand-in libraries draw and capture with.
#pragma once

#include "sdk/common/capturedevices.h"

namespace sdkcommon {

// Starts the framework once per library; false (logged the first time) when it cannot start.
bool mediaFrameworkReady(const LogLine& log);

}  // namespace sdkcommon
