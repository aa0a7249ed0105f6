#include "devices/directsound.h"

#include <algorithm>
#include <cstdint>

#include "logging/log4z.h"

using fenwix::devices::OpenFailure;
using fenwix::devices::PcmFormat;
using fenwix::devices::SoundServer;
using fenwix::devices::StreamWake;

namespace {

// The sound server takes at most this many channels and this rate; beyond them a header can
// only be lying.
constexpr unsigned kMaxChannels = 32;
constexpr unsigned kMaxSamplesPerSec = 384000;

unsigned littleEndian(const unsigned char* bytes, int width) {
    unsigned value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

CDirectSound::CDirectSound() : CDirectSound(fenwix::devices::systemSoundServer(kServerTimeout)) {}

CDirectSound::CDirectSound(std::shared_ptr<SoundServer> server) : m_server(std::move(server)) {
    if (m_server != nullptr) {
        m_devices = fenwix::devices::devicesOrNone(m_server->playbackDevices());
    }
    if (m_devices.empty()) {
        LOGW("audio out: the sound server lists no speaker");
    }
}

CDirectSound::~CDirectSound() {
    m_spectrum.set(nullptr);
    waitThreadStop();
    LOGI("CDirectSound::~CDirectSound()");
}

std::optional<PcmFormat> CDirectSound::formatOfHeader(const unsigned char* header,
                                                      std::string& why) {
    PcmFormat format;
    format.channels = littleEndian(header + 22, 2);
    format.samplesPerSec = littleEndian(header + 24, 4);
    format.bitsPerSample = littleEndian(header + 34, 2);
    const bool widthOk =
        format.bitsPerSample % 8 == 0 && format.bitsPerSample >= 8 && format.bitsPerSample <= 32;
    if (format.channels == 0 || format.channels > kMaxChannels || format.samplesPerSec == 0 ||
        format.samplesPerSec > kMaxSamplesPerSec || !widthOk) {
        why = "channels " + std::to_string(format.channels) + " rate " +
              std::to_string(format.samplesPerSec) + " bits " +
              std::to_string(format.bitsPerSample);
        return std::nullopt;
    }
    return format;
}

void CDirectSound::Play(fenwix::devices::LevelMeter* meter, const std::string& path,
                        const std::string& name) {
    waitThreadStop();
    LOGI("audio out thread start");
    m_spectrum.set(meter);
    m_strPath = path;
    m_strName = name;
    m_thread.start([this] {
        Run();
        m_thread.finished();
    });
}

void CDirectSound::Run() {
    const auto entry = std::find_if(m_devices.begin(), m_devices.end(), [&](const auto& device) {
        return device.description == m_strName;
    });
    if (entry == m_devices.end()) {
        LOGE("audio out: no speaker named " << m_strName);
        return;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(m_strPath.c_str(), "rb"));
    if (file == nullptr) {
        LOGE("audio out: cannot open " << m_strPath);
        return;
    }
    unsigned char header[kHeaderBytes];
    std::string why;
    std::optional<PcmFormat> format;
    if (std::fread(header, 1, kHeaderBytes, file.get()) < kHeaderBytes) {
        LOGE("audio out: " << m_strPath << " is shorter than a wave header");
        return;
    }
    if (format = formatOfHeader(header, why); !format) {
        LOGE("audio out: " << m_strPath << " has a wave header that cannot be played: " << why);
        return;
    }
    std::shared_ptr<fenwix::devices::PlaybackStream> stream = m_server->newPlaybackStream();
    if (stream == nullptr) {
        return;
    }
    m_thread.setStream(stream);
    if (m_thread.running() && !Stream(file.get(), *format, entry->id, *stream)) {
        LOGE("audio out: the speaker " << m_strName << " cannot play the test");
    }
    file.reset();
    m_spectrum.clear();
    m_thread.setStream(nullptr);
    stream.reset();
    LOGI("audio out thread");
}

// Queues the file block by block as the ring has room, after one block of silence that lets the
// writer stay ahead of the play position, and lets the queue play out at the end of the file.
// False when the device failed.
bool CDirectSound::Stream(std::FILE* file, const PcmFormat& format, const std::string& id,
                          fenwix::devices::PlaybackStream& stream) {
    // Blocks of whole frames: odd frame sizes (e.g. 7 channels of 16 bit) do not divide 19200.
    const std::size_t frame = format.blockAlign();
    const std::size_t block = kBlockBytes - kBlockBytes % frame;
    if (stream.open(id, format, block, kRingBytes) != OpenFailure::None) {
        return false;
    }
    const unsigned char silence = format.bitsPerSample == 8 ? 0x80 : 0x00;
    std::vector<unsigned char> buffer(block, silence);
    if (!stream.write(buffer.data(), block)) {
        return false;
    }
    StreamWake last = StreamWake::Ready;
    while (m_thread.running()) {
        if (last == StreamWake::Ready) {
            const std::size_t got = std::fread(buffer.data(), 1, block, file);
            const std::size_t whole = got - got % frame;
            if (whole > 0 && !stream.write(buffer.data(), whole)) {
                return false;
            }
            if (whole > 0) {
                m_spectrum.feed(buffer.data(), whole);
            }
            if (got < block) {
                // The end of the file: what is queued is still heard (a short file fits into
                // the ring whole), unless a stop comes first.
                return stream.drain(kDrainWait) != StreamWake::Failed;
            }
        }
        // A time-out writes nothing in the next round; it only looks at the running flag again.
        last = stream.waitWritable(kBlockWait);
        if (last == StreamWake::Failed) {
            return false;
        }
    }
    return true;
}

bool CDirectSound::waitThreadStop() {
    m_thread.stop();
    LOGI("audio out waitThreadStop");
    return true;
}
