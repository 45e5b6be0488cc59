#include "platform/NetworkStatus.h"

#include <ifaddrs.h>
#include <net/if.h>

#include "platform/TcpSocket.h"

namespace ambro::platform {

bool anyNetworkInterfaceUp() {
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) return false;
    bool up = false;
    for (const ifaddrs* entry = interfaces; entry != nullptr && !up; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        up = (flags & IFF_UP) != 0 && (flags & IFF_RUNNING) != 0;
    }
    ::freeifaddrs(interfaces);
    return up;
}

bool socketsAvailable() {
    SocketField probe{createTcpSocket()};
    const bool available = probe.load() != kNoSocket;
    closeSocket(probe);
    return available;
}

}  // namespace ambro::platform
