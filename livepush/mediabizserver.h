// The terminal's live-push session: asks the business service for a push address before pushing
// and tells it when the push has ended, and reports the media library's camera, microphone and
// network states to the main window as numbered notices.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "livepush/mediasdkserver.h"
#include "livepush/mediasdksink.h"

class TerminalUi;

namespace Json {
class Value;
}  // namespace Json

class MediaBizServer : public MediaSdkSink {
public:
    // Local reply types of the two business requests.
    static constexpr int kReplyStart = 11;
    static constexpr int kReplyStop = 12;

    MediaBizServer() = default;
    ~MediaBizServer() override = default;
    MediaBizServer(const MediaBizServer&) = delete;
    MediaBizServer& operator=(const MediaBizServer&) = delete;

    // ui: where tip windows are closed before a notice is posted (may be null). The notices go
    // to the published main window.
    void init(TerminalUi* ui, const std::string& logPath);
    std::vector<MediaSdkServer::DeviceInfo> getCameraList();
    std::vector<MediaSdkServer::DeviceInfo> getMicrophoneList();
    bool setLiveCamera(int index);
    bool setLiveMicrophone(int index);
    void setPreviewPos(std::uintptr_t window, int width, int height);
    // Sends the start request; true when the request itself got an answer.
    bool startLive();
    void stopPreview();
    void stopPush();
    void release();

    // The reply of a business request that got an answer; the result tells whether it was a
    // success (type 11: a push was started).
    bool httpBack(const std::string& reply, int type);
    void httpFail(int type);

    bool initialized() const { return m_initialized.load(); }
    bool pushing() const { return m_pushing.load(); }
    int liveId() const { return m_liveId.load(); }

    // MediaSdkSink, on the media library's thread.
    void onCameraOpened() override;
    void onMicrophoneOpened() override;
    void onCameraOpenFailed() override;
    void onMicrophoneOpenFailed() override;
    void onPushStopped() override;
    void onNetworkError() override;
    void onNetworkRestored() override;

protected:
    // The synchronous POST of one business request; virtual so that unit tests need no server.
    virtual bool postForm(const std::string& url, const std::string& form, std::string& reply);

private:
    bool sendRequest(const char* path, const char* logHead, const std::string& form, int type);
    bool onStartReply(const Json::Value& payload);
    void callbackMsg(unsigned code);

    MediaSdkServer m_sdk;
    std::string m_logPath;
    std::atomic<bool> m_initialized{false};
    // Written on the UI thread (start reply) and the library's thread (push ended).
    std::atomic<bool> m_pushing{false};
    std::atomic<int> m_liveId{-1};
    std::atomic<TerminalUi*> m_ui{nullptr};
};
