#include "service/updatetrial.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "logging/log4z.h"
#include "platform/files.h"

UpdateTrial::UpdateTrial(std::string programFolder) : marker_(std::move(programFolder)) {
    if (!marker_.empty() && marker_.back() != '/') {
        marker_ += '/';
    }
    marker_ += kMarkerFileName;
}

bool UpdateTrial::pending() const {
    return fenwix::platform::fileExists(marker_);
}

void UpdateTrial::confirm() {
    if (!pending()) {
        return;
    }
    if (std::remove(marker_.c_str()) == 0) {
        LOGI("update confirmed: the new version reached the backend");
    } else {
        LOGE("update trial marker cannot be removed: " << marker_ << " (" << std::strerror(errno)
                                                       << ")");
    }
}
