/* Public C ABI of the conference client library (libVidyoClient.so).
 *
 * The library is driven through six functions. A request (VidyoClientSendRequest) reads or writes
 * a value synchronously through a record the caller owns; an in-event (VidyoClientSendEvent) is a
 * command whose answer, if any, arrives later as an out-event on the library's own callback
 * thread. Codes, record sizes and byte offsets below are binding: callers may build records as
 * raw byte buffers or through the structs. Every record is zero-filled before use and every text
 * is NUL-terminated and zero-padded to its field width. Texts the library delivers are UTF-8.
 *
 * Pointer fields are pointer-sized; their records are 32-bit words on 32-bit builds. */
#ifndef FENWIX_SDK_VIDYOCLIENT_H
#define FENWIX_SDK_VIDYOCLIENT_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(VIDYOCLIENT_BUILDING)
#define VIDYOCLIENT_API __declspec(dllexport)
#else
#define VIDYOCLIENT_API __declspec(dllimport)
#endif
#else
#define VIDYOCLIENT_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define VIDYOCLIENT_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#define VIDYOCLIENT_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* ---- results ------------------------------------------------------------------------------ */

enum {
    VIDYO_CLIENT_FAILED = 0,
    VIDYO_CLIENT_OK = 1 /* every function that succeeds returns exactly 1 */
};

typedef int VidyoClientBool; /* 0 false, nonzero true */

/* Native handle of the window the library draws the conference into (an X11 window id here). */
typedef uintptr_t VidyoClientWindowHandle;

/* Out-event callback: event code, the event's record (owned by the library, valid only during
 * the call), its size in bytes, and the user data given to VidyoClientInitialize. Runs on the
 * library's callback thread, one event at a time, in order. */
typedef void (*VidyoClientOutEventCallback)(unsigned int event, void* param, unsigned int paramSize,
                                            void* data);

/* ---- request codes (VidyoClientSendRequest) ------------------------------------------------ */

enum {
    VIDYO_CLIENT_REQUEST_GET_CONFIGURATION = 100100,         /* VidyoClientConfiguration */
    VIDYO_CLIENT_REQUEST_SET_CONFIGURATION = 100101,         /* VidyoClientConfiguration */
    VIDYO_CLIENT_REQUEST_GET_ENDPOINT_ID = 100200,           /* VidyoClientEndpointId */
    VIDYO_CLIENT_REQUEST_GET_VOLUME_AUDIO_IN = 100300,       /* VidyoClientVolume */
    VIDYO_CLIENT_REQUEST_SET_VOLUME_AUDIO_IN = 100301,       /* VidyoClientVolume */
    VIDYO_CLIENT_REQUEST_GET_VOLUME_AUDIO_OUT = 100302,      /* VidyoClientVolume */
    VIDYO_CLIENT_REQUEST_SET_VOLUME_AUDIO_OUT = 100303,      /* VidyoClientVolume */
    VIDYO_CLIENT_REQUEST_GET_MUTED_AUDIO_IN = 101000,        /* VidyoClientMuteState: local */
    VIDYO_CLIENT_REQUEST_GET_MUTED_AUDIO_OUT = 101001,       /* VidyoClientMuteState: local */
    VIDYO_CLIENT_REQUEST_GET_MUTED_VIDEO = 101002,           /* VidyoClientMuteState: local */
    VIDYO_CLIENT_REQUEST_GET_MUTED_SERVER_AUDIO_IN = 101003, /* VidyoClientMuteState */
    VIDYO_CLIENT_REQUEST_GET_MUTED_SERVER_VIDEO = 101004,    /* VidyoClientMuteState */
    VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_INFO = 101500,      /* VidyoClientOwnParticipant */
    VIDYO_CLIENT_REQUEST_GET_ROUTER_NAME = 101505,           /* VidyoClientRouterName */
    VIDYO_CLIENT_REQUEST_GET_BANDWIDTH_INFO = 101602,        /* VidyoClientBandwidthInfo */
    VIDYO_CLIENT_REQUEST_GET_LOCAL_VIDEO_INFO = 101603,      /* VidyoClientLocalVideoInfo */
    VIDYO_CLIENT_REQUEST_GET_FRAME_RATE_INFO = 101604,       /* VidyoClientFrameRateInfo */
    VIDYO_CLIENT_REQUEST_GET_CPU_USAGE = 101607,             /* VidyoClientCpuUsage */
    VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_LIST = 101613,      /* VidyoClientParticipantList */
    VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_DETAIL = 101614     /* VidyoClientParticipantDetail */
};

/* ---- in-event codes (VidyoClientSendEvent) ------------------------------------------------- */

enum {
    VIDYO_CLIENT_IN_EVENT_LEAVE = 201,            /* no record; answered by 1201 */
    VIDYO_CLIENT_IN_EVENT_PREVIEW = 400,          /* VidyoClientPreview */
    VIDYO_CLIENT_IN_EVENT_MUTE_AUDIO_IN = 500,    /* VidyoClientMuteFlag */
    VIDYO_CLIENT_IN_EVENT_MUTE_AUDIO_OUT = 501,   /* VidyoClientMuteFlag */
    VIDYO_CLIENT_IN_EVENT_MUTE_VIDEO = 502,       /* VidyoClientMuteFlag */
    VIDYO_CLIENT_IN_EVENT_LAYOUT = 900,           /* VidyoClientLayout */
    VIDYO_CLIENT_IN_EVENT_PIN_PARTICIPANT = 1401, /* VidyoClientPinParticipant; answered by 2102 */
    VIDYO_CLIENT_IN_EVENT_LOGIN = 1600, /* VidyoClientLogin; answered by 2300, 2303/2304 */
    VIDYO_CLIENT_IN_EVENT_SIGNOFF_CONFIRM = 1602, /* no record; sent when out-event 300 carries 0 */
    VIDYO_CLIENT_IN_EVENT_SIGNOFF = 1603,         /* no record; answered by 2304 with error 0 */
    VIDYO_CLIENT_IN_EVENT_ROOM_LINK = 1604 /* VidyoClientRoomLink; answered by 2302, 1200/2305 */
};

/* ---- out-event codes (callback) ------------------------------------------------------------ */

enum {
    VIDYO_CLIENT_OUT_EVENT_SIGNOFF_PROMPT = 300,         /* VidyoClientOutValue */
    VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ACTIVE = 1200,     /* no record: room joined */
    VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ENDED = 1201,      /* no record: room left */
    VIDYO_CLIENT_OUT_EVENT_PARTICIPANTS_CHANGED = 1202,  /* no record */
    VIDYO_CLIENT_OUT_EVENT_REMOTE_SOURCE_REMOVED = 1211, /* VidyoClientOutSourceRemoved */
    VIDYO_CLIENT_OUT_EVENT_MUTED_AUDIO_IN = 1500,        /* VidyoClientOutMuted: mic, local */
    VIDYO_CLIENT_OUT_EVENT_MUTED_AUDIO_OUT = 1501,       /* VidyoClientOutMuted: speaker, local */
    VIDYO_CLIENT_OUT_EVENT_MUTED_VIDEO = 1502,           /* VidyoClientOutMuted: camera, local */
    VIDYO_CLIENT_OUT_EVENT_MUTED_SERVER_AUDIO_IN = 1503, /* VidyoClientOutMuted: mic, server */
    VIDYO_CLIENT_OUT_EVENT_MUTED_SERVER_VIDEO = 1504,    /* VidyoClientOutMuted: camera, server */
    VIDYO_CLIENT_OUT_EVENT_PARTICIPANTS_LIMIT = 2002,    /* no record */
    VIDYO_CLIENT_OUT_EVENT_CONFERENCE_NOTICE = 2003,     /* no record */
    VIDYO_CLIENT_OUT_EVENT_FLOATING_WINDOW = 2004,       /* no record */
    VIDYO_CLIENT_OUT_EVENT_PIN_RESULT = 2102,            /* VidyoClientOutPinResult */
    VIDYO_CLIENT_OUT_EVENT_LOGIN_PROGRESS = 2300,        /* VidyoClientOutLoginProgress */
    VIDYO_CLIENT_OUT_EVENT_LINKED = 2302,                /* VidyoClientOutError */
    VIDYO_CLIENT_OUT_EVENT_SIGNED_IN = 2303,             /* no record */
    VIDYO_CLIENT_OUT_EVENT_SIGNED_OUT = 2304,            /* VidyoClientOutSignedOut */
    VIDYO_CLIENT_OUT_EVENT_JOIN_PROGRESS = 2305,         /* VidyoClientOutError */
    VIDYO_CLIENT_OUT_EVENT_CALL_STATE = 2500,            /* VidyoClientOutValue: 0 = no call */
    VIDYO_CLIENT_OUT_EVENT_GROUP_CHAT = 2600,            /* VidyoClientOutChat */
    VIDYO_CLIENT_OUT_EVENT_PRIVATE_CHAT = 2601,          /* VidyoClientOutChat */
    VIDYO_CLIENT_OUT_EVENT_RAW_AUDIO_FRAME = 2810,       /* raw media frame */
    VIDYO_CLIENT_OUT_EVENT_RAW_VIDEO_FRAME = 2811,       /* raw media frame */
    VIDYO_CLIENT_OUT_EVENT_STATISTICS_TICK = 200600      /* no record */
};

/* ---- field widths ------------------------------------------------------------------------ */

enum {
    VIDYO_CLIENT_URI_SIZE = 257,
    VIDYO_CLIENT_NAME_SIZE = 128,
    VIDYO_CLIENT_PASSWORD_SIZE = 257,
    VIDYO_CLIENT_MAX_DEVICES = 60,
    VIDYO_CLIENT_DEVICE_NAME_SIZE = 128,
    VIDYO_CLIENT_MAX_PARTICIPANTS = 128,
    VIDYO_CLIENT_CHAT_MESSAGE_SIZE = 4096,
    VIDYO_CLIENT_PIN_SOURCE = 100, /* first field of the pin record */
    VIDYO_CLIENT_PIN_MODE_PIN = 2,
    VIDYO_CLIENT_PIN_MODE_RELEASE = 1,
    VIDYO_CLIENT_PREVIEW_ON = 2,
    VIDYO_CLIENT_PREVIEW_OFF = 0
};

/* ---- records given to initialise and start -------------------------------------------------- */

/* Log properties, passed to VidyoClientInitialize and VidyoClientStart. */
typedef struct VidyoClientLogProperties {
    const char* levelsAndCategories; /* e.g. "debug@App debug@AppEvents" */
    uint32_t maxLogFileSize;         /* bytes, e.g. 5000000 */
    const char* logFileDirectory;    /* folder of the library's own log */
    const char* logFileName;         /* base name of the library's own log */
    const char* configDirectory;
    const char* reserved; /* empty text */
} VidyoClientLogProperties;

/* Start parameters, the seventh argument of VidyoClientStart. */
typedef struct VidyoClientStartParams {
    const char* pathToLogDir; /* the library writes its log here */
    const char* reserved0;    /* empty text */
    const char* applicationName;
    const char* applicationVersion;
    const char* pathToDumpDir;
    const char* pathToConfigDir;
    const char* pathToTempDir;
    const char* pathToCacheDir;
    uint32_t maxLogFileSize; /* e.g. 65000 */
    uint32_t reserved1;      /* 0 */
} VidyoClientStartParams;

/* Video rectangle inside the render window, in pixels. */
typedef struct VidyoClientRect {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
} VidyoClientRect;

/* ---- request records ------------------------------------------------------------------------ */

/* Configuration (requests 100100 / 100101). Bytes the caller does not know must be written back
 * exactly as read. */
typedef struct VidyoClientConfiguration {
    char microphones[VIDYO_CLIENT_MAX_DEVICES][VIDYO_CLIENT_DEVICE_NAME_SIZE]; /* 0 */
    uint8_t reserved0[32];
    uint32_t numberMicrophones;                                             /* 7712 */
    uint32_t currentMicrophone;                                             /* 7716 */
    char speakers[VIDYO_CLIENT_MAX_DEVICES][VIDYO_CLIENT_DEVICE_NAME_SIZE]; /* 7720 */
    uint32_t numberSpeakers;                                                /* 15400 */
    uint32_t currentSpeaker;                                                /* 15404 */
    char cameras[VIDYO_CLIENT_MAX_DEVICES][VIDYO_CLIENT_DEVICE_NAME_SIZE];  /* 15408 */
    uint32_t numberCameras;                                                 /* 23088 */
    uint32_t currentCamera;                                                 /* 23092 */
    uint8_t reserved1[3508];
    uint32_t startOptionA; /* 26604: the terminal sets 0 after start */
    uint8_t reserved2[4];
    uint32_t startOptionB; /* 26612: the terminal sets 1 after start */
    uint8_t reserved3[44];
} VidyoClientConfiguration;

typedef struct VidyoClientVolume {
    uint32_t volume; /* 0 .. 65535 */
} VidyoClientVolume;

typedef struct VidyoClientMuteState {
    uint8_t muted; /* filled by the library; nonzero means muted */
} VidyoClientMuteState;

typedef struct VidyoClientEndpointId {
    char id[129];
} VidyoClientEndpointId;

typedef struct VidyoClientRouterName {
    char name[128];
} VidyoClientRouterName;

/* Own participant (request 101500). */
typedef struct VidyoClientOwnParticipant {
    char uri[128];
    char name[VIDYO_CLIENT_URI_SIZE]; /* 128: UTF-8 */
    uint8_t reserved[485];
} VidyoClientOwnParticipant;

/* One participant of the list (request 101613) with its receive statistics. */
typedef struct VidyoClientParticipantEntry {
    char uri[VIDYO_CLIENT_URI_SIZE];   /* 0: participant address */
    char name[VIDYO_CLIENT_NAME_SIZE]; /* 257: UTF-8 */
    uint8_t reserved0[11];
    int32_t width;                /* 396 */
    int32_t height;               /* 400 */
    int32_t videoKBitsPerSecRecv; /* 404 */
    int32_t audioKBitsPerSecRecv; /* 408 */
    int32_t reserved1[2];
    int32_t videoFrameRate;          /* 420 */
    int32_t videoDecodedFrameRate;   /* 424 */
    int32_t videoDisplayedFrameRate; /* 428 */
} VidyoClientParticipantEntry;

typedef struct VidyoClientParticipantList {
    uint32_t reserved;
    uint32_t numberParticipants;                                        /* 4 */
    VidyoClientParticipantEntry entries[VIDYO_CLIENT_MAX_PARTICIPANTS]; /* 8 */
} VidyoClientParticipantList;

/* Participant detail (request 101614): the caller writes index, the library fills the rest. */
typedef struct VidyoClientParticipantDetail {
    uint32_t index;                            /* 0: position in the participant list */
    char uri[VIDYO_CLIENT_URI_SIZE];           /* 4 */
    char name[VIDYO_CLIENT_NAME_SIZE];         /* 261: UTF-8 */
    char participantId[VIDYO_CLIENT_URI_SIZE]; /* 389 */
    uint8_t reserved[14];
} VidyoClientParticipantDetail;

/* Statistics (requests 101602, 101603, 101604, 101607), in 32-bit words. */
typedef struct VidyoClientBandwidthInfo {
    uint32_t reserved0[3];
    uint32_t availSendBwMax;          /* word 3 */
    uint32_t actualSendBwVideo;       /* word 4 */
    uint32_t actualSendBwAudio;       /* word 5 */
    uint32_t actualSendBwApplication; /* word 6 */
    uint32_t actualSendBwMax;         /* word 7 */
    uint32_t reserved1[3];
    uint32_t availRecvBwMax;          /* word 11 */
    uint32_t actualRecvBwVideo;       /* word 12 */
    uint32_t actualRecvBwAudio;       /* word 13 */
    uint32_t actualRecvBwApplication; /* word 14 */
    uint32_t actualRecvBwMax;         /* word 15 */
} VidyoClientBandwidthInfo;

typedef struct VidyoClientLocalVideoInfo {
    uint32_t reserved[2];
    uint32_t width;  /* word 2 */
    uint32_t height; /* word 3 */
} VidyoClientLocalVideoInfo;

typedef struct VidyoClientFrameRateInfo {
    uint32_t captureFrameRate; /* word 0 */
    uint32_t reserved;
    uint32_t sendFrameRate; /* word 2 */
} VidyoClientFrameRateInfo;

typedef struct VidyoClientCpuUsage {
    uint32_t percent;
} VidyoClientCpuUsage;

/* ---- in-event records --------------------------------------------------------------------- */

typedef struct VidyoClientLogin {
    char portalUri[VIDYO_CLIENT_URI_SIZE];     /* 0 */
    char userName[VIDYO_CLIENT_NAME_SIZE];     /* 257 */
    char password[VIDYO_CLIENT_PASSWORD_SIZE]; /* 385 */
    uint8_t reserved[6];
} VidyoClientLogin;

typedef struct VidyoClientRoomLink {
    char portalUri[VIDYO_CLIENT_URI_SIZE];    /* 0 */
    char roomKey[VIDYO_CLIENT_NAME_SIZE];     /* 257 */
    char displayName[VIDYO_CLIENT_NAME_SIZE]; /* 385 */
    uint8_t reserved[91];
} VidyoClientRoomLink;

typedef struct VidyoClientPinParticipant {
    uint32_t source;                         /* VIDYO_CLIENT_PIN_SOURCE */
    char participant[VIDYO_CLIENT_URI_SIZE]; /* 4: participant name or address */
    uint8_t reserved[3];
    uint32_t mode; /* 264: 2 pin, 1 release */
} VidyoClientPinParticipant;

typedef struct VidyoClientLayout {
    int32_t layout;
} VidyoClientLayout;

typedef struct VidyoClientPreview {
    int32_t mode; /* 2 on, 0 off */
    int32_t reserved;
} VidyoClientPreview;

typedef struct VidyoClientMuteFlag {
    uint8_t mute; /* 1 mute, 0 unmute */
} VidyoClientMuteFlag;

/* ---- out-event records -------------------------------------------------------------------- */

typedef struct VidyoClientOutValue {
    uint32_t value;
} VidyoClientOutValue;

typedef struct VidyoClientOutError {
    uint32_t error; /* 0 success */
} VidyoClientOutError;

typedef struct VidyoClientOutSourceRemoved {
    uint32_t mediaType;              /* 0: the participant's video left */
    char uri[VIDYO_CLIENT_URI_SIZE]; /* 4 */
    uint8_t reserved[3];
} VidyoClientOutSourceRemoved;

typedef struct VidyoClientOutMuted {
    uint8_t muted; /* nonzero: muted */
    uint8_t reserved[3];
    uint32_t error; /* 4 */
} VidyoClientOutMuted;

typedef struct VidyoClientOutPinResult {
    uint32_t source;
    char participant[256]; /* 4 */
    uint32_t videoMode;    /* 260: 2 when a participant is pinned */
    uint8_t isSet;         /* 264: 1 when the request took effect */
    uint8_t reserved[3];
} VidyoClientOutPinResult;

typedef struct VidyoClientOutLoginProgress {
    uint32_t error;                        /* 0 */
    char portalUri[VIDYO_CLIENT_URI_SIZE]; /* 4 */
    char userName[VIDYO_CLIENT_NAME_SIZE]; /* 261 */
    uint8_t reserved[3];
} VidyoClientOutLoginProgress;

typedef struct VidyoClientOutSignedOut {
    uint32_t cause; /* 0 */
    uint32_t error; /* 4: 0 after a log-out, the failure code after a refused log-in */
} VidyoClientOutSignedOut;

typedef struct VidyoClientOutChat {
    char uri[VIDYO_CLIENT_URI_SIZE];              /* 0: sender address */
    char displayName[VIDYO_CLIENT_NAME_SIZE];     /* 257 */
    char message[VIDYO_CLIENT_CHAT_MESSAGE_SIZE]; /* 385 */
    uint8_t reserved[3];
} VidyoClientOutChat;

/* Failure codes the library puts in 2300, 2302, 2304 and 2305. */
enum {
    VIDYO_CLIENT_ERROR_NONE = 0,
    VIDYO_CLIENT_ERROR_REFUSED = 5,     /* the portal refused the account or the room */
    VIDYO_CLIENT_ERROR_UNREACHABLE = 6, /* no connection to the portal */
    VIDYO_CLIENT_ERROR_TIMEOUT = 7,     /* the portal did not answer in time */
    VIDYO_CLIENT_ERROR_BAD_REPLY = 8    /* the portal's answer could not be read */
};

/* ---- the six functions ---------------------------------------------------------------------- */

/* Prepares the library; returns 1 on success. A second call without VidyoClientUninitialize
 * fails. */
VIDYOCLIENT_API int VidyoClientInitialize(VidyoClientOutEventCallback callback, void* data,
                                          const VidyoClientLogProperties* logProperties);

/* Starts the callback thread and rendering into window (0: no rendering); returns 1 on
 * success. reserved must be null. */
VIDYOCLIENT_API int VidyoClientStart(VidyoClientOutEventCallback callback, void* data,
                                     const VidyoClientLogProperties* logProperties,
                                     VidyoClientWindowHandle window,
                                     const VidyoClientRect* videoRect, void* reserved,
                                     const VidyoClientStartParams* startParams,
                                     VidyoClientBool beginInDock);

/* Synchronous request; param is the request's record of paramSize bytes. Returns 1 on success,
 * 0 for an unknown code, a wrong size or a library that is not started. */
VIDYOCLIENT_API int VidyoClientSendRequest(unsigned int request, void* param,
                                           unsigned int paramSize);

/* Command; returns 1 when accepted. The outcome arrives as an out-event. */
VIDYOCLIENT_API int VidyoClientSendEvent(unsigned int event, void* param, unsigned int paramSize);

/* Stops the callback thread and rendering; returns nonzero on success. */
VIDYOCLIENT_API int VidyoClientStop(void);

VIDYOCLIENT_API void VidyoClientUninitialize(void);

/* ---- layout checks -------------------------------------------------------------------------- */

#define VIDYOCLIENT_CHECK_SIZE(type, size) \
    VIDYOCLIENT_STATIC_ASSERT(sizeof(type) == (size), #type " size")
#define VIDYOCLIENT_CHECK_OFFSET(type, field, offset) \
    VIDYOCLIENT_STATIC_ASSERT(offsetof(type, field) == (offset), #type "." #field " offset")

VIDYOCLIENT_CHECK_SIZE(VidyoClientLogProperties, 6 * sizeof(void*));
VIDYOCLIENT_CHECK_OFFSET(VidyoClientLogProperties, maxLogFileSize, sizeof(void*));
VIDYOCLIENT_CHECK_OFFSET(VidyoClientLogProperties, reserved, 5 * sizeof(void*));
VIDYOCLIENT_CHECK_SIZE(VidyoClientStartParams, 8 * sizeof(void*) + 8);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientStartParams, maxLogFileSize, 8 * sizeof(void*));
VIDYOCLIENT_CHECK_SIZE(VidyoClientRect, 16);

VIDYOCLIENT_CHECK_SIZE(VidyoClientConfiguration, 26660);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientConfiguration, microphones, 0);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientConfiguration, numberMicrophones, 7712);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientConfiguration, currentMicrophone, 7716);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientConfiguration, speakers, 7720);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientConfiguration, numberSpeakers, 15400);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientConfiguration, currentSpeaker, 15404);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientConfiguration, cameras, 15408);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientConfiguration, numberCameras, 23088);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientConfiguration, currentCamera, 23092);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientConfiguration, startOptionA, 26604);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientConfiguration, startOptionB, 26612);

VIDYOCLIENT_CHECK_SIZE(VidyoClientVolume, 4);
VIDYOCLIENT_CHECK_SIZE(VidyoClientMuteState, 1);
VIDYOCLIENT_CHECK_SIZE(VidyoClientEndpointId, 129);
VIDYOCLIENT_CHECK_SIZE(VidyoClientRouterName, 128);
VIDYOCLIENT_CHECK_SIZE(VidyoClientOwnParticipant, 870);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientOwnParticipant, name, 128);

VIDYOCLIENT_CHECK_SIZE(VidyoClientParticipantEntry, 432);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientParticipantEntry, uri, 0);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientParticipantEntry, name, 257);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientParticipantEntry, width, 396);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientParticipantEntry, height, 400);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientParticipantEntry, videoKBitsPerSecRecv, 404);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientParticipantEntry, audioKBitsPerSecRecv, 408);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientParticipantEntry, videoFrameRate, 420);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientParticipantEntry, videoDecodedFrameRate, 424);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientParticipantEntry, videoDisplayedFrameRate, 428);
VIDYOCLIENT_CHECK_SIZE(VidyoClientParticipantList, 55304);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientParticipantList, numberParticipants, 4);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientParticipantList, entries, 8);
VIDYOCLIENT_CHECK_SIZE(VidyoClientParticipantDetail, 660);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientParticipantDetail, name, 261);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientParticipantDetail, participantId, 389);

VIDYOCLIENT_CHECK_SIZE(VidyoClientBandwidthInfo, 64);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientBandwidthInfo, availSendBwMax, 12);    /* word 3 */
VIDYOCLIENT_CHECK_OFFSET(VidyoClientBandwidthInfo, actualSendBwVideo, 16); /* word 4 */
VIDYOCLIENT_CHECK_OFFSET(VidyoClientBandwidthInfo, actualSendBwMax, 28);   /* word 7 */
VIDYOCLIENT_CHECK_OFFSET(VidyoClientBandwidthInfo, availRecvBwMax, 44);    /* word 11 */
VIDYOCLIENT_CHECK_OFFSET(VidyoClientBandwidthInfo, actualRecvBwVideo, 48); /* word 12 */
VIDYOCLIENT_CHECK_OFFSET(VidyoClientBandwidthInfo, actualRecvBwMax, 60);   /* word 15 */
VIDYOCLIENT_CHECK_SIZE(VidyoClientLocalVideoInfo, 16);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientLocalVideoInfo, width, 8);
VIDYOCLIENT_CHECK_SIZE(VidyoClientFrameRateInfo, 12);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientFrameRateInfo, sendFrameRate, 8);
VIDYOCLIENT_CHECK_SIZE(VidyoClientCpuUsage, 4);

VIDYOCLIENT_CHECK_SIZE(VidyoClientLogin, 648);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientLogin, userName, 257);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientLogin, password, 385);
VIDYOCLIENT_CHECK_SIZE(VidyoClientRoomLink, 604);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientRoomLink, roomKey, 257);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientRoomLink, displayName, 385);
VIDYOCLIENT_CHECK_SIZE(VidyoClientPinParticipant, 268);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientPinParticipant, participant, 4);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientPinParticipant, mode, 264);
VIDYOCLIENT_CHECK_SIZE(VidyoClientLayout, 4);
VIDYOCLIENT_CHECK_SIZE(VidyoClientPreview, 8);
VIDYOCLIENT_CHECK_SIZE(VidyoClientMuteFlag, 1);

VIDYOCLIENT_CHECK_SIZE(VidyoClientOutSourceRemoved, 264);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientOutSourceRemoved, uri, 4);
VIDYOCLIENT_CHECK_SIZE(VidyoClientOutMuted, 8);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientOutMuted, error, 4);
VIDYOCLIENT_CHECK_SIZE(VidyoClientOutPinResult, 268);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientOutPinResult, videoMode, 260);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientOutPinResult, isSet, 264);
VIDYOCLIENT_CHECK_SIZE(VidyoClientOutLoginProgress, 392);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientOutLoginProgress, portalUri, 4);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientOutLoginProgress, userName, 261);
VIDYOCLIENT_CHECK_SIZE(VidyoClientOutSignedOut, 8);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientOutSignedOut, error, 4);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientOutChat, displayName, 257);
VIDYOCLIENT_CHECK_OFFSET(VidyoClientOutChat, message, 385);

#undef VIDYOCLIENT_CHECK_SIZE
#undef VIDYOCLIENT_CHECK_OFFSET

#ifdef __cplusplus
}
#endif

#endif /* FENWIX_SDK_VIDYOCLIENT_H */
