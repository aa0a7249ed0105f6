// The backend client's reports: the unified status report, the small event reports, the
// conference state report and the exit report, and the handling of the report replies.
#include <json/writer.h>

#include <cstdint>
#include <memory>
#include <sstream>

#include "jsontext/jsontext.h"
#include "logging/log4z.h"
#include "service/commonutil.h"
#include "service/fenwixstudentserver.h"
#include "service/formdata.h"
#include "service/httpclient.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"

namespace {

const char* videoStatusText(bool screenFixed) {
    return screenFixed ? "fixed" : "fixScreened";
}

std::string dynamicInfoForm(const std::string& text) {
    return FormData()
        .add("deviceKey", CComConfig::getInstance()->getDeviceKey())
        .add("str", text)
        .add("temp", "")
        .formText();
}

std::string dynamicInfoUrl() {
    return CComConfig::getInstance()->getApiBaseUrl() + ServicePath::kReportConferenceInfo;
}

Json::Value cameraEvent(bool muted, int from) {
    Json::Value event(Json::objectValue);
    event["type"] = 0;
    event["status"] = !muted;
    event["from"] = from;
    return event;
}

}  // namespace

std::string FenwixStudentServer::eventText(const Json::Value& event) {
    Json::Value array(Json::arrayValue);
    array.append(event);
    return jsontext::compactJsonLine(array);
}

void FenwixStudentServer::sendUnifiedReport() {
    CComConfig& config = *CComConfig::getInstance();
    const std::uint32_t timeStamp = CComConfig::currentTimeMs32();
    const std::string url = config.getApiBaseUrl() + ServicePath::kReportMsg;
    const std::string form = FormData()
                                 .add("appKey", config.getAppKey())
                                 .add("deviceKey", config.getDeviceKey())
                                 .add("appStatus", config.getAppStatus())
                                 .add("videoStatus", videoStatusText(config.getScreenFixed()))
                                 .add("micVolumn", config.getMicVolume())
                                 .add("speakerVolumn", config.getSpeakerVolume())
                                 .add("speakerIsOpen", config.getSpeakerMuted() ? 0 : 1)
                                 .add("micIsOpen", config.getMicMuted() ? 0 : 1)
                                 .add("cameraIsOpen", config.getCameraMuted() ? 0 : 1)
                                 .add("localTimeStamp", timeStamp)
                                 .add("roomId", config.getRoomId())
                                 .add("route", config.getRoute())
                                 .add("isGuest", config.getIsGuest() ? 1 : 0)
                                 .add("masterPushAddr", "")
                                 .add("masterIsOpen", 1)
                                 .add("slavePushAddr", "")
                                 .add("slaveIsOpen", 1)
                                 .formText();
    LOGI("统一信息上报 uri: " << url << "   data: " << form << "  type:" << REQUEST_UNIFIED_REPORT);
    CHttpClient().postAsync(url, form, onRequestDone, REQUEST_UNIFIED_REPORT);

    if (config.getChangeMuteMicFromServer() && config.getAppStatus() == 3) {
        LOGI("  getAppStatus=" << config.getAppStatus() << "getChangeMuteMicFromServer="
                               << (config.getChangeMuteMicFromServer() ? 1 : 0));
        sendMicOption(1);
    }
}

void FenwixStudentServer::onReportReply(const Json::Value& payload) {
    bool wanted = false;
    const jsontext::Field found = jsontext::readBool(payload, "conferenceLogs", wanted);
    if (found == jsontext::Field::WrongType) {
        const Json::Value* value = jsontext::member(payload, "conferenceLogs");
        LOGW("上报返回 conferenceLogs 类型错误(" << jsontext::typeName(*value) << ")，已忽略");
    }
    if (found != jsontext::Field::Ok) {
        return;
    }
    CComConfig& config = *CComConfig::getInstance();
    LOGI("会议状态日志上报:" << (wanted ? 1 : 0) << " AppStatus = " << config.getAppStatus());
    if (!wanted) {
        config.setConfLogsEnabled(false);
        return;
    }
    if (!config.getConfLogsEnabled() && config.getAppStatus() == 3) {
        LOGI("开始会议状态日志上报");
        config.setConfLogsEnabled(true);
        sendToMainWindow(WM_NOTICE, NOTICE_CONF_LOGS_ON, 0);
    }
}

void FenwixStudentServer::reportDynamicInfo(const std::string& text) {
    const std::string url = dynamicInfoUrl();
    const std::string form = dynamicInfoForm(text);
    LOGI("动态信息上报 uri: " << url << "   data: " << form << "  type:" << REQUEST_DYNAMIC_INFO);
    CHttpClient().postAsync(url, form, onRequestDone, REQUEST_DYNAMIC_INFO);
}

void FenwixStudentServer::reportDynamicInfoSync(const std::string& text) {
    const std::string url = dynamicInfoUrl();
    const std::string form = dynamicInfoForm(text);
    LOGI("动态信息上报 uri: " << url << "   data: " << form);
    std::string reply;
    CHttpClient().post(url, form, reply);
}

void FenwixStudentServer::reportAppStatus() {
    const CComConfig& config = *CComConfig::getInstance();
    Json::Value event(Json::objectValue);
    event["type"] = 5;
    event["from"] = 0;
    event["appStatus"] = config.getAppStatus();
    event["videoStatus"] = videoStatusText(config.getScreenFixed());
    reportDynamicInfo(eventText(event));
}

void FenwixStudentServer::reportCameraState() {
    CComConfig& config = *CComConfig::getInstance();
    const bool mutedLocally = queryCameraMutedLocally();
    config.setCameraMuted(mutedLocally);
    reportDynamicInfo(eventText(cameraEvent(mutedLocally, 0)));
    const bool mutedByServer = queryCameraMutedByServer();
    config.setCameraMuted(mutedByServer);
    reportDynamicInfo(eventText(cameraEvent(mutedByServer, 1)));
}

void FenwixStudentServer::reportConferenceState() {
    const std::string logs = queryConferenceStatusJson();
    CComConfig& config = *CComConfig::getInstance();
    const std::string url = config.getApiBaseUrl() + ServicePath::kReportLogsInfo;
    const std::string form = FormData()
                                 .add("deviceKey", config.getDeviceKey())
                                 .add("logs", logs)
                                 .add("temp", "")
                                 .formText();
    LOGI("会议状态上报 uri: " << url << "   data: " << form
                              << "  type:" << REQUEST_CONFERENCE_STATE);
    CHttpClient().postAsync(url, form, onRequestDone, REQUEST_CONFERENCE_STATE);
}

void FenwixStudentServer::reportExit() {
    CComConfig& config = *CComConfig::getInstance();
    const std::string url = config.getApiBaseUrl() + ServicePath::kDestroy;
    const std::string form = FormData().add("deviceKey", config.getDeviceKey()).formText();
    LOGI("程序退出上报 uri: " << url << "   data: " << form << "  type:" << 5);
    std::string reply;
    CHttpClient().post(url, form, reply);
}
