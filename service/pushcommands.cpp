// The backend's push commands, carried out on the UI thread: log in to a class room, log out,
// change the microphone or speaker volume, check for an update.
#include <json/json.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "jsontext/jsontext.h"
#include "logging/log4z.h"
#include "service/commonutil.h"
#include "service/fenwixstudentserver.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "service/roomuser.h"
#include "service/terminalui.h"

namespace {

// Report types of the volume command's dynamic-information event.
constexpr int kMicVolumeEvent = 3;
constexpr int kSpeakerVolumeEvent = 4;
// The conference library's volume scale.
constexpr int kMaxConferenceVolume = 65535;

void sendNotice(unsigned code) {
    sendToMainWindow(WM_NOTICE, code, 0);
}

// A volume outside the library's scale is held at its ends rather than handed on.
int conferenceVolume(int value) {
    const int held = std::clamp(value, 0, kMaxConferenceVolume);
    if (held != value) {
        LOGW("zorbel 音量超出范围: " << value << " -> " << held);
    }
    return held;
}

}  // namespace

void FenwixStudentServer::onPushMessage(const Json::Value& message) {
    if (m_pTerminalUi != nullptr) {
        m_pTerminalUi->closeTipWindows();
    }
    LOGI("ZORBEL GETDATA: " << jsontext::compactJson(message));

    const std::string type = roomuser::textOf(message, "type");
    const Json::Value& data = message.isObject() ? message["data"] : Json::Value::nullSingleton();
    if (type == "vLogin") {
        onPushedLogin(data);
    } else if (type == "vLogout") {
        LOGI("zorbel 退出登录");
        leaveConference();
    } else if (type == "desktopRoomCmd") {
        onPushedVolume(data);
    } else if (type == "vUpdate") {
        if (CComConfig::getInstance()->getAppStatus() == 1) {
            checkUpdate();
        }
    } else {
        LOGI("zorbel 无效命令");
    }
}

void FenwixStudentServer::onPushedLogin(const Json::Value& data) {
    if (m_bClassesBlocked) {
        LOGW("安全模式，不进入课堂");
        return;
    }
    CComConfig& config = *CComConfig::getInstance();
    if (!config.getLoginIdle()) {
        LOGI("正在登录，Zorbel登录不处理");
        return;
    }
    sendNotice(NOTICE_UPDATE_STOPPED);
    sendNotice(NOTICE_LOGIN_BEGINS);
    LOGI("zorbel 推送登录");
    config.setPushedLogin(true);

    const int micVolume = queryMicVolume();
    config.setMicVolume(micVolume);
    config.setPrevMicVolume(micVolume);

    setChatSenderUri(std::string());
    config.setScreenFixed(false);
    reportAppStatus();
    m_bScreenFixNeeded = true;

    std::unique_ptr<UserBean> record = roomuser::adoptRoomData(data);
    sendNotice(NOTICE_ENTERING_CLASS);
    queueUser(std::move(record));
}

void FenwixStudentServer::onPushedVolume(const Json::Value& data) {
    LOGI("zorbel 控制命令");
    CComConfig& config = *CComConfig::getInstance();
    const std::string volume = roomuser::textOf(data, "volumn");
    const std::string command = roomuser::textOf(data, "fenwixcmd");

    int eventType = kMicVolumeEvent;
    if (command == "micVolumnChange") {
        LOGI("zorbel 设置麦克风音量: " << volume);
        const int value = conferenceVolume(roomuser::decimalValue(volume));
        applyMicVolume(value);
        config.setMicVolume(value);
    } else if (command == "speakerVolumnChange") {
        LOGI("zorbel 设置扬声器音量: " << volume);
        const int value = conferenceVolume(roomuser::decimalValue(volume));
        applySpeakerVolume(value);
        config.setSpeakerVolume(value);
        eventType = kSpeakerVolumeEvent;
    }

    Json::Value event(Json::objectValue);
    event["type"] = eventType;
    event["size"] = volume;
    event["from"] = 1;
    reportDynamicInfo(eventText(event));
}

// The conference session behind the hooks.

int FenwixStudentServer::queryMicVolume() {
    return getMicVolume();
}

void FenwixStudentServer::applyMicVolume(int volume) {
    setMicVolume(volume);
}

void FenwixStudentServer::applySpeakerVolume(int volume) {
    setSpeakerVolume(volume);
}

void FenwixStudentServer::queueUser(std::unique_ptr<UserBean> record) {
    pushUser(std::move(record));
}

void FenwixStudentServer::leaveConference() {
    exitConference();
}
