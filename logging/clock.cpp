// The wall clock of the logger, replaceable so that tests can move through days.
#include <atomic>
#include <mutex>

#include "logging/log4z.h"

namespace log4z {
namespace {

struct ClockOverride {
    std::atomic<bool> active{false};
    std::mutex mutex;
    std::function<TimePoint()> clock;
};

ClockOverride& clockOverride() {
    static ClockOverride instance;
    return instance;
}

}  // namespace

void setClockForTesting(std::function<TimePoint()> clock) {
    ClockOverride& state = clockOverride();
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.active = static_cast<bool>(clock);
    state.clock = std::move(clock);
}

TimePoint now() {
    ClockOverride& state = clockOverride();
    if (!state.active.load(std::memory_order_acquire)) {
        return std::chrono::system_clock::now();
    }
    const std::lock_guard<std::mutex> lock(state.mutex);
    return state.clock ? state.clock() : std::chrono::system_clock::now();
}

}  // namespace log4z
