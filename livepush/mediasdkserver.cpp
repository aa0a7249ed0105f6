#include "livepush/mediasdkserver.h"

#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>

#include "livepush/kelvramediaapi.h"
#include "logging/log4z.h"
#include "platform/debugtrace.h"
#include "platform/process.h"
#include "service/commonutil.h"

namespace {

std::atomic<MediaSdkSink*> g_sink{nullptr};

}  // namespace

void MediaSdkServer::setSink(MediaSdkSink* sink) {
    g_sink.store(sink);
}

MediaSdkSink* MediaSdkServer::sink() {
    return g_sink.load();
}

void MediaSdkServer::init(const std::string& logPath) {
    const KelvraMediaApi& api = kelvraMediaApi();
    if (!api.complete()) {
        LOGE("live-streaming library is not available, the live push stays off");
        return;
    }
    api.initMediaSdk();
    api.setLogPath(logPath.c_str());
    m_capture = api.createLiveCapture();
    if (m_capture == nullptr) {
        LOGE("live-streaming library gave no capture object, the live push stays off");
        return;
    }
    m_capture->setCaptureFormat(kWidth, kHeight, kFps);
    m_capture->setCallback(this, m_capture);
}

std::vector<MediaSdkServer::DeviceInfo> MediaSdkServer::fillList(std::vector<DeviceInfo>& list,
                                                                 DeviceCount count, DeviceAt at,
                                                                 const char* itemLine,
                                                                 const char* sizeLine) {
    list.clear();
    const int size = count != nullptr ? count() : 0;
    for (int i = 0; i < size; ++i) {
        DeviceInfo info{};
        at(i, &info);  // its result is not relied on: a record is kept for every index
        list.push_back(info);
        LOGI(itemLine << fieldText(info.deviceId));
    }
    LOGI(sizeLine << list.size());
    return list;
}

std::vector<MediaSdkServer::DeviceInfo> MediaSdkServer::getCameraList() {
    const KelvraMediaApi& api = kelvraMediaApi();
    return fillList(m_cameras, api.getCameraDeviceCount, api.getCameraDevice,
                    "pull sdk getVideoDevice,  deviceID", "pull sdk videolist init,size: ");
}

std::vector<MediaSdkServer::DeviceInfo> MediaSdkServer::getMicrophoneList() {
    const KelvraMediaApi& api = kelvraMediaApi();
    return fillList(m_microphones, api.getMicrophoneCount, api.getMicrophone,
                    "pull sdk getAudioDevice,  deviceID", "pull sdk audioList init,size: ");
}

bool MediaSdkServer::selectDevice(const std::vector<DeviceInfo>& list, int index,
                                  DeviceInfo& selected) {
    // Compared as unsigned: a negative index is out of range too.
    if (static_cast<unsigned>(index) >= list.size()) {
        return false;
    }
    std::memcpy(&selected, &list[static_cast<unsigned>(index)], sizeof(DeviceInfo));
    return true;
}

bool MediaSdkServer::setLiveCamera(int index) {
    if (!selectDevice(m_cameras, index, m_selectedCamera)) {
        LOGI("pull sdk setVideoDevice, 下标设置错误");
        return false;
    }
    if (m_capture != nullptr) {
        m_capture->setCamera(&m_selectedCamera);
    }
    LOGI("pull sdk setVideoDevice,  deviceID: " << fieldText(m_selectedCamera.deviceId));
    return true;
}

bool MediaSdkServer::setLiveMicrophone(int index) {
    if (!selectDevice(m_microphones, index, m_selectedMicrophone)) {
        LOGI("pull sdk setAudioDevice, 下标设置错误");
        return false;
    }
    if (m_capture != nullptr) {
        m_capture->setMicrophone(&m_selectedMicrophone);
    }
    LOGI("pull sdk setAudioDevice,  deviceID: " << fieldText(m_selectedMicrophone.deviceId));
    return true;
}

void MediaSdkServer::setPreviewPos(std::uintptr_t window, int width, int height) {
    if (m_capture == nullptr) {
        return;
    }
    const std::uint8_t placed = m_capture->setPreviewWindow(window, 0, 0, width, height);
    LOGI("pull sdk SetPreviewPos：" << static_cast<int>(placed));
    m_capture->startPreview();
}

int MediaSdkServer::pushBitrate(double factor) {
    // Cut to the integer part first; a factor so large that the product leaves int is held at
    // the largest whole factor that fits.
    const double whole = std::trunc(factor);
    constexpr double kMaxWhole = static_cast<double>(INT_MAX / kBitrateUnit);
    if (!(whole >= 0.0)) {
        return 0;
    }
    if (whole > kMaxWhole) {
        LOGW("bitrate factor " << factor << " too large, held at " << kMaxWhole);
        return static_cast<int>(kMaxWhole) * kBitrateUnit;
    }
    return static_cast<int>(whole) * kBitrateUnit;
}

int MediaSdkServer::startPush(const std::string& url) {
    if (m_capture == nullptr) {
        LOGE("live push not started: the live-streaming library is not initialised");
        return 0;
    }
    m_capture->setPushVideoFormat(kWidth, kHeight, kFps);
    m_capture->setVideoBitrate(pushBitrate(CComConfig::getInstance()->getBitrate()));
    m_capture->setLocalRecord("type.mp4", 0);
    m_capture->enablePushOutput();
    m_capture->setPushUrl(url.c_str());
    return m_capture->startPush();
}

void MediaSdkServer::stopPreview() {
    LOGI("pull sdk stopPreview");
    if (m_capture != nullptr) {
        m_capture->stopPreview();
    }
}

void MediaSdkServer::stopPush() {
    if (m_capture != nullptr) {
        m_capture->stopPush();
    }
}

void MediaSdkServer::release() {
    if (m_capture == nullptr) {
        return;
    }
    m_capture->release();
    m_capture = nullptr;
    const KelvraMediaApi& api = kelvraMediaApi();
    if (api.unInitMediaSdk != nullptr) {
        api.unInitMediaSdk();
    }
}

void MediaSdkServer::OnCaptureEvent(int event, int value, const char* /*detail*/,
                                    void* /*context*/) {
    fenwix::platform::debugTracef("OnCaptureEvent thread id = %u\n",
                                  fenwix::platform::currentThreadId());
    LOGI("pull back event: " << event << " id：" << value);
    MediaSdkSink* const target = g_sink.load();
    void (MediaSdkSink::*call)() = nullptr;
    switch (event) {
        case kPreviewStarted:
            LOGI("pull sdk回调 预览开始");
            break;
        case kPreviewStopped:
            LOGI("pull sdk回调 预览结束");
            break;
        case kPushStarted:
            LOGI("pull sdk回调 推流开始");
            break;
        case kPushStopped:
            LOGI("pull sdk回调 推流结束");
            call = &MediaSdkSink::onPushStopped;
            break;
        case kCameraListChanged:
            LOGI("pull sdk摄像头设备改变");
            break;
        case kMicrophoneListChanged:
            LOGI("pull sdk麦克风设备改变");
            break;
        case kCameraOpened:
            LOGI("pull sdk回调 摄像头设备打开");
            call = &MediaSdkSink::onCameraOpened;
            break;
        case kMicrophoneOpened:
            LOGI("pull sdk回调 麦克风设备打开");
            call = &MediaSdkSink::onMicrophoneOpened;
            break;
        case kMicrophoneMutedInOs:
            LOGI("pull sdk麦克风在OS中被设置了静音 ");
            break;
        case kMicrophoneUnmutedInOs:
            LOGI("pull sdk麦克风在OS中取消了静音");
            break;
        case kNetworkError:
            LOGI("pull sdk回调 网络异常");
            call = &MediaSdkSink::onNetworkError;
            break;
        case kNetworkRestored:
            LOGI("pull sdk回调 网络恢复");
            call = &MediaSdkSink::onNetworkRestored;
            break;
        case kCameraOpenFailed:
            LOGI("pull sdk打开摄像头失败 ");
            call = &MediaSdkSink::onCameraOpenFailed;
            break;
        case kMicrophoneOpenFailed:
            LOGI("pull sdk打开麦克风失败 ");
            call = &MediaSdkSink::onMicrophoneOpenFailed;
            break;
        default:
            break;
    }
    if (call != nullptr && target != nullptr) {
        (target->*call)();
    }
}
