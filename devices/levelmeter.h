// What the microphone and speaker tests feed: a level meter that turns each block of sound into
// one loudness value. The meter itself is a window of the UI; the tests only borrow it and may
// call it from their own threads.
#pragma once

#include <cstddef>

namespace fenwix::devices {

class LevelMeter {
public:
    virtual ~LevelMeter() = default;

    // Any thread: the block's level becomes the meter's level and a repaint is requested.
    virtual void Feed(const unsigned char* bytes, std::size_t length) = 0;
    // Any thread: a repaint is requested; the level keeps its last value.
    virtual void Clear() = 0;
};

// 20 × log10 of the mean magnitude of the block's 16-bit little-endian samples (both channels
// alike), truncated toward zero; 0 when the mean is not above 0 (silence, or a block shorter than
// one sample). A mean below 1 gives a negative level.
int levelOf(const unsigned char* bytes, std::size_t length);

}  // namespace fenwix::devices
