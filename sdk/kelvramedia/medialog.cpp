#include "sdk/kelvramedia/medialog.h"

namespace kelvramedia {

sdkcommon::SdkLog& mediaLog() {
    static sdkcommon::SdkLog log("KelvraMedia.log");
    return log;
}

}  // namespace kelvramedia
