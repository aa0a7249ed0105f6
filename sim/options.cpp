#include "sim/options.h"

#include <cstdlib>

namespace fenwixsim {

namespace {
bool parseInt(const std::string& text, int minimum, int maximum, int& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < minimum || v > maximum) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}
}  // namespace

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--strict") {
            options.strict = true;
        } else if (arg == "--demo") {
            options.demo = true;
        } else if (arg == "--port" && hasValue) {
            if (!parseInt(argv[++i], 0, 65535, options.port)) {
                error = "--port needs a number from 0 to 65535";
                return false;
            }
        } else if (arg == "--port-file" && hasValue) {
            options.portFile = argv[++i];
        } else if (arg == "--hold-ms" && hasValue) {
            if (!parseInt(argv[++i], 0, 600000, options.holdMs)) {
                error = "--hold-ms needs a number of milliseconds from 0 to 600000";
                return false;
            }
        } else {
            error = "unknown or incomplete argument: " + arg;
            return false;
        }
    }
    return true;
}

std::string helpText() {
    return R"(fenwix-sim: the loopback backend of the Fenwix classroom terminal, for development and tests.
It serves the business API, the push-poll service, an admin API and a web console on one
port of 127.0.0.1.

Usage: fenwix-sim [--port N] [--port-file F] [--hold-ms N] [--strict] [--demo] [--help]

  --port N        port to listen on; 0 (the default) takes a free port. Prints
                  "fenwix-sim listening on 127.0.0.1:<port>" once listening.
  --port-file F   write the port number to file F once listening.
  --hold-ms N     how long a push data request (/api/getData) is held when no command is
                  queued, in milliseconds (default 1500).
  --strict        check every request against the exact forms the terminal sends (HTTP/1.1,
                  method, form content type, the zero byte that ends every body, parameter
                  names, order and values; any other path under /api/) and record each
                  deviation; they are written to stderr and listed by the admin API.
  --demo          play a scripted class in a loop against every terminal that registers:
                  vLogin, the teacher's video (curtain up), a chat line, a volume command,
                  the waiting picture (curtain down), vLogout, a pause; about 60 s a loop. Each
                  step is printed as "demo <device key> loop <n>: <step> - <what to look at>"
                  and listed by GET /admin/demo and the console.
  --help          this text.

Point a terminal at it with apibaseurl and pushbaseurl = http://127.0.0.1:<port> in section
CONFIG of ini/desktop.ini. Open http://127.0.0.1:<port>/console in a browser.

Business API (POST, form bodies; one trailing zero byte is stripped, %XX is decoded, '+' is kept):
  /api/business/app/register          registration; payload applicationId, logoUrl, uniqueno, setting
  /api/business/desktop/enterRoom     plan room; payload valid, data
  /api/business/app/reportMsg         unified report (latest kept per device); payload conferenceLogs
  /api/business/desktop/optionAudio   microphone option; payload conferenceLogs
  /api/business/app/updateVersion     update check; payload isupdate, installUrl
  /api/business/app/reportConferenceInfo, /api/business/app/reportLogsInfo,
  /api/business/app/destroy, /api/business/desktop/ping
  /api/business/desktop/startConferenceLive   payload url, liveStatus, liveId, streamId, data
  /api/business/desktop/stopConferenceLive
Every reply is {"success":..,"payload":..,"message":..}. Devices are keyed by their device key.

Push-poll service (GET, parameters in the query):
  /api/register?appkey=..&appsecret=..&userid=..   payload {"token":..}; other keys are refused
                                                   with success false
  /api/getData?token=..&userid=..                  answers at once with the next queued command
                                                   for that user id, else after the hold with
                                                   payload {}; an unknown token gets success false

Admin API (JSON bodies and replies; every reply carries "ok"; errors are HTTP 400/404 with "error").
Admin paths are neither recorded nor checked nor replaceable.
  GET    /admin/help                  this text
  POST   /admin/replies               {"path":"/x/y","status":200,"body":"text","size":N,
                                       "bodyBase64":"..","contentType":"..","headers":{"Location":"/z"},
                                       "delayMs":N,"times":K,"close":false,"passThrough":false}
                                      requests to that exact path (any method) get this reply
                                      instead of the built-in one. "size" makes a body of N bytes
                                      repeating "0123456789"; "bodyBase64" gives binary bodies (for
                                      downloads such as /files/a.bin); "times" limits it to the next
                                      K requests; "close" ends the connection without any reply;
                                      "passThrough" only waits delayMs, then the built-in handler
                                      answers. Faults: status 500 or 302 (+Location), a non-JSON
                                      body, an oversize "size", "delayMs", "close".
  GET    /admin/replies               the replies in force
  DELETE /admin/replies               clears all
  GET    /admin/requests[?path=/x/y]  {"requests":[{"seq","method","path","query","headers","body",
                                       "bodyBase64","bodyLength","form":[{"name","value"}]}]}
                                      body is the raw bytes as text; form is decoded
  DELETE /admin/requests              forgets them
  POST   /admin/down                  {"ms":N}: the listener closes (connections are refused, held
                                      polls are dropped) and opens again on the same port after N ms
  POST   /admin/push                  {"userId":"UDSK_.." or "deviceKey":"DSK_..",
                                       "type":"vLogin|vLogout|desktopRoomCmd|vUpdate","data":{..}}
                                      or {"userId":..,"payload":<any JSON>} for a raw message;
                                      queued for that push user id, delivered one per data reply.
                                      vLogin data: roomId, portal, username, password, roomKey,
                                      displayName, gDisplayName, logintype ("2"/"4" = guest);
                                      desktopRoomCmd data: fenwixcmd (micVolumnChange |
                                      speakerVolumnChange), volumn (text)
  GET    /admin/push                  users, pending commands, waiting polls, token counts
  DELETE /admin/push                  drops every pending command
  POST   /admin/push/expire           {"userId":..} or {"deviceKey":..} or {} (all): revokes
                                      tokens, so the next data request gets success false
  POST   /admin/business              {"path":"register" (or the full path),"deviceKey":"DSK_.."
                                       (omit for every device),"success":true,"message":"..",
                                       "payload":<JSON>,"merge":false}: the envelope this path
                                      answers with. Without "payload" the built-in payload is kept;
                                      "merge":true merges the given object into it. Examples:
                                      registration settings {"path":"register","merge":true,
                                       "payload":{"setting":{"ispull":0}}}; plan room {"path":
                                       "enterRoom","payload":{"valid":true,"data":{..}}}; update
                                      offer {"path":"updateVersion","payload":{"isupdate":true,
                                       "installUrl":"http://.."}}; conferenceLogs {"path":"reportMsg",
                                       "payload":{"conferenceLogs":false}}; live push {"path":
                                       "startConferenceLive","merge":true,"payload":{"liveStatus":0}}
  GET    /admin/business[?deviceKey=] the overrides and the effective reply of every path
  DELETE /admin/business[?path=&deviceKey=]  removes overrides (all when no filter)
  GET    /admin/devices               every device: registration, latest unified report, events,
                                      conference state, live push, exit
  GET    /admin/device?deviceKey=K    one device
  GET    /admin/report?deviceKey=K    the latest unified report of that device
  GET    /admin/strict                {"enabled":..,"deviations":[{"seq","path","expected","got"}]}
  POST   /admin/strict                {"enabled":true|false}
  DELETE /admin/strict                forgets the deviations
  GET    /admin/settings              {"port","holdMs","strict"}
  POST   /admin/settings              {"holdMs":N,"strict":bool}
  POST   /admin/reset                 forgets replies, requests, deviations, devices, overrides,
                                      push queues and tokens
                                      and the conference portal
Conference portal (for the conference client library; JSON bodies; roomKey selects the sessions of
one room, session one session, neither every session in a room):
  POST   /portal/login|link|leave|logout|pin, GET /portal/events?session=S&waitMs=N
                                      the library's own calls (log-in, room link, leave, log-out,
                                      pin, long poll for events and the participant list)
  GET    /admin/portal                accounts, rooms with participants, sessions, faults, and the
                                      portal address this sim hands out ("address")
  DELETE /admin/portal                forgets accounts, rooms, sessions and faults
  POST   /admin/portal/accounts       {"user":..,"password":..,"displayName":..} and/or
                                      {"open":false}: only listed accounts may log in (default:
                                      any user name logs in)
  POST   /admin/portal/rooms          {"roomKey":..,"teacherName":..,"teacherUri":..} and/or
                                      {"open":false}: only listed rooms can be joined. Every room
                                      has a teacher participant (default name 张老师)
  POST   /admin/portal/planroom       {"deviceKey"(omit: all),"roomKey","username","password",
                                       "displayName","gDisplayName","guest":bool,"roomId",
                                       "portal"(default: this sim)}: the plan-room reply
  POST   /admin/portal/chat           {"roomKey"|"session","message":text or JSON,"fromUri",
                                       "fromName"(default: the teacher),"private":bool}
  POST   /admin/portal/curtain        {"roomKey"|"session","status":1|0}: the teacher's curtain
                                      command as a chat message {"status":N}
  POST   /admin/portal/source-removed {"roomKey"|"session","uri"(default: the teacher)}
  POST   /admin/portal/drop           {"roomKey"|"session"}: the call drops (call state 0) and
                                      the sessions are out of the room
  POST   /admin/portal/mute           {"device":"microphone"|"camera","muted":bool,..}: server mute
  POST   /admin/portal/notice         {..}: a conference notice
  POST   /admin/portal/rates          {"roomKey","uri"(default: the teacher),"width","height",
                                       "videoKBitsPerSecRecv","audioKBitsPerSecRecv",
                                       "videoFrameRate","videoDecodedFrameRate",
                                       "videoDisplayedFrameRate"}: receive statistics
  POST   /admin/portal/participants   {"roomKey","name","uri", rates..}: adds a participant
  DELETE /admin/portal/participants?roomKey=K&uri=U  removes an added participant
  POST   /admin/portal/faults         {"login":"refuse"|"hang"|"badjson"|null,"loginError":N,
                                       "link":"fail"|"hang"|"badjson"|null,"linkError":N,
                                       "pin":"success"|"fail","pinVideoMode":N}: "hang" holds the
                                      call unanswered until the fault is cleared (null)
  A vLogin pushed through /admin/push without "portal" gets this sim's portal address.
Console: GET /console (also /).
)";
}

}  // namespace fenwixsim
