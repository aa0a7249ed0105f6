#include "livepush/mediabizserver.h"

#include <json/value.h>

#include "jsontext/jsontext.h"
#include "logging/log4z.h"
#include "platform/debugtrace.h"
#include "platform/process.h"
#include "service/commonutil.h"
#include "service/formdata.h"
#include "service/httpclient.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "service/replyenvelope.h"
#include "service/terminalui.h"

namespace {

constexpr int kLiveType = 1;

const char* fieldState(jsontext::Field field) {
    return field == jsontext::Field::Missing ? "missing" : "of the wrong type";
}

}  // namespace

void MediaBizServer::init(TerminalUi* ui, const std::string& logPath) {
    m_ui.store(ui);
    m_logPath = logPath;
    MediaSdkServer::setSink(this);
    m_initialized = true;
    m_sdk.init(logPath);
    LOGI("直播云sdk初始化操作完毕 \n");
}

std::vector<MediaSdkServer::DeviceInfo> MediaBizServer::getCameraList() {
    return m_sdk.getCameraList();
}

std::vector<MediaSdkServer::DeviceInfo> MediaBizServer::getMicrophoneList() {
    return m_sdk.getMicrophoneList();
}

bool MediaBizServer::setLiveCamera(int index) {
    const bool result = m_sdk.setLiveCamera(index);
    LOGI("直播云sdk设置摄像头操作: " << (result ? 1 : 0) << " \n");
    return result;
}

bool MediaBizServer::setLiveMicrophone(int index) {
    const bool result = m_sdk.setLiveMicrophone(index);
    LOGI("直播云sdk设置麦克风操作: " << (result ? 1 : 0) << " \n");
    return result;
}

void MediaBizServer::setPreviewPos(std::uintptr_t window, int width, int height) {
    m_sdk.setPreviewPos(window, width, height);
}

bool MediaBizServer::startLive() {
    const std::string form = FormData()
                                 .add("deviceKey", CComConfig::getInstance()->getDeviceKey())
                                 .add("type", kLiveType)
                                 .add("temp", "")
                                 .formText();
    const bool result = sendRequest(ServicePath::kStartConferenceLive,
                                    "直播云sdk开始推流请求 uri: ", form, kReplyStart);
    LOGI("直播云sdk开始推流操作: " << (result ? 1 : 0) << " \n");
    return result;
}

void MediaBizServer::stopPreview() {
    m_sdk.stopPreview();
}

void MediaBizServer::stopPush() {
    m_sdk.stopPush();
}

void MediaBizServer::release() {
    LOGI("释放直播云sdk资源");
    if (m_initialized.exchange(false)) {
        m_sdk.release();
    }
}

bool MediaBizServer::postForm(const std::string& url, const std::string& form, std::string& reply) {
    return CHttpClient().post(url, form, reply);
}

bool MediaBizServer::sendRequest(const char* path, const char* logHead, const std::string& form,
                                 int type) {
    const std::string url = CComConfig::getInstance()->getApiBaseUrl() + path;
    LOGI(logHead << url << "   data: " << form);
    std::string reply;
    if (!postForm(url, form, reply)) {
        httpFail(type);
        return false;
    }
    httpBack(reply, type);
    return true;
}

bool MediaBizServer::httpBack(const std::string& reply, int type) {
    LOGI(reply << " 类型:" << type);
    BusinessReply envelope;
    if (!readBusinessReply(reply, envelope)) {
        return false;
    }
    if (envelope.success == ReplySuccess::Missing) {
        LOGI("返回错误 success is null " << reply << " 类型:" << type);
        return false;
    }
    if (envelope.success != ReplySuccess::Accepted) {
        return false;
    }
    if (type == kReplyStart) {
        return onStartReply(envelope.payload);
    }
    if (type == kReplyStop) {
        CComConfig::getInstance()->setLiveStopConfirmed(true);
        return true;
    }
    return false;
}

bool MediaBizServer::onStartReply(const Json::Value& payload) {
    std::string url;
    int liveStatus = 0;
    int liveId = -1;
    const jsontext::Field urlField = jsontext::readText(payload, "url", url);
    const jsontext::Field statusField = jsontext::readInt(payload, "liveStatus", liveStatus);
    const jsontext::Field idField = jsontext::readInt(payload, "liveId", liveId);
    LOGI("直播云sdk推流地址：" << url);
    if (statusField != jsontext::Field::Ok) {
        LOGW("live push not started: liveStatus is " << fieldState(statusField));
        return false;
    }
    if (liveStatus == 0) {
        return false;
    }
    // Without an address there is nothing to push to, and without a live id the backend could
    // not be told that this push ended.
    if (urlField != jsontext::Field::Ok || url.empty()) {
        LOGW("live push not started: url is "
             << (urlField == jsontext::Field::Ok ? "empty" : fieldState(urlField)));
        return false;
    }
    if (idField != jsontext::Field::Ok) {
        LOGW("live push not started: liveId is " << fieldState(idField));
        return false;
    }
    m_liveId = liveId;
    m_pushing = true;
    CComConfig* config = CComConfig::getInstance();
    config->setLivePushRunning(true);
    config->setLiveStopConfirmed(false);
    m_sdk.startPush(url);
    return true;
}

void MediaBizServer::httpFail(int type) {
    LOGI("httpFail back " << type);
    callbackMsg(NOTICE_LIVE_REQUEST_FAILED);
}

void MediaBizServer::callbackMsg(unsigned code) {
    fenwix::platform::debugTracef("callbackMsg thread id = %u\n",
                                  fenwix::platform::currentThreadId());
    if (TerminalUi* ui = m_ui.load()) {
        ui->closeTipWindows();
    }
    postToMainWindow(WM_NOTICE, code, 0);
}

void MediaBizServer::onCameraOpened() {
    callbackMsg(NOTICE_CAMERA_OPENED);
}

void MediaBizServer::onMicrophoneOpened() {
    callbackMsg(NOTICE_MIC_OPENED);
}

void MediaBizServer::onCameraOpenFailed() {
    callbackMsg(NOTICE_CAMERA_FAILED);
}

void MediaBizServer::onMicrophoneOpenFailed() {
    callbackMsg(NOTICE_MIC_FAILED);
}

void MediaBizServer::onPushStopped() {
    if (!m_pushing.exchange(false)) {
        return;
    }
    const std::string form = FormData()
                                 .add("deviceKey", CComConfig::getInstance()->getDeviceKey())
                                 .add("liveId", m_liveId.load())
                                 .add("name", "")
                                 .add("type", kLiveType)
                                 .add("temp", "")
                                 .formText();
    const bool result = sendRequest(ServicePath::kStopConferenceLive,
                                    "直播云sdk结束推流请求 uri: ", form, kReplyStop);
    LOGI("结束推流操作: " << (result ? 1 : 0) << " \n");
}

void MediaBizServer::onNetworkError() {
    callbackMsg(NOTICE_LIVE_NET_ERROR);
}

void MediaBizServer::onNetworkRestored() {
    callbackMsg(NOTICE_LIVE_NET_RESTORED);
}
