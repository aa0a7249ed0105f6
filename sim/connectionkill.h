#pragma once

namespace fenwixsim {

// Shuts down the accepted TCP connection between our local port and the peer's port, so the
// peer sees the connection end without any reply. False when no such socket is open.
bool shutDownConnection(int localPort, int remotePort);

// Makes a write to a closed socket an error instead of a fatal signal.
void ignoreBrokenPipes();

}  // namespace fenwixsim
