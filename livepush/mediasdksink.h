// What the media adapter reports from the live-streaming library's capture events. Called on the
// library's callback thread; implementations reach the UI thread only through posted events.
#pragma once

class MediaSdkSink {
public:
    virtual ~MediaSdkSink() = default;

    virtual void onCameraOpened() = 0;
    virtual void onMicrophoneOpened() = 0;
    virtual void onCameraOpenFailed() = 0;
    virtual void onMicrophoneOpenFailed() = 0;
    virtual void onPushStopped() = 0;
    virtual void onNetworkError() = 0;
    virtual void onNetworkRestored() = 0;
};
