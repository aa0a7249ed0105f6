// One queued user operation of the conference session: who enters which room, how, and how far
// the operation has got. Texts are 8-bit text in the local code page.
#pragma once

#include <cstdint>
#include <string>

// Progress of the session's current user; the value 1 is not used.
enum UserState : std::int32_t {
    USER_IDLE = -1,          // no operation under way
    USER_LOGGING_IN = 0,     // log-in command sent, outcome awaited
    USER_LOGIN_FAILED = 2,   // the portal refused the log-in
    USER_LEAVING = 3,        // leave command sent (and, for a user, log-out after it)
    USER_LINKING = 4,        // room-link command sent, outcome awaited
    USER_IN_CONFERENCE = 5,  // the room was joined
    USER_LINK_FAILED = 6,    // joining the room failed
};

struct UserBean {
    std::string username;      // portal user name
    std::string displayName;   // name shown to the others in the conference
    std::string gDisplayName;  // name shown when entering as a guest
    std::string password;      // portal password
    std::string roomKey;       // key of the room to join
    std::string portal;        // portal address
    std::int32_t state = USER_IDLE;
    std::int32_t guest = 0;  // 1: room link only, as a guest; 0: log in, then link
};
