// IPv4 socket addresses for both socket backends.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include "platform/win32/win32.h"
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

namespace tvx::platform {

// The system's address of `ip` and `port`, both given in host order.
inline sockaddr_in makeAddress(uint32_t ip, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(ip);
    return a;
}

}  // namespace tvx::platform
