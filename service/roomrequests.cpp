// Room requests and the teacher's in-conference commands: the plan room of this classroom, the
// curtain command carried by chat messages, fixing the screen on the chat sender, restoring the
// microphone volume on joining and the server microphone option.
#include <json/json.h>

#include <cstdint>
#include <string>
#include <utility>

#include "jsontext/jsontext.h"
#include "logging/log4z.h"
#include "platform/debugtrace.h"
#include "service/commonutil.h"
#include "service/fenwixstudentserver.h"
#include "service/formdata.h"
#include "service/httpclient.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "service/roomuser.h"

namespace {

// The curtain state a chat message asks for; kNoCommand when its text is none.
constexpr int kNoCommand = -1;

int curtainCommand(const Json::Value& envelope) {
    const std::string text = roomuser::textOf(envelope, "msg");
    Json::Value msg;
    if (!jsontext::parseJson(text, msg)) {
        return kNoCommand;
    }
    int status = kNoCommand;
    if (jsontext::readInt(msg, "status", status) != jsontext::Field::Ok) {
        return kNoCommand;
    }
    return status;
}

}  // namespace

void FenwixStudentServer::requestPlanRoom() {
    if (m_bClassesBlocked) {
        LOGW("安全模式，不进入课堂");
        return;
    }
    const CComConfig& config = *CComConfig::getInstance();
    const std::string url = config.getApiBaseUrl() + ServicePath::kEnterRoom;
    const std::string form = FormData().add("deviceKey", config.getDeviceKey()).formText();
    LOGI("请求计划会议室 uri: " << url << "   data: " << form << "  type:" << REQUEST_PLAN_ROOM);
    CHttpClient().postAsync(url, form, onRequestDone, REQUEST_PLAN_ROOM);
}

void FenwixStudentServer::onPlanRoomReply(const Json::Value& payload) {
    bool valid = false;
    if (jsontext::readBool(payload, "valid", valid) != jsontext::Field::Ok) {
        LOGW("计划会议室返回缺少valid");
    }
    const Json::Value* data = jsontext::member(payload, "data");
    const Json::Value& roomData = data != nullptr ? *data : Json::Value::nullSingleton();
    if (!valid) {
        // The handler shows the text while this worker waits, then the text goes away.
        const std::string error = roomuser::textOf(roomData, "errorstring");
        sendToMainWindow(WM_NOTICE, NOTICE_ROOM_UNAVAILABLE,
                         reinterpret_cast<std::intptr_t>(&error));
        return;
    }
    sendToMainWindow(WM_NOTICE, NOTICE_LOGIN_BEGINS, 0);
    queueUser(roomuser::adoptRoomData(roomData));
}

void FenwixStudentServer::onChatMessage(const std::string& envelopeText) {
    Json::Value envelope;
    if (!jsontext::parseJson(envelopeText, envelope) || !envelope.isObject()) {
        return;
    }
    setChatSenderUri(roomuser::textOf(envelope, "uri"));
    CComConfig& config = *CComConfig::getInstance();
    if (config.getConferenceJoined()) {
        startScreenFix();
    }

    const int status = curtainCommand(envelope);
    const int screenFixed = config.getScreenFixed() ? 1 : 0;
    LOGI("当前幕布状态=" << screenFixed << "  消息命令=" << status);
    if (status != 0 && status != 1) {
        return;
    }
    if (status != screenFixed) {
        LOGI("发送幕布变化msg");
        sendToMainWindow(WM_NOTICE, NOTICE_CURTAIN, status);
    }
    reportAppStatus();
    fenwix::platform::debugTrace("parse chat msg\n");
}

void FenwixStudentServer::startScreenFix() {
    if (!m_bScreenFixNeeded || m_strChatSenderUri.empty()) {
        return;
    }
    LOGI("开始固屏");
    pinChatSender(m_strChatSenderUri);
    m_bScreenFixNeeded = false;
}

void FenwixStudentServer::onRemoteSourceRemoved(const std::string& uri) {
    // Without a chat sender nothing is fixed, so no removed source can be the fixed one.
    if (m_strChatSenderUri.empty() || uri != m_strChatSenderUri ||
        !CComConfig::getInstance()->getInConference()) {
        return;
    }
    m_bScreenFixNeeded = true;
    sendToMainWindow(WM_CONF_FIXED_SOURCE_LOST, 0, 0);
}

void FenwixStudentServer::restoreMicVolume() {
    CComConfig& config = *CComConfig::getInstance();
    LOGI("当前麦客风音量 = " << queryMicVolume());
    const int previous = config.getPrevMicVolume();
    LOGI("前次麦客风音量 = " << previous);
    const int volume = previous > config.getMaxMicVolume() ? config.getDefMicVolume() : previous;
    applyMicVolume(volume);
    config.setMicVolume(volume);
}

void FenwixStudentServer::sendMicOption(int audioStatus) {
    CComConfig& config = *CComConfig::getInstance();
    const std::string participantId = queryParticipantId();
    config.setParticipantId(participantId);
    const std::string url = config.getApiBaseUrl() + ServicePath::kOptionAudio;
    const std::string form = FormData()
                                 .add("conferenceId", config.getRoomId())
                                 .add("participantId", participantId)
                                 .add("audioStatus", audioStatus)
                                 .add("deviceKey", config.getDeviceKey())
                                 .formText();
    LOGI("服务器设置麦克风 uri: " << url << "   data: " << form << "  type:" << REQUEST_MIC_OPTION);
    CHttpClient().postAsync(url, form, onRequestDone, REQUEST_MIC_OPTION);
}

// The conference session behind the hooks.

void FenwixStudentServer::pinChatSender(const std::string& uri) {
    pinParticipant(uri, true);
}

std::string FenwixStudentServer::queryParticipantId() {
    return getParticipantId();
}
