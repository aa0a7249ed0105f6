// Polite requests to end the program (on POSIX: SIGTERM, SIGINT, SIGHUP) turned into a readable
// descriptor, so the event loop can end the program through its normal shutdown path.
#pragma once

namespace fenwix::platform {

class TerminationRequests {
public:
    // Installs the handlers; only one object may exist at a time.
    TerminationRequests();
    // Restores the default handlers.
    ~TerminationRequests();

    TerminationRequests(const TerminationRequests&) = delete;
    TerminationRequests& operator=(const TerminationRequests&) = delete;

    // Becomes readable when a request arrives; -1 when requests cannot be watched.
    int descriptor() const;

    // Empties the descriptor; true if a request had arrived.
    bool take();

private:
    int readEnd_ = -1;
    int writeEnd_ = -1;
};

}  // namespace fenwix::platform
