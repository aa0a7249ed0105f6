#include "conference/fenwixbaseserver.h"

#include <json/json.h>

#include <utility>

#include "conference/conferencestatusjson.h"
#include "jsontext/jsontext.h"
#include "logging/log4z.h"
#include "platform/textcodec.h"
#include "service/commonutil.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// Events carrying a JSON text: the text lives on this stack until the handler has returned.
void sendJson(unsigned msg, const Json::Value& value) {
    const std::string text = jsontext::compactJsonLine(value);
    sendToMainWindow(msg, 0, reinterpret_cast<std::intptr_t>(&text));
}

void sendPlain(unsigned msg, std::uintptr_t wParam = 0) {
    sendToMainWindow(msg, wParam, 0);
}

void logUserNames(const UserBean& user) {
    LOGI("当前用户名称=" << user.username << "  getDisplayName=" << user.displayName
                         << "  getGDisplayName=" << user.gDisplayName);
}

}  // namespace

FenwixBaseServer::FenwixBaseServer(CComConfig* config)
    : current_(std::make_unique<UserBean>()), config_(config) {}

FenwixBaseServer::~FenwixBaseServer() {
    // Out-events must not reach a session that is gone.
    if (VidyoServer::sink() == this) {
        VidyoServer::setSink(nullptr);
    }
}

CComConfig& FenwixBaseServer::config() const {
    return config_ != nullptr ? *config_ : *CComConfig::getInstance();
}

bool FenwixBaseServer::initVidyo(const VideoWindow& window) {
    LOGI("业务准备初始化vidyo sdk \n");
    VidyoServer::setSink(this);
    if (!vidyo_.initSdk()) {
        return false;
    }
    return vidyo_.startSdk(window);
}

bool FenwixBaseServer::destroyVidyo() {
    LOGI("业务准备销毁vidyo sdk \n");
    const bool stopped = vidyo_.stopSdk();
    if (stopped) {
        vidyo_.uninitSdk();
    }
    return stopped;
}

// --- queue ---------------------------------------------------------------------------------

void FenwixBaseServer::pushUser(std::unique_ptr<UserBean> record) {
    if (!record) {
        LOGW("pushUser: empty record ignored");
        return;
    }
    record->state = USER_IDLE;
    Lock lock(mutex_);
    pending_.push_back(std::move(record));
    checkPendingUsersLocked();
}

void FenwixBaseServer::checkPendingUsersLocked() {
    // Loops instead of recursing where a failed user is reset and the queue is checked again.
    for (;;) {
        if (pending_.empty()) {
            return;
        }
        LOGI("有待操作用户 数量=: " << pending_.size());
        switch (current_->state) {
            case USER_IDLE: {
                LOGI("当前没有登录人员 \n");
                *current_ = *pending_.front();
                pending_.pop_front();
                LOGI("登录人员: " << current_->username << "身份: " << current_->guest);
                if (current_->guest != 0) {
                    LOGI("执行link操作 \n");
                    startLinkLocked();
                } else {
                    LOGI("执行登录操作 \n");
                    startLoginLocked();
                }
                return;
            }
            case USER_IN_CONFERENCE:
                LOGI("执行退出操作 \n");
                config().setInConference(false);
                startLeaveLocked();
                return;
            case USER_LOGIN_FAILED:
                LOGI("当前用户状态为登录失败，初始化当前用户状态，检测队列 \n");
                current_->state = USER_IDLE;
                continue;
            case USER_LINK_FAILED:
                LOGI("当前用户状态为roomlink失败，检测用户身份 \n");
                if (current_->guest != 0) {
                    LOGI("当前用户状用户身份为游客，初始化当前用户状态，检测队列 \n");
                    current_->state = USER_IDLE;
                    continue;
                }
                LOGI("当前用户状用户身份为用户，执行退出操作 \n");
                config().setInConference(false);
                startLogoutLocked();
                return;
            default:  // logging in, leaving, linking: the outcome event checks again
                LOGI("等待当前操作完成 \n");
                return;
        }
    }
}

void FenwixBaseServer::startLoginLocked() {
    current_->state = USER_LOGGING_IN;
    vidyo_.login(current_->portal, current_->username, current_->password);
}

void FenwixBaseServer::startLinkLocked() {
    current_->state = USER_LINKING;
    vidyo_.linkRoom(current_->portal, current_->roomKey, current_->displayName);
}

bool FenwixBaseServer::startLeaveLocked() {
    config().setConferenceJoined(false);
    current_->state = USER_LEAVING;
    return vidyo_.leaveConference();
}

void FenwixBaseServer::startLogoutLocked() {
    // No room is held (the link failed or never ran): only the log-in session is left to close.
    config().setConferenceJoined(false);
    current_->state = USER_LEAVING;
    LOGI("开始退出用户 \n");
    vidyo_.logout();
}

bool FenwixBaseServer::becomeIdleLocked() {
    current_->state = USER_IDLE;
    if (!pending_.empty()) {
        checkPendingUsersLocked();
        return false;
    }
    LOGI("用户退出完毕 \n");
    return true;
}

void FenwixBaseServer::forceGuestLogin() {
    Lock lock(mutex_);
    LOGI("强制当前用户已游客身份登录");
    pending_.clear();
    logUserNames(*current_);
    current_->state = USER_IDLE;
    current_->guest = 1;
    current_->displayName = current_->gDisplayName;
    pending_.push_back(std::make_unique<UserBean>(*current_));
    checkPendingUsersLocked();
}

int FenwixBaseServer::exitConference() {
    Lock lock(mutex_);
    const std::int32_t state = current_->state;
    if (state == USER_IDLE) {
        return -1;
    }
    config().setInConference(false);
    pending_.clear();
    switch (state) {
        case USER_LOGGING_IN:
        case USER_LINKING:
        case USER_LEAVING:
            // Nothing to send now: a leave is under way already, or there is no room to leave
            // yet. The outcome of the command under way ends the leave (see the outcome
            // handlers), so a late join cannot enter the class after it.
            LOGI("等待当前操作完成后退出 \n");
            config().setConferenceJoined(false);
            current_->state = USER_LEAVING;
            return 1;
        case USER_LINK_FAILED:
            if (current_->guest == 0) {
                startLogoutLocked();
                return 1;
            }
            [[fallthrough]];
        case USER_LOGIN_FAILED:
            // Nothing is held by the library: logged out at once.
            config().setConferenceJoined(false);
            current_->state = USER_IDLE;
            postToMainWindow(WM_CONF_LOGGED_OUT, 0, 0);
            return 1;
        default:
            return startLeaveLocked() ? 1 : 0;
    }
}

bool FenwixBaseServer::isMicrophoneMuted() {
    const bool local = vidyo_.isMicMutedLocally();
    const bool server = vidyo_.isMicMutedByServer();
    LOGI("麦克风 是否本地静默: " << (local ? 1 : 0));
    LOGI("麦克风 是否服务器静默: " << (server ? 1 : 0));
    return local || server;
}

UserBean FenwixBaseServer::currentUser() const {
    Lock lock(mutex_);
    return *current_;
}

std::size_t FenwixBaseServer::pendingCount() const {
    Lock lock(mutex_);
    return pending_.size();
}

std::string FenwixBaseServer::buildConferenceStatusJson(const std::string& fixTargetUri) {
    ConferenceStatusBean status;
    vidyo_.getConferenceStatistics(status);
    CComConfig& cfg = config();
    ConferenceStatusContext context;
    context.d3dWidth = cfg.getD3dWidth();
    context.d3dHeight = cfg.getD3dHeight();
    context.roomKey = currentUser().roomKey;
    context.portal = fenwix::platform::wideToLocal(cfg.getPortal());
    context.route = fenwix::platform::wideToLocal(cfg.getRoute());
    context.deviceKey = fenwix::platform::wideToLocal(cfg.getDeviceKey());
    context.participantId = cfg.getParticipantId();
    context.isGuest = cfg.getIsGuest();
    context.fixTargetUri = fixTargetUri;
    return ::buildConferenceStatusJson(status, context);
}

// --- outcome events ------------------------------------------------------------------------

void FenwixBaseServer::onLoginSuccess() {
    Lock lock(mutex_);
    if (current_->guest != 0) {
        return;  // a log-in abandoned for the guest path
    }
    if (current_->state == USER_LEAVING) {
        // Left while logging in: the new session is closed, no room is entered.
        LOGI("当前用户已退出, 不执行link操作 \n");
        startLogoutLocked();
        return;
    }
    if (current_->state != USER_LOGGING_IN) {
        // No log-in is awaited any more: linking now would enter a room nobody asked for.
        LOGI("当前用户已不在登录中, 不执行link操作 \n");
        return;
    }
    LOGI("执行link操作 \n");
    startLinkLocked();
}

void FenwixBaseServer::onLoginFailed() {
    unsigned outcome = WM_CONF_LOGIN_FAILED;
    {
        Lock lock(mutex_);
        if (current_->state == USER_LEAVING && current_->guest == 0) {
            // Left while logging in and the log-in failed: nothing is left to close.
            if (!becomeIdleLocked()) {
                return;
            }
            outcome = WM_CONF_LOGGED_OUT;
        } else if (current_->state != USER_LOGGING_IN) {
            // The late answer of a log-in that was abandoned for the guest path: the user must
            // not be marked failed nor reported as refused.
            LOGI("当前用户已不在登录中, 忽略登录失败结果 \n");
            return;
        } else {
            current_->state = USER_LOGIN_FAILED;
            LOGI("用户登录失败 \n");
            if (!pending_.empty()) {
                checkPendingUsersLocked();
                return;
            }
        }
    }
    sendPlain(outcome);
}

void FenwixBaseServer::onJoinSuccess() {
    {
        Lock lock(mutex_);
        if (current_->state == USER_LEAVING) {
            // Left while linking: the room just entered is left at once, the class never shown.
            LOGI("当前用户已退出, 离开刚加入的会议 \n");
            vidyo_.leaveConference();
            return;
        }
        current_->state = USER_IN_CONFERENCE;
        if (!pending_.empty()) {
            checkPendingUsersLocked();
            return;
        }
        CComConfig& cfg = config();
        cfg.setInConference(true);
        cfg.setConferenceJoined(true);
        cfg.setIsGuest(current_->guest != 0);
        LOGI("加入会议成功 \n");
        logUserNames(*current_);
    }
    vidyo_.setPreviewMode(false);
    sendPlain(WM_CONF_JOINED);
}

void FenwixBaseServer::onJoinFailed() {
    unsigned outcome = WM_CONF_JOIN_FAILED;
    {
        Lock lock(mutex_);
        LOGI("加入会议失败 \n");
        if (current_->state == USER_LEAVING) {
            // Left while linking and the link failed: only logged out, no guest attempt.
            if (current_->guest == 0) {
                startLogoutLocked();
                return;
            }
            if (!becomeIdleLocked()) {
                return;
            }
            outcome = WM_CONF_LOGGED_OUT;
        } else {
            current_->state = USER_LINK_FAILED;
            if (!pending_.empty()) {
                checkPendingUsersLocked();
                return;
            }
        }
    }
    sendPlain(outcome);
}

void FenwixBaseServer::onLeaveSuccess() {
    {
        Lock lock(mutex_);
        if (current_->guest == 0) {
            LOGI("开始退出用户 \n");
            vidyo_.logout();
            return;
        }
        current_->state = USER_IDLE;
        if (!pending_.empty()) {
            checkPendingUsersLocked();
            return;
        }
        LOGI("用户退出会议室完毕 \n");
    }
    sendPlain(WM_CONF_LOGGED_OUT);
}

void FenwixBaseServer::onLogoutSuccess() {
    bool pending = false;
    {
        Lock lock(mutex_);
        current_->state = USER_IDLE;
        pending = !pending_.empty();
        if (!pending) {
            LOGI("用户退出完毕 \n");
        }
    }
    if (!pending) {
        sendPlain(WM_CONF_LOGGED_OUT);
        return;
    }
    sendPlain(WM_CONF_LOGGED_OUT_QUEUED);
    Lock lock(mutex_);
    checkPendingUsersLocked();
}

// --- conference events ---------------------------------------------------------------------

void FenwixBaseServer::onChatMessage(const std::string& address, const std::string& message,
                                     const std::string& displayName, int type) {
    LOGI("收到sdk聊天消息 来自: " << type);
    LOGI("uri " << address << "msg " << message << "name "
                << fenwix::platform::utf8ToLocal(displayName));
    const auto window = mainWindow();
    if (!window || window->isClosed()) {
        return;
    }
    Json::Value chat(Json::objectValue);
    chat["uri"] = address;
    chat["msg"] = message;
    chat["displayName"] = displayName;
    chat["type"] = type;
    sendJson(WM_CONF_CHAT, chat);
}

void FenwixBaseServer::onDeviceMuteState(int device, bool muted, int origin, int error) {
    LOGI("会议设备静默状态 设备类型: " << device << " 是否静默: " << (muted ? 1 : 0)
                                       << " 命令来源: " << origin << " 错误码: " << error);
    Json::Value state(Json::objectValue);
    state["device"] = device;
    state["from"] = origin;
    state["error"] = error;
    state["mute"] = muted;
    sendJson(WM_CONF_DEVICE_MUTE, state);
}

void FenwixBaseServer::onScreenFixFailed() {
    LOGI("固屏固屏失败");
    Json::Value result(Json::objectValue);
    result["success"] = false;
    sendJson(WM_CONF_FIX_RESULT, result);
}

void FenwixBaseServer::onScreenFixSuccess(int videoMode) {
    LOGI("固屏固屏成功");
    Json::Value result(Json::objectValue);
    result["success"] = true;
    result["mode"] = videoMode;
    sendJson(WM_CONF_FIX_RESULT, result);
}

void FenwixBaseServer::onSourceRemoved(const std::string& address) {
    LOGI("远程资源从会议中移出: " << address);
    Json::Value removed(Json::objectValue);
    removed["uri"] = address;
    sendJson(WM_CONF_SOURCE_REMOVED, removed);
}

void FenwixBaseServer::onCallStateChanged(int callState) {
    LOGI("会议（call）状态改变: " << callState);
    if (config().getInConference() && callState == 0) {
        LOGI("异常退出，需要重连");
        sendPlain(WM_CALL_DROPPED);
    }
}

void FenwixBaseServer::onConferenceNotice() {
    sendPlain(WM_NOTICE, NOTICE_CONF_TOOLBAR);
}

void FenwixBaseServer::onParticipantsChanged() {}
void FenwixBaseServer::onReserved() {}
void FenwixBaseServer::onRawAudioFrame(const void* /*frame*/) {}
void FenwixBaseServer::onRawVideoFrame(const void* /*frame*/) {}
