// Public C++ ABI of the live-streaming library (libKelvraMedia.so).
//
// The library captures a camera and a microphone, draws a preview into a native window and
// pushes the stream (H.264 + AAC in FLV) to an RTMP address. Callers import the functions of
// namespace KelvraMediaSdk by name and drive one ILiveCapture object through its virtual table.
//
// Binding for any caller: the function names and signatures, the layout of CaptureDeviceInfo
// (checked below) and the slot number of every ILiveCapture operation (the comment before each
// operation gives it; reserved slots keep the later ones in place and must never be removed).
// Neither interface has a virtual destructor, so no slot is taken by one: ILiveCapture is
// ended through slot 0, ICaptureCallback belongs to the caller.
//
// Threads: every operation may be called from any one thread of the caller (the library
// serialises them). Capture events reach ICaptureCallback::OnCaptureEvent on the library's own
// callback thread, one at a time and in order; a callback may call back into the library.
//
// Texts are UTF-8 and NUL-terminated. Nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#if defined(KELVRAMEDIA_BUILDING)
#define KELVRAMEDIA_API __declspec(dllexport)
#else
#define KELVRAMEDIA_API __declspec(dllimport)
#endif
#else
#define KELVRAMEDIA_API __attribute__((visibility("default")))
#endif

namespace KelvraMediaSdk {

constexpr std::size_t kDeviceTextSize = 512;

// Flag bits of CaptureDeviceInfo::flags.
enum DeviceFlag : std::uint8_t {
    kDeviceIsDefault = 0x01,  // the sound server's default recording device
    kDeviceIsVirtual = 0x02,  // a test source of the library, not a physical device
};

// One capture device as the library lists it. Texts are zero-padded to their field width.
struct CaptureDeviceInfo {
    // What the library opens: a video device node ("/dev/video0"), the sound server's source
    // name, or "virtual:camera" for the virtual test camera.
    char deviceId[kDeviceTextSize];
    // The friendly name, the same text other device lists of this system show for the device.
    char deviceName[kDeviceTextSize];
    std::uint8_t flags;  // DeviceFlag bits
};
static_assert(sizeof(CaptureDeviceInfo) == 1025, "CaptureDeviceInfo is 1025 bytes");
static_assert(offsetof(CaptureDeviceInfo, deviceId) == 0, "deviceId at 0");
static_assert(offsetof(CaptureDeviceInfo, deviceName) == 512, "deviceName at 512");
static_assert(offsetof(CaptureDeviceInfo, flags) == 1024, "flags at 1024");

// Capture event codes (OnCaptureEvent's first argument).
enum CaptureEvent : int {
    kEventPreviewStarted = 1001,
    kEventPreviewStopped = 1002,
    kEventPushStarted = 1003,
    kEventPushStopped = 1004,
    kEventCameraListChanged = 1005,
    kEventMicrophoneListChanged = 1006,
    kEventCameraOpened = 1007,      // the camera delivered its first picture
    kEventMicrophoneOpened = 1008,  // the microphone delivered its first sound
    kEventMicrophoneMuted = 1016,   // muted in the sound server
    kEventMicrophoneUnmuted = 1017,
    kEventNetworkLost = 2001,      // the push connection was lost; the library reconnects
    kEventNetworkRestored = 2002,  // the push goes on over a new connection
    kEventCameraOpenFailed = 2011,
    kEventMicrophoneOpenFailed = 2012,
};

// Results of ILiveCapture::startPush (slot 16).
enum StartPushResult : int {
    kPushStarting = 0,  // the push is being set up; 1003 follows once it runs
    kPushAlreadyRunning = 1,
    kPushNoUrl = -1,  // no RTMP address was set, or it is not a usable rtmp:// address
    kPushNotInitialised = -2,
    kPushFailed = -3,  // the media pipeline could not be built
};

// Implemented by the caller. The only virtual operation.
class ICaptureCallback {
public:
    // event: a CaptureEvent; value: a detail of the event (0 when it has none, the number of
    // the reconnect attempt for 2001/2002, the new list size for 1005/1006); detail: a short
    // text for the log (never null, valid during the call); context: what was given to slot 18.
    virtual void OnCaptureEvent(int event, int value, const char* detail, void* context) = 0;

protected:
    ~ICaptureCallback() = default;
};

// Native handle of the window the preview is drawn into (an X11 window id here).
using WindowHandle = std::uintptr_t;

// The capture object. Made by CreateLiveCapture, ended by release (slot 0).
class ILiveCapture {
public:
    // slot 0: stops preview and push (1002/1004 are not delivered) and ends the object.
    virtual void release() = 0;
    // slot 1: the microphone to capture; the record is copied. Takes effect at the next push.
    virtual void setMicrophone(const CaptureDeviceInfo* device) = 0;
    // slot 2
    virtual void reserved2() = 0;
    // slot 3: picture size and frame rate of the pushed stream.
    virtual void setPushVideoFormat(int width, int height, int fps) = 0;
    // slot 4: video bitrate of the push in bit/s.
    virtual void setVideoBitrate(int bitsPerSecond) = 0;
    // slot 5
    virtual void reserved5() = 0;
    // slot 6: the window the preview is drawn into and the area of it; returns 1 when the
    // window was taken, 0 when it is unusable (no display, unknown window, empty area).
    virtual std::uint8_t setPreviewWindow(WindowHandle window, int x, int y, int width,
                                          int height) = 0;
    // slots 7 to 13
    virtual void reserved7() = 0;
    virtual void reserved8() = 0;
    virtual void reserved9() = 0;
    virtual void reserved10() = 0;
    virtual void reserved11() = 0;
    virtual void reserved12() = 0;
    virtual void reserved13() = 0;
    // slot 14: opens the camera and draws it into the preview window (1001, then 1007 or 2011);
    // without a usable window the camera opens all the same and nothing is drawn.
    virtual void startPreview() = 0;
    // slot 15: stops drawing (1002); the camera stays open while a push runs.
    virtual void stopPreview() = 0;
    // slot 16: starts pushing camera and microphone to the address of slot 22 (a StartPushResult).
    // 1003 follows once the receiver takes the stream; 1007/1008 or 2011/2012 tell the devices.
    virtual int startPush() = 0;
    // slot 17: stops the push (1004 when one was running).
    virtual void stopPush() = 0;
    // slot 18: where capture events go, and the context handed back with each.
    virtual void setCallback(ICaptureCallback* callback, void* context) = 0;
    // slots 19 to 21
    virtual void reserved19() = 0;
    virtual void reserved20() = 0;
    virtual void reserved21() = 0;
    // slot 22: the RTMP address to push to ("rtmp://host[:port]/app/stream").
    virtual void setPushUrl(const char* url) = 0;
    // slot 23
    virtual void reserved23() = 0;
    // slot 24: the next push goes to the RTMP address (the only output of this library).
    virtual void enablePushOutput() = 0;
    // slots 25 and 26
    virtual void reserved25() = 0;
    virtual void reserved26() = 0;
    // slot 27: a local recording of the push into fileName; enabled 0 records nothing.
    // Local recording is not offered: a nonzero enabled is logged and ignored.
    virtual void setLocalRecord(const char* fileName, int enabled) = 0;
    // slots 28 to 33
    virtual void reserved28() = 0;
    virtual void reserved29() = 0;
    virtual void reserved30() = 0;
    virtual void reserved31() = 0;
    virtual void reserved32() = 0;
    virtual void reserved33() = 0;
    // slot 34: the camera to capture; the record is copied. Takes effect at the next preview
    // or push start.
    virtual void setCamera(const CaptureDeviceInfo* device) = 0;
    // slot 35: the format the camera is opened with (and the preview drawn at).
    virtual void setCaptureFormat(int width, int height, int fps) = 0;

protected:
    ~ILiveCapture() = default;
};

// Library set-up; returns 1. Must precede the other functions; again after UnInitMediaSdk.
KELVRAMEDIA_API int InitMediaSdk();
// The folder the library writes its log (KelvraMedia.log) into; either slash may be used.
KELVRAMEDIA_API void SetMediaSdkLogPath(const char* folder);
// A new capture object, or null before InitMediaSdk.
KELVRAMEDIA_API ILiveCapture* CreateLiveCapture();
// The device lists are read afresh by each count call; the Get calls read the list as last
// counted. Get returns 1 and fills the record, or 0 (record zero-filled) for an index out of range
// or a null record.
KELVRAMEDIA_API int GetCameraDeviceCount();
KELVRAMEDIA_API int GetCameraDevice(int index, CaptureDeviceInfo* info);
KELVRAMEDIA_API int GetMicrophoneCount();
KELVRAMEDIA_API int GetMicrophone(int index, CaptureDeviceInfo* info);
// Ends the library's set-up. Release the capture objects first: one still alive keeps running
// until its release.
KELVRAMEDIA_API void UnInitMediaSdk();

}  // namespace KelvraMediaSdk
