#include <cstring>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "channel/channel.h"
#include "channel/request_codes.h"
#include "channel/requests.h"
#include "link/handle_table.h"

namespace tvx {
namespace {

inline constexpr uint32_t kMaxRequestData = 2044;   // request data after the 6-byte header
inline constexpr uint32_t kMaxExchangeData = 2040;  // exchange data limit
inline constexpr size_t kTransferStateBytes = 28;

// The two areas every request function keeps on its stack. The reply area
// starts zero-filled so that fields read at fixed offsets of a short reply
// are 0, never stale stack bytes.
struct Areas {
    uint8_t request[packet::areaSize];
    uint8_t reply[packet::areaSize];
    Areas() {
        std::memset(request, 0, sizeof request);
        std::memset(reply, 0, sizeof reply);
    }
    void header(uint16_t length, uint16_t command) {
        putU16(request, length);
        putU16(request + packet::commandOffset, command);
    }
    const uint8_t* data() const { return reply + packet::dataOffset; }
    uint32_t dataLength() const { return getU16(reply) - packet::replyHeaderLength; }
};

int32_t run(TVX_HANDLE handle, Areas& a) { return lockedTransact(handle, a.request, a.reply); }

}  // namespace

int32_t requestSimple(TVX_HANDLE handle, uint16_t command) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    Areas a;
    a.header(6, command);
    return run(handle, a);
}

int32_t requestWithInt(TVX_HANDLE handle, uint16_t command, int32_t value) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    Areas a;
    a.header(10, command);
    putI32(a.request + 6, value);
    return run(handle, a);
}

int32_t requestWithData(TVX_HANDLE handle, uint16_t command, const void* data, uint32_t n) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    if (n > kMaxRequestData || (n > 0 && !data)) return rc::badArgument;
    Areas a;
    a.header(static_cast<uint16_t>(n + 6), command);
    if (n) std::memcpy(a.request + 6, data, n);
    return run(handle, a);
}

int32_t queryByte(TVX_HANDLE handle, uint16_t command, uint8_t* out) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    Areas a;
    a.header(6, command);
    int32_t r = run(handle, a);
    if (r == rc::ok && out) *out = a.data()[0];
    return r;
}

int32_t queryWord(TVX_HANDLE handle, uint16_t command, uint16_t* out) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    Areas a;
    a.header(6, command);
    int32_t r = run(handle, a);
    if (r == rc::ok && out) *out = getU16(a.data());
    return r;
}

int32_t queryInt(TVX_HANDLE handle, uint16_t command, int32_t* out) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    Areas a;
    a.header(6, command);
    int32_t r = run(handle, a);
    if (r == rc::ok && out) *out = getI32(a.data());
    return r;
}

int32_t queryIntWithWord(TVX_HANDLE handle, uint16_t command, uint16_t word, int32_t* out) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    Areas a;
    a.header(8, command);
    putU16(a.request + 6, word);
    int32_t r = run(handle, a);
    if (r == rc::ok && out) *out = getI32(a.data());
    return r;
}

int32_t queryIntWithByte(TVX_HANDLE handle, uint16_t command, uint8_t byte, int32_t* out) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    Areas a;
    a.header(7, command);
    a.request[6] = byte;
    int32_t r = run(handle, a);
    if (r == rc::ok && out) *out = getI32(a.data());
    return r;
}

int32_t queryData(TVX_HANDLE handle, uint16_t command, void* out, uint32_t capacity, uint16_t* outLength) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    if (!out) return rc::badArgument;
    Areas a;
    a.header(6, command);
    int32_t r = run(handle, a);
    if (r != rc::ok) return r;
    const uint32_t n = a.dataLength();
    if (capacity != 0 && n > capacity) return rc::replyLength;
    std::memcpy(out, a.data(), n);
    // A shorter text is terminated inside the caller's declared capacity.
    if (capacity != 0 && n < capacity) static_cast<uint8_t*>(out)[n] = 0;
    if (outLength) *outLength = static_cast<uint16_t>(n);
    return rc::ok;
}

int32_t exchangeData(TVX_HANDLE handle, uint16_t command, const void* data, uint32_t n, void* out,
                     uint32_t capacity, uint16_t* outLength) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    if (n > kMaxExchangeData || (n > 0 && !data) || (capacity != 0 && !out)) return rc::badArgument;
    Areas a;
    a.header(static_cast<uint16_t>(n + 6), command);
    if (n) std::memcpy(a.request + 6, data, n);
    int32_t r = run(handle, a);
    if (r != rc::ok) return r;
    const uint32_t got = a.dataLength();
    if (capacity != 0) {
        if (got > capacity) return rc::replyLength;
        std::memcpy(out, a.data(), got);
        if (got < capacity) static_cast<uint8_t*>(out)[got] = 0;
    }
    if (outLength) *outLength = static_cast<uint16_t>(got);
    return rc::ok;
}

int32_t queryTransferState(TVX_HANDLE handle, uint8_t* out28) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    Areas a;
    a.header(6, req::transferState);
    int32_t r = run(handle, a);
    if (r == rc::ok && out28) std::memcpy(out28, a.reply, kTransferStateBytes);
    return r;
}

int32_t transactStatus(TVX_HANDLE handle, uint8_t* request, uint8_t* reply) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    if (!request || !reply) return rc::badArgument;
    return lockedTransact(handle, request, reply);
}

}  // namespace tvx
