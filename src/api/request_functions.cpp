#include <cstring>

#include "api/requests.h"
#include "base/bytes.h"
#include "base/debug_output.h"
#include "channel/request_codes.h"

namespace tvx {
namespace {

inline constexpr uint32_t kMaxRequestData = packet::largestPacket;  // after the 6-byte header
inline constexpr uint32_t kMaxExchangeData = 2040;

// Copies reply data to a caller's buffer of `capacity` bytes (0: unlimited),
// terminating a shorter text inside it.
int32_t deliverData(const PacketArea& a, void* out, uint32_t capacity, uint16_t* outLength) {
    const uint32_t n = a.dataLength();
    if (capacity != 0 && n > capacity) return rc::replyLength;
    std::memcpy(out, a.data(), n);
    if (capacity != 0 && n < capacity) static_cast<uint8_t*>(out)[n] = 0;
    if (outLength) *outLength = static_cast<uint16_t>(n);
    return rc::ok;
}

}  // namespace

int32_t requestSimple(ControllerHandle& h, uint16_t command) {
    PacketArea a(command, 0);
    return lockedTransact(h, a);
}

int32_t requestWithInt(ControllerHandle& h, uint16_t command, int32_t value) {
    PacketArea a(command, 4);
    putI32(a.args(), value);
    return lockedTransact(h, a);
}

int32_t requestWithData(ControllerHandle& h, uint16_t command, const void* data, uint32_t n) {
    if (n > kMaxRequestData) return refuse(rc::badArgument, "more request data than a packet carries");
    if (n > 0 && !data) return refuse(rc::badArgument, "data is NULL with a length");
    PacketArea a(command, 0);
    if (n) std::memcpy(a.args(), data, n);
    a.setArgumentBytes(n);
    return lockedTransact(h, a);
}

int32_t queryData(ControllerHandle& h, uint16_t command, void* out, uint32_t capacity, uint16_t* outLength) {
    if (!out) return refuse(rc::badArgument, "out is NULL");
    PacketArea a(command, 0);
    const int32_t r = queryResult(lockedTransact(h, a), a);
    return r == rc::ok ? deliverData(a, out, capacity, outLength) : r;
}

int32_t exchangeData(ControllerHandle& h, uint16_t command, const void* data, uint32_t n, void* out,
                     uint32_t capacity, uint16_t* outLength) {
    if (n > kMaxExchangeData) return refuse(rc::badArgument, "more request data than a packet carries");
    if (n > 0 && !data) return refuse(rc::badArgument, "data is NULL with a length");
    if (capacity != 0 && !out) return refuse(rc::badArgument, "out is NULL with a capacity");
    PacketArea a(command, 0);
    if (n) std::memcpy(a.args(), data, n);
    a.setArgumentBytes(n);
    const int32_t r = lockedTransact(h, a);
    if (r != rc::ok) return r;
    if (capacity != 0) return deliverData(a, out, capacity, outLength);
    if (outLength) *outLength = static_cast<uint16_t>(a.dataLength());
    return rc::ok;
}

int32_t queryTransferState(ControllerHandle& h, uint8_t* out28) {
    PacketArea a(req::transferState, 0);
    const int32_t r = queryResult(lockedTransact(h, a), a);
    if (r == rc::ok && out28) std::memcpy(out28, a.reply, kTransferStateBytes);
    return r;
}

}  // namespace tvx
