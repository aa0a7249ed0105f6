// A name server that does not answer, for one host name only: this program's getaddrinfo takes
// the place of the C library's (the executable's definition comes first in symbol lookup), so
// the HTTP client's resolver thread meets a lookup that hangs like one to a silent name server.
// Every other name goes to the real lookup.
#include <dlfcn.h>
#include <netdb.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "support_stalledlookup.h"

extern "C" int getaddrinfo(const char* node, const char* service, const struct addrinfo* hints,
                           struct addrinfo** res) {
    if (node != nullptr && std::strcmp(node, kStalledLookupHost) == 0) {
        std::this_thread::sleep_for(kStalledLookupTime);
        return EAI_AGAIN;
    }
    using Lookup = int (*)(const char*, const char*, const struct addrinfo*, struct addrinfo**);
    static const auto real = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, "getaddrinfo"));
    return real(node, service, hints, res);
}
