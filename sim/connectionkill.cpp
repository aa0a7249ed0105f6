#include "sim/connectionkill.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace fenwixsim {

namespace {
int portOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    }
    return -1;
}

bool matches(int fd, int localPort, int remotePort) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode)) {
        return false;
    }
    sockaddr_storage local{};
    sockaddr_storage peer{};
    socklen_t localLen = sizeof(local);
    socklen_t peerLen = sizeof(peer);
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLen) != 0 ||
        getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLen) != 0) {
        return false;
    }
    return portOf(local) == localPort && portOf(peer) == remotePort;
}
}  // namespace

// The HTTP library does not hand its socket to a handler, so the socket is found among the
// process's open descriptors by its two ports (unique on loopback for an open connection).
bool shutDownConnection(int localPort, int remotePort) {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) {
        return false;
    }
    bool found = false;
    while (dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == dirfd(dir)) {
            continue;
        }
        if (matches(static_cast<int>(fd), localPort, remotePort)) {
            ::shutdown(static_cast<int>(fd), SHUT_RDWR);
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}

void ignoreBrokenPipes() {
    signal(SIGPIPE, SIG_IGN);
}

}  // namespace fenwixsim
