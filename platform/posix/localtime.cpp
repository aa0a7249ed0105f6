#include "platform/localtime.h"

namespace fenwix::platform {

bool toLocalTime(std::int64_t seconds, std::tm& out) {
    const auto value = static_cast<std::time_t>(seconds);
    return ::localtime_r(&value, &out) != nullptr;
}

}  // namespace fenwix::platform
