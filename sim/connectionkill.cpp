#include "sim/connectionkill.h"

#include <dirent.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace fenwixsim {

namespace {
// "0100007F:1F90" -> 8080
int portOfProcAddress(const std::string& address) {
    const size_t colon = address.find(':');
    if (colon == std::string::npos) {
        return -1;
    }
    return static_cast<int>(std::strtol(address.c_str() + colon + 1, nullptr, 16));
}

// The socket inode of the TCP connection with these two ports, from the kernel's table.
std::string findInode(const char* table, int localPort, int remotePort) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
              timeout >> inode)) {
            continue;
        }
        if (portOfProcAddress(local) == localPort && portOfProcAddress(remote) == remotePort &&
            inode != "0") {
            return inode;
        }
    }
    return std::string();
}

// Our descriptor whose link names that socket inode, or -1.
int findDescriptor(const std::string& inode) {
    const std::string wanted = "socket:[" + inode + "]";
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) {
        return -1;
    }
    int found = -1;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        char target[128] = {};
        const std::string path = "/proc/self/fd/" + name;
        const ssize_t n = readlink(path.c_str(), target, sizeof(target) - 1);
        if (n > 0 && wanted == std::string(target, static_cast<size_t>(n))) {
            found = static_cast<int>(std::strtol(name.c_str(), nullptr, 10));
            break;
        }
    }
    closedir(dir);
    return found;
}
}  // namespace

// The HTTP library does not hand its socket to a handler. The connection is found by its two
// ports in the kernel's TCP table and then among our descriptors by inode, without touching any
// other descriptor. The descriptor stays ours while the handler runs: the worker that runs the
// handler is the one that closes it afterwards.
bool shutDownConnection(int localPort, int remotePort) {
    std::string inode = findInode("/proc/net/tcp", localPort, remotePort);
    if (inode.empty()) {
        inode = findInode("/proc/net/tcp6", localPort, remotePort);
    }
    if (inode.empty()) {
        return false;
    }
    const int fd = findDescriptor(inode);
    if (fd < 0) {
        return false;
    }
    return ::shutdown(fd, SHUT_RDWR) == 0;
}

void ignoreBrokenPipes() {
    signal(SIGPIPE, SIG_IGN);
}

}  // namespace fenwixsim
