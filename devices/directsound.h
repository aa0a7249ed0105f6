// The speaker test of the device check: lists the playback devices and plays a PCM wave file on
// the chosen one from a thread of its own, in the file's own format, feeding every block it
// queues (19200 bytes of a four-block ring) to a level meter. Used on the UI thread only; the
// meter is borrowed from the window.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devices/levelmeter.h"
#include "devices/soundstreams.h"
#include "devices/soundtestthread.h"

class CDirectSound {
public:
    static constexpr std::size_t kHeaderBytes = 44;
    static constexpr std::size_t kBlockBytes = 19200;
    static constexpr std::size_t kRingBytes = 4 * kBlockBytes;
    static constexpr std::chrono::milliseconds kBlockWait{2000};
    // The longest the end of a test waits for its queued blocks to be heard.
    static constexpr std::chrono::milliseconds kDrainWait{10000};
    static constexpr std::chrono::milliseconds kServerTimeout{3000};

    CDirectSound();
    explicit CDirectSound(std::shared_ptr<fenwix::devices::SoundServer> server);
    // Clears the meter first, so no block reaches a meter that is about to go, then stops.
    ~CDirectSound();

    CDirectSound(const CDirectSound&) = delete;
    CDirectSound& operator=(const CDirectSound&) = delete;

    // The playback devices in the server's order (empty without a server).
    const std::vector<fenwix::devices::SoundDeviceEntry>& devices() const { return m_devices; }

    // Stops a test that plays, then plays the wave file at `path` on the device named `name`,
    // feeding `meter`. The test ends by itself at the end of the file.
    void Play(fenwix::devices::LevelMeter* meter, const std::string& path, const std::string& name);

    // Stops the playback thread, if any, and waits for it. Always true.
    bool waitThreadStop();

    // The format in a canonical 44-byte wave header (channels at 22, rate at 24, bits at 34),
    // or nothing, with the reason, when this header cannot be played as PCM.
    static std::optional<fenwix::devices::PcmFormat> formatOfHeader(const unsigned char* header,
                                                                    std::string& why);

private:
    void Run();
    bool Stream(std::FILE* file, const fenwix::devices::PcmFormat& format, const std::string& id,
                fenwix::devices::PlaybackStream& stream);

    std::string m_strPath;
    std::shared_ptr<fenwix::devices::SoundServer> m_server;
    std::vector<fenwix::devices::SoundDeviceEntry> m_devices;
    std::string m_strName;
    fenwix::devices::MeterFeed m_spectrum;
    fenwix::devices::SoundTestThread m_thread;
};
