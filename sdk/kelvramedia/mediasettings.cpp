#include "sdk/kelvramedia/mediasettings.h"

namespace kelvramedia {

std::optional<VideoFormat> checkedFormat(int width, int height, int fps) {
    // Bounds of what an H.264 encoder and a window take; anything else is a caller's mistake.
    if (width < 16 || width > 4096 || height < 16 || height > 2304 || fps < 1 || fps > 120) {
        return std::nullopt;
    }
    // 4:2:0 pictures need even sizes.
    return VideoFormat{width & ~1, height & ~1, fps};
}

}  // namespace kelvramedia
