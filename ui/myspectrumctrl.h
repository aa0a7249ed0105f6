// The level meter of the device check: a horizontal bar as wide as the loudness of the last block
// of 16-bit stereo sound fed to it. Feed and Clear may be called from capture and playback
// threads; they only store the level and ask the UI thread to repaint.
#pragma once

#include <QRect>
#include <QWidget>
#include <cstddef>
#include <mutex>

#include "devices/levelmeter.h"

class CMySpectrumCtrl : public QWidget, public fenwix::devices::LevelMeter {
    Q_OBJECT
public:
    static constexpr int kChannels = 2;
    static constexpr int kBitsPerSample = 16;

    CMySpectrumCtrl(QWidget* parent, const QRect& rect, unsigned id);

    // Any thread: the block's level becomes the meter's level; a repaint follows on the UI thread.
    void Feed(const unsigned char* bytes, std::size_t length) override;
    // Any thread: repaints; the level keeps its last value.
    void Clear() override;

    int level() const;

    // 20 × log10 of the mean magnitude of the block's 16-bit little-endian samples, truncated;
    // 0 when the mean is not above 0 (silence, or a block shorter than one sample).
    static int levelOf(const unsigned char* bytes, std::size_t length);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void requestRepaint();

    mutable std::mutex m_lock;
    int m_nLevel = 0;
};
