// The microphone test of the device check: lists the recording devices and captures from the
// chosen one on a thread of its own in a fixed format (44100 Hz, 2 channels, 16 bit), handing
// every block of 22048 bytes (about 125 ms) to a level meter. Captured sound goes nowhere else.
// Used on the UI thread only; the meter is borrowed from the window.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "devices/levelmeter.h"
#include "devices/soundstreams.h"
#include "devices/soundtestthread.h"

class CDirectSoundAudioIn {
public:
    static constexpr unsigned kChannels = 2;
    static constexpr unsigned kSamplesPerSec = 44100;
    static constexpr unsigned kBitsPerSample = 16;
    static constexpr std::chrono::milliseconds kServerTimeout{3000};

    // Lists the recording devices of the system's sound server (or of the one handed in).
    CDirectSoundAudioIn();
    explicit CDirectSoundAudioIn(std::shared_ptr<fenwix::devices::SoundServer> server);
    // Clears the meter first, so no block reaches a meter that is about to go, then stops.
    ~CDirectSoundAudioIn();

    CDirectSoundAudioIn(const CDirectSoundAudioIn&) = delete;
    CDirectSoundAudioIn& operator=(const CDirectSoundAudioIn&) = delete;

    // The recording devices in the server's order (empty without a server).
    const std::vector<fenwix::devices::SoundDeviceEntry>& devices() const { return m_devices; }

    void SetSpectrum(fenwix::devices::LevelMeter* meter);

    // Stops a running capture, then captures from the device whose name equals `name`. True once
    // the capture thread runs; false, with a log line, on any failure.
    bool Start(const std::string& name);

    // Stops the capture thread, if any, and waits for it. Always true.
    bool waitThreadStop();

    // Notification block and ring sizes of the format: bytes per second / 8 (at least 1024),
    // rounded down to whole frames; the ring holds four blocks.
    static std::size_t blockBytes();
    static std::size_t bufferBytes() { return 4 * blockBytes(); }

private:
    void Run(std::shared_ptr<fenwix::devices::CaptureStream> stream);

    std::shared_ptr<fenwix::devices::SoundServer> m_server;
    fenwix::devices::PcmFormat m_format;
    fenwix::devices::MeterFeed m_spectrum;
    std::vector<fenwix::devices::SoundDeviceEntry> m_devices;
    fenwix::devices::SoundTestThread m_thread;
};
