#include "platform/win32/winsock_open.h"

#include <atomic>

namespace tvx::platform {
namespace {
std::atomic<bool> lazyStartup{false};
}  // namespace

SOCKET openWinsockSocket(int type, int protocol) {
    SOCKET s = ::socket(AF_INET, type, protocol);
    if (s == INVALID_SOCKET && WSAGetLastError() == WSANOTINITIALISED && !lazyStartup.exchange(true)) {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) == 0) s = ::socket(AF_INET, type, protocol);
    }
    return s;
}

}  // namespace tvx::platform
