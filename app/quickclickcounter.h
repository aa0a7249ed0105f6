// The five-quick-clicks rule of the student picture: five clicks, each less than a second after
// the previous one. A pause of a second or more resets the count, and that click is not counted.
#pragma once

#include <cstdint>

class CQuickClickCounter {
public:
    // A click at nowMs (wall clock, milliseconds). True on the fifth quick click; the counter
    // then starts again.
    bool click(std::int64_t nowMs);

private:
    int m_count = 0;
    std::int64_t m_lastMs = 0;
};
