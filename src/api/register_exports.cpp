// The controller's named register areas (requests 144 and 145): an area
// name picks the area code and element width sent to the controller; the
// data bytes travel as the controller stores them.
#include <cstring>

#include "api/requests.h"
#include "base/bytes.h"
#include "base/debug_output.h"
#include "channel/request_codes.h"
#include "link/link_driver.h"

namespace tvx {
namespace {

// Arguments of both register requests.
namespace register_args {
inline constexpr size_t area = 0;   // u8 area code
inline constexpr size_t width = 1;  // u8 element width in bits
inline constexpr size_t count = 2;  // u16 element count
inline constexpr size_t start = 4;  // u32 first element
inline constexpr size_t data = 8;   // write only: the data bytes
}  // namespace register_args

// How an area's element width is chosen.
enum class Width : uint8_t {
    fixed,        // the table's width, whatever the caller asks
    callerChoice, // the caller's, which must be 1, 16 or 32
    wideOnAsk,    // 64 when the caller asks for 64, the table's otherwise
};

struct Area {
    const char* name;
    uint8_t code;
    uint8_t width;
    Width rule;
    bool writable;
};

// Matched exactly, in this order.
constexpr Area kAreas[] = {
    {"D", 8, 16, Width::fixed, true},         {"M", 6, 1, Width::fixed, true},
    {"V", 1, 16, Width::fixed, true},         {"Z", 2, 16, Width::fixed, true},
    {"S", 7, 1, Width::fixed, true},          {"C", 9, 0, Width::callerChoice, true},
    {"T", 10, 0, Width::callerChoice, true},  {"X", 4, 1, Width::fixed, false},
    {"Y", 5, 1, Width::fixed, true},          {"VR", 254, 32, Width::fixed, true},
    {"VR_INT", 253, 32, Width::fixed, true},  {"DT", 17, 32, Width::wideOnAsk, true},
    {"TABLE", 17, 32, Width::fixed, true},    {"DA", 251, 32, Width::fixed, true},
    {"AD", 252, 32, Width::fixed, false},
};

const Area* findArea(const char* name) {
    for (const Area& a : kAreas)
        if (std::strcmp(a.name, name) == 0) return &a;
    return nullptr;
}

// The width to send, or 0 when the caller's width is refused.
uint8_t widthFor(const Area& a, uint8_t asked) {
    switch (a.rule) {
        case Width::fixed: return a.width;
        case Width::callerChoice: return (asked == 1 || asked == 16 || asked == 32) ? asked : 0;
        case Width::wideOnAsk: return asked == 64 ? 64 : a.width;
    }
    return 0;
}

// One register access, checked before any traffic.
struct Access {
    uint8_t code = 0;
    uint8_t width = 0;
    uint32_t bytes = 0;
};

int32_t prepare(const ControllerHandle& h, const char* name, uint8_t asked, uint16_t count, const void* data,
                bool write, Access* out) {
    if (!name) return refuse(rc::badArgument, "name is NULL");
    const Area* area = findArea(name);
    if (!area) return refuse(rc::badArgument, "areaName names no register area");
    const uint8_t width = widthFor(*area, asked);
    if (width == 0 || (write && !area->writable) || !data)
        return refuse(rc::badArgument, "widthBits does not fit the area, the area is read-only, or data is NULL");
    const uint32_t bytes = (static_cast<uint32_t>(width) * count + 7) / 8;
    if (bytes > linkLimits(h).registerBytes) return refuse(rc::overLimit, "count exceeds the bytes one request carries");
    *out = Access{area->code, width, bytes};
    return rc::ok;
}

void putHeader(PacketArea& a, const Access& x, uint32_t start, uint16_t count) {
    a.args()[register_args::area] = x.code;
    a.args()[register_args::width] = x.width;
    putU16(a.args() + register_args::count, count);
    putU32(a.args() + register_args::start, start);
}

}  // namespace
}  // namespace tvx

using namespace tvx;

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_RegisterRead(TVX_HANDLE handle, const char* areaName, uint8_t widthBits,
                                             uint32_t start, uint16_t count, void* dataOut) {
    return withHandle(handle, [&](ControllerHandle& h) {
        Access x;
        int32_t r = prepare(h, areaName, widthBits, count, dataOut, false, &x);
        if (r != rc::ok) return r;
        PacketArea a(req::registerRead, register_args::data);
        putHeader(a, x, start, count);
        r = lockedTransact(h, a);
        if (r != rc::ok) return r;
        if (a.dataLength() != x.bytes) return rc::replyLength;
        if (x.bytes) std::memcpy(dataOut, a.data(), x.bytes);
        return rc::ok;
    });
}

TVX_API int32_t TVX_STDCALL TVX_RegisterWrite(TVX_HANDLE handle, const char* areaName, uint8_t widthBits,
                                              uint32_t start, uint16_t count, const void* data) {
    return withHandle(handle, [&](ControllerHandle& h) {
        Access x;
        const int32_t r = prepare(h, areaName, widthBits, count, data, true, &x);
        if (r != rc::ok) return r;
        PacketArea a(req::registerWrite, register_args::data + x.bytes);
        putHeader(a, x, start, count);
        if (x.bytes) std::memcpy(a.args() + register_args::data, data, x.bytes);
        return lockedTransact(h, a);
    });
}

}  // extern "C"
