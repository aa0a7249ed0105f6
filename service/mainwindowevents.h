// Numbers of the main window's events, the notice codes of WM_NOTICE, the main window's timers
// and the control ids the events carry. Shared by the senders (core threads) and the controller.
#pragma once

#include <cstdint>

// Events (window message numbers).
inline constexpr unsigned WM_TRAY_NOTIFY = 1025;      // wParam: tray icon id; lParam: mouse message
inline constexpr unsigned WM_CTRL_CLICKED = 1026;     // wParam: control id
inline constexpr unsigned WM_PUSH_MESSAGE = 1027;     // lParam: const std::string* JSON payload
inline constexpr unsigned WM_CALL_DROPPED = 1028;     // no parameters
inline constexpr unsigned WM_PICTURE_CLICKED = 1029;  // wParam: control id
inline constexpr unsigned WM_NOTICE = 1030;           // wParam: notice code; lParam: per code
inline constexpr unsigned WM_CONF_JOINED = 3000;
inline constexpr unsigned WM_CONF_CHAT = 3001;            // lParam: const std::string* JSON
inline constexpr unsigned WM_CONF_DEVICE_MUTE = 3002;     // lParam: const std::string* JSON
inline constexpr unsigned WM_CONF_FIX_RESULT = 3003;      // lParam: const std::string* JSON
inline constexpr unsigned WM_CONF_SOURCE_REMOVED = 3004;  // lParam: const std::string* JSON
inline constexpr unsigned WM_CONF_LOGGED_OUT = 3006;
inline constexpr unsigned WM_CONF_LOGIN_FAILED = 3007;
inline constexpr unsigned WM_CONF_JOIN_FAILED = 3008;
inline constexpr unsigned WM_CONF_FIXED_SOURCE_LOST = 3009;
inline constexpr unsigned WM_CONF_LOGGED_OUT_QUEUED = 3010;

// Notice codes (wParam of WM_NOTICE). Codes not listed here are ignored by the controller.
enum NoticeCode : unsigned {
    NOTICE_REGISTERED = 0,  // lParam 1: the reply carried no logo address
    NOTICE_REGISTER_FAILED = 1,
    NOTICE_LOGIN_BEGINS = 4,
    NOTICE_ENTER_ROOM_DONE = 5,
    NOTICE_ROOM_UNAVAILABLE = 6,  // lParam: const std::string* text
    NOTICE_CURTAIN = 7,           // lParam: 0 or 1
    NOTICE_NETWORK_STATE = 8,     // lParam: 1 reachable
    NOTICE_ENTERING_CLASS = 9,
    NOTICE_MESSAGE = 10,         // lParam: const std::string* text
    NOTICE_UPDATE_OFFERED = 11,  // lParam: const std::string* installer address
    NOTICE_UPDATE_DOWNLOADED = 12,
    NOTICE_UPDATE_FAILED = 13,
    NOTICE_UPDATE_STOPPED = 14,
    NOTICE_REGISTER_REPLY = 15,  // lParam: pointer to the reply's payload
    NOTICE_CONF_LOGS_ON = 16,
    NOTICE_CONF_TOOLBAR = 18,
    NOTICE_LOGO_RELOAD = 19,
    NOTICE_ENTER_TIMEOUT = 20,
    NOTICE_LIVE_NET_RESTORED = 22,    // posted by the live push; ignored
    NOTICE_LIVE_NET_ERROR = 23,       // posted by the live push; ignored
    NOTICE_LIVE_REQUEST_FAILED = 24,  // posted by the live push; ignored
    NOTICE_CAMERA_OPENED = 26,
    NOTICE_CAMERA_FAILED = 27,
    NOTICE_MIC_OPENED = 28,
    NOTICE_MIC_FAILED = 29,
};

// Timers of the main window.
inline constexpr int TIMER_CALL_DROPPED = 1035;  // 5000 ms, at most four ticks
inline constexpr int TIMER_START_FIX = 1067;     // 3000 ms, one tick
inline constexpr int TIMER_CONF_STATE = 1068;    // 5000 ms, repeating
inline constexpr int TIMER_HIDE_OFFLINE = 1069;  // 3000 ms, one tick
inline constexpr int TIMER_HIDE_TOOLBAR = 1070;  // 5000 ms, one tick

// Control and command ids carried by WM_CTRL_CLICKED and WM_PICTURE_CLICKED.
inline constexpr unsigned ID_TOOL_PREVIEW = 3002;
inline constexpr unsigned ID_TOOL_CAMERA = 3003;
inline constexpr unsigned ID_TOOL_SPEAKER = 3004;
inline constexpr unsigned ID_TOOL_MIC = 3005;
inline constexpr unsigned ID_TOOL_SETTINGS = 3006;
inline constexpr unsigned ID_TOOL_QUIT = 3007;
inline constexpr unsigned ID_DEVICE_CHECK = 3008;
inline constexpr unsigned ID_UPDATE = 3010;
inline constexpr unsigned ID_ENTER_CLASS = 3011;
inline constexpr unsigned ID_STUDENT_PICTURE = 3012;
inline constexpr unsigned ID_MSG_TIP = 17;
inline constexpr unsigned ID_NONE = 65535;

// The tray icon's id and the mouse messages it reports in lParam of WM_TRAY_NOTIFY.
inline constexpr unsigned TRAY_ICON_ID = 128;
inline constexpr std::intptr_t TRAY_LEFT_DOUBLE_CLICK = 0x0203;
inline constexpr std::intptr_t TRAY_RIGHT_BUTTON_UP = 0x0205;

// How the main window's modal run ends.
inline constexpr int RESULT_OK = 1;      // Alt+Q, five quick clicks
inline constexpr int RESULT_CANCEL = 2;  // the tray menu's 退出
