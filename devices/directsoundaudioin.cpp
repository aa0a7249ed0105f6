#include "devices/directsoundaudioin.h"

#include <algorithm>

#include "logging/log4z.h"

using fenwix::devices::CaptureStream;
using fenwix::devices::OpenFailure;
using fenwix::devices::SoundServer;
using fenwix::devices::StreamWake;

CDirectSoundAudioIn::CDirectSoundAudioIn()
    : CDirectSoundAudioIn(fenwix::devices::systemSoundServer(kServerTimeout)) {}

CDirectSoundAudioIn::CDirectSoundAudioIn(std::shared_ptr<SoundServer> server)
    : m_server(std::move(server)), m_format{kChannels, kSamplesPerSec, kBitsPerSample} {
    if (m_server != nullptr) {
        m_devices = fenwix::devices::devicesOrNone(m_server->recordingDevices());
    }
    if (m_devices.empty()) {
        LOGW("audio in: the sound server lists no microphone");
    }
}

CDirectSoundAudioIn::~CDirectSoundAudioIn() {
    m_spectrum.set(nullptr);
    waitThreadStop();
    LOGI("CDirectSoundAudioIn::~CDirectSoundAudioIn");
}

std::size_t CDirectSoundAudioIn::blockBytes() {
    const std::size_t align = kBitsPerSample / 8 * kChannels;
    const std::size_t perSecond = align * kSamplesPerSec;
    const std::size_t block = std::max<std::size_t>(perSecond / 8, 1024);
    return block - block % align;
}

void CDirectSoundAudioIn::SetSpectrum(fenwix::devices::LevelMeter* meter) {
    m_spectrum.set(meter);
}

bool CDirectSoundAudioIn::Start(const std::string& name) {
    waitThreadStop();
    LOGI("audio in thread start");
    const auto entry = std::find_if(m_devices.begin(), m_devices.end(),
                                    [&](const auto& device) { return device.description == name; });
    if (entry == m_devices.end()) {
        LOGE("从麦克风设备列表中获取GUID失败");
        return false;
    }
    std::shared_ptr<CaptureStream> stream = m_server->newCaptureStream();
    switch (stream != nullptr ? stream->open(entry->id, m_format, blockBytes())
                              : OpenFailure::Connect) {
        case OpenFailure::None:
            break;
        case OpenFailure::Connect:
            LOGE("DirectSoundCaptureCreate failed");
            return false;
        case OpenFailure::Create:
            LOGE("CreateCaptureBuffer failed");
            return false;
        case OpenFailure::Start:
            LOGE("LPDIRECTSOUNDCAPTUREBUFFER::Start failed");
            return false;
    }
    m_thread.setStream(stream);
    m_thread.start([this, stream]() mutable { Run(std::move(stream)); });
    return true;
}

void CDirectSoundAudioIn::Run(std::shared_ptr<CaptureStream> stream) {
    std::vector<unsigned char> block;
    while (m_thread.running()) {
        const StreamWake wake = stream->waitBlock(block);
        if (wake == StreamWake::Ready) {
            m_spectrum.feed(block.data(), block.size());
        } else if (wake == StreamWake::Failed) {
            LOGE("audio in: the microphone or the sound server went away");
            break;
        }
    }
    // The device is let go here, so a new capture finds it free.
    m_thread.setStream(nullptr);
    stream.reset();
    m_thread.finished();
    LOGI("audio in thread");
}

bool CDirectSoundAudioIn::waitThreadStop() {
    m_thread.stop();
    LOGI("audio in waitThreadStop");
    return true;
}
