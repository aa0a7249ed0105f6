#include "sdk/vidyoclient/clientlog.h"

namespace vidyoclient {

ClientLog& clientLog() {
    static ClientLog log("VidyoClient.log");
    return log;
}

}  // namespace vidyoclient
