// Conversion of seconds since 1970 to the local calendar, safe to call from any thread.
#pragma once

#include <cstdint>
#include <ctime>

namespace fenwix::platform {

// Fills `out` with the local date and time of `seconds`; false if the time cannot be converted.
bool toLocalTime(std::int64_t seconds, std::tm& out);

}  // namespace fenwix::platform
