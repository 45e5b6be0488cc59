#pragma once

namespace ambro::platform {

// True when some network interface is up and running; loopback counts, so a
// server on this machine can always be reached.
bool anyNetworkInterfaceUp();

// True when the socket layer can give out a TCP socket at all.
bool socketsAvailable();

}  // namespace ambro::platform
