// Arrays of floats and multi-axis line points: requests whose size grows
// with the caller's value count, bounded per request by the link kind.
#include <cstring>

#include "api/requests.h"
#include "base/bytes.h"
#include "base/debug_output.h"
#include "channel/request_codes.h"
#include "link/link_driver.h"

namespace tvx {
namespace {

// Arguments of requests 146 (write) and 147 (read).
namespace array_request {
inline constexpr size_t start = 0;   // i32 first element
inline constexpr size_t count = 4;   // i32 element count
inline constexpr size_t values = 8;  // write: count floats, then the name
inline constexpr size_t fixedBytes = 8;
}  // namespace array_request

// Arguments of request 7.
namespace multi_line_request {
inline constexpr size_t lineCount = 0;
inline constexpr size_t axisCount = 1;
inline constexpr size_t flags = 2;
inline constexpr size_t mode = 3;
inline constexpr size_t axes = 4;  // one byte per axis, padded to 4
}  // namespace multi_line_request
// Reply data of request 7.
namespace multi_line_reply {
inline constexpr size_t remaining = 4;  // i32
}  // namespace multi_line_reply
// lineCount and axisCount travel as single bytes.
inline constexpr uint32_t kMaxLineField = 255;

// The name's length when the whole request (`fixedLength` bytes besides the
// name and its 0 byte) fits the largest packet; -1 otherwise. The scan
// never runs past what could fit.
int64_t nameFitting(const char* name, size_t fixedLength) {
    if (fixedLength + 1 > packet::largestPacket) return -1;
    const size_t room = packet::largestPacket - fixedLength - 1;
    const size_t n = strnlen(name, room + 1);
    return n > room ? -1 : static_cast<int64_t>(n);
}

// The most 32-bit values one request carries or asks for on the link.
uint32_t valuesPerRequest(const ControllerHandle& h) { return linkLimits(h).valuesPerRequest; }

}  // namespace
}  // namespace tvx

using namespace tvx;

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_ArrayWritef(TVX_HANDLE handle, const char* arrayName, uint32_t startIndex,
                                            uint32_t count, const float* values) {
    return withHandle(handle, [&](ControllerHandle& h) {
        if (!values || !arrayName) return refuse(rc::badArgument, "values or arrayName is NULL");
        if (count > valuesPerRequest(h)) return refuse(rc::overLimit, "count exceeds the values one request carries");
        const size_t valueBytes = size_t{count} * 4;
        const int64_t nameLength =
            nameFitting(arrayName, packet::headerLength + array_request::fixedBytes + valueBytes);
        if (nameLength < 0) return refuse(rc::badArgument, "arrayName does not fit the request");
        PacketArea a(req::arrayWrite, static_cast<uint32_t>(array_request::fixedBytes + valueBytes + nameLength + 1));
        putU32(a.args() + array_request::start, startIndex);
        putU32(a.args() + array_request::count, count);
        // Floats travel in the host's byte order, unchanged.
        if (valueBytes) std::memcpy(a.args() + array_request::values, values, valueBytes);
        std::memcpy(a.args() + array_request::values + valueBytes, arrayName, static_cast<size_t>(nameLength));
        return lockedTransact(h, a);
    });
}

TVX_API int32_t TVX_STDCALL TVX_ArrayReadf(TVX_HANDLE handle, const char* arrayName, uint32_t startIndex,
                                           uint32_t count, float* values) {
    return withHandle(handle, [&](ControllerHandle& h) {
        if (!values || !arrayName) return refuse(rc::badArgument, "values or arrayName is NULL");
        if (count > valuesPerRequest(h)) return refuse(rc::overLimit, "count exceeds the values one request carries");
        const int64_t nameLength = nameFitting(arrayName, packet::headerLength + array_request::fixedBytes);
        if (nameLength < 0) return refuse(rc::badArgument, "arrayName does not fit the request");
        PacketArea a(req::arrayRead, static_cast<uint32_t>(array_request::fixedBytes + nameLength + 1));
        putU32(a.args() + array_request::start, startIndex);
        putU32(a.args() + array_request::count, count);
        std::memcpy(a.args() + array_request::fixedBytes, arrayName, static_cast<size_t>(nameLength));
        const int32_t r = lockedTransact(h, a);
        if (r != rc::ok) return r;
        const size_t valueBytes = size_t{count} * 4;
        // A reply that does not carry every value asked for is refused
        // rather than filled up with padding.
        if (a.dataLength() < valueBytes) return rc::replyLength;
        if (valueBytes) std::memcpy(values, a.data(), valueBytes);
        return rc::ok;
    });
}

TVX_API int32_t TVX_STDCALL TVX_MultiLineN(TVX_HANDLE handle, int32_t mode, int32_t flags, uint32_t lineCount,
                                           uint32_t axisCount, const int32_t* axisList, const float* values,
                                           int32_t* remaining) {
    return withHandle(handle, [&](ControllerHandle& h) {
        if (!values || (axisCount > 0 && !axisList))
            return refuse(rc::badArgument, "values is NULL, or axisList is NULL with axes");
        if (lineCount > kMaxLineField || axisCount > kMaxLineField)
            return refuse(rc::badArgument, "lineCount or axisCount above its field");
        const uint64_t valueCount = uint64_t{lineCount} * axisCount;
        if (valueCount > valuesPerRequest(h))
            return refuse(rc::overLimit, "lineCount x axisCount exceeds the values one request carries");
        // The axis bytes fill whole 32-bit words, at least one.
        const size_t axisArea = axisCount == 0 ? 4 : 4 * ((axisCount - 1) / 4 + 1);
        const size_t valueBytes = static_cast<size_t>(valueCount) * 4;
        PacketArea a(req::multiLine, static_cast<uint32_t>(multi_line_request::axes + axisArea + valueBytes));
        uint8_t* p = a.args();
        p[multi_line_request::lineCount] = static_cast<uint8_t>(lineCount);
        p[multi_line_request::axisCount] = static_cast<uint8_t>(axisCount);
        p[multi_line_request::flags] = static_cast<uint8_t>(flags);
        p[multi_line_request::mode] = static_cast<uint8_t>(mode);
        for (uint32_t i = 0; i < axisCount; ++i) p[multi_line_request::axes + i] = static_cast<uint8_t>(axisList[i]);
        if (valueBytes) std::memcpy(p + multi_line_request::axes + axisArea, values, valueBytes);
        const int32_t r = lockedTransact(h, a);
        if (r != rc::ok || !remaining) return r;
        if (a.dataLength() <= multi_line_reply::remaining) return rc::replyLength;
        *remaining = getI32(a.data() + multi_line_reply::remaining);
        return rc::ok;
    });
}

}  // extern "C"
