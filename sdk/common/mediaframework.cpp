#include "sdk/common/mediaframework.h"

#include <gst/gst.h>

namespace sdkcommon {

bool mediaFrameworkReady(const LogLine& log) {
    static const bool ready = [&log] {
        GError* error = nullptr;
        const bool ok = gst_init_check(nullptr, nullptr, &error) != FALSE;
        if (!ok) {
            log(std::string("media framework unavailable: ") +
                (error != nullptr ? error->message : "unknown"));
            g_clear_error(&error);
        }
        return ok;
    }();
    return ready;
}

}  // namespace sdkcommon
