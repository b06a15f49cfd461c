// The controller's program debugger: breakpoints, single steps, local
// variables, what a name denotes, and the drain of the print output.
#include <cstring>

#include "api/requests.h"
#include "base/bytes.h"
#include "base/debug_output.h"
#include "channel/request_codes.h"

namespace tvx {
namespace {

// Arguments of request 331 (add) and 332 (delete).
namespace break_request {
inline constexpr size_t line = 0;        // i32
inline constexpr size_t option = 4;      // add: u8, then the name
inline constexpr size_t addName = 5;
inline constexpr size_t deleteName = 4;
}  // namespace break_request

// Arguments of request 300. The fifth argument comes before the fourth.
namespace step_request {
inline constexpr size_t first = 0;   // u16
inline constexpr size_t second = 2;  // u8
inline constexpr size_t third = 3;   // u8
inline constexpr size_t fifth = 4;   // i32
inline constexpr size_t fourth = 8;  // u16, the low byte of the argument
inline constexpr size_t bytes = 10;
}  // namespace step_request

// Request 313 and its reply data.
namespace local_request {
inline constexpr size_t selector = 0;     // i32
inline constexpr size_t subSelector = 4;  // u16
inline constexpr size_t index = 6;        // u16
inline constexpr size_t bytes = 8;
}  // namespace local_request
namespace local_reply {
inline constexpr size_t value = 0;  // i32
inline constexpr size_t extra = 4;  // 8 bytes
inline constexpr size_t extraBytes = 8;
inline constexpr size_t name = 12;  // NUL-terminated
}  // namespace local_reply

// Request 309 and its reply data.
namespace type_request {
inline constexpr size_t selector = 0;  // u16
inline constexpr size_t name = 2;
}  // namespace type_request
namespace type_reply {
inline constexpr size_t type = 0;    // u16
inline constexpr size_t second = 4;  // i32
inline constexpr size_t third = 8;   // 8 bytes, only in a reply packet of 26 bytes or more
inline constexpr size_t thirdBytes = 8;
inline constexpr uint32_t thirdPacketLength = 26;
}  // namespace type_reply
// Names of 256 characters or more are refused.
inline constexpr size_t kTypeNameLimit = 255;

// Room a drain needs before it asks for the next piece of print output.
inline constexpr uint64_t kMessagePiece = 2048;

// Sends a breakpoint request: `before` argument bytes, then the file name
// with its 0 byte. A request beyond the largest packet is refused.
int32_t breakRequest(ControllerHandle& h, uint16_t command, const char* fileName, size_t nameOffset,
                     uint32_t line, const uint8_t* option) {
    if (!fileName) return refuse(rc::badArgument, "fileName is NULL");
    const size_t room = packet::largestPacket - packet::headerLength - nameOffset - 1;
    const size_t n = strnlen(fileName, room + 1);
    if (n > room) return refuse(rc::badArgument, "fileName is longer than its field");
    PacketArea a(command, static_cast<uint32_t>(nameOffset + n + 1));
    putU32(a.args() + break_request::line, line);
    if (option) a.args()[break_request::option] = *option;
    std::memcpy(a.args() + nameOffset, fileName, n);
    return lockedTransact(h, a);
}

}  // namespace
}  // namespace tvx

using namespace tvx;

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_EnumLocal(TVX_HANDLE handle, int32_t selector, uint32_t subSelector, uint32_t index,
                                          int32_t* valueOut, uint8_t* extraOut, char* nameOut) {
    return withHandle(handle, [&](ControllerHandle& h) {
        PacketArea a(req::enumLocal, local_request::bytes);
        putI32(a.args() + local_request::selector, selector);
        putU16(a.args() + local_request::subSelector, static_cast<uint16_t>(subSelector));
        putU16(a.args() + local_request::index, static_cast<uint16_t>(index));
        const int32_t r = lockedTransact(h, a);
        if (r != rc::ok) return r;
        const uint32_t n = a.dataLength();
        if (n == 0 && (valueOut || extraOut || nameOut)) return rc::replyLength;
        if (valueOut) *valueOut = getI32(a.data() + local_reply::value);
        if (extraOut) std::memcpy(extraOut, a.data() + local_reply::extra, local_reply::extraBytes);
        if (nameOut) {
            // The name ends at its 0 byte or at the end of the reply.
            const size_t available = n > local_reply::name ? n - local_reply::name : 0;
            const char* name = reinterpret_cast<const char*>(a.data() + local_reply::name);
            const size_t length = strnlen(name, available);
            std::memcpy(nameOut, name, length);
            nameOut[length] = 0;
        }
        return rc::ok;
    });
}

// One entry point under two names; the controller offers no such change.
TVX_API int32_t TVX_STDCALL TVX_ModifyLocal(TVX_HANDLE, void*, void*, void*, void*, void*) {
    return rc::notSupported;
}
TVX_API int32_t TVX_STDCALL TVX_EnumVar(TVX_HANDLE handle, void* a1, void* a2, void* a3, void* a4, void* a5) {
    return TVX_ModifyLocal(handle, a1, a2, a3, a4, a5);
}

TVX_API int32_t TVX_STDCALL TVX_BreakAdd(TVX_HANDLE handle, const char* fileName, uint32_t lineNumber,
                                         uint32_t option) {
    return withHandle(handle, [&](ControllerHandle& h) {
        const uint8_t optionByte = static_cast<uint8_t>(option);
        return breakRequest(h, req::breakAdd, fileName, break_request::addName, lineNumber, &optionByte);
    });
}

TVX_API int32_t TVX_STDCALL TVX_BreakDel(TVX_HANDLE handle, const char* fileName, uint32_t lineNumber) {
    return withHandle(handle, [&](ControllerHandle& h) {
        return breakRequest(h, req::breakDelete, fileName, break_request::deleteName, lineNumber, nullptr);
    });
}

TVX_API int32_t TVX_STDCALL TVX_BreakClear(TVX_HANDLE handle) {
    return withHandle(handle, [&](ControllerHandle& h) { return requestSimple(h, req::breakClear); });
}

TVX_API int32_t TVX_STDCALL TVX_StepRun(TVX_HANDLE handle, uint32_t first, uint32_t second, uint32_t third,
                                        uint32_t fourth, int32_t fifth) {
    return withHandle(handle, [&](ControllerHandle& h) {
        PacketArea a(req::stepRun, step_request::bytes);
        putU16(a.args() + step_request::first, static_cast<uint16_t>(first));
        a.args()[step_request::second] = static_cast<uint8_t>(second);
        a.args()[step_request::third] = static_cast<uint8_t>(third);
        putI32(a.args() + step_request::fifth, fifth);
        putU16(a.args() + step_request::fourth, static_cast<uint8_t>(fourth));
        return lockedTransact(h, a);
    });
}

TVX_API int32_t TVX_STDCALL TVX_CancelOnline(TVX_HANDLE handle) {
    return withHandle(handle, [&](ControllerHandle& h) { return requestSimple(h, req::cancelOnline); });
}

TVX_API int32_t TVX_STDCALL TVX_GetStringType(TVX_HANDLE handle, const char* name, uint32_t selector,
                                              uint16_t* typeOut, int32_t* secondOut, uint8_t* thirdOut) {
    return withHandle(handle, [&](ControllerHandle& h) {
        if (!name || !typeOut) return refuse(rc::badArgument, "name or typeOut is NULL");
        const size_t n = strnlen(name, kTypeNameLimit + 1);
        if (n > kTypeNameLimit) return refuse(rc::badArgument, "name is longer than its field");
        PacketArea a(req::stringType, static_cast<uint32_t>(type_request::name + n + 1));
        putU16(a.args() + type_request::selector, static_cast<uint16_t>(selector));
        std::memcpy(a.args() + type_request::name, name, n);
        const int32_t r = lockedTransact(h, a);
        if (r != rc::ok) return r;
        if (a.dataLength() == 0) return rc::replyLength;
        *typeOut = getU16(a.data() + type_reply::type);
        if (secondOut) *secondOut = getI32(a.data() + type_reply::second);
        if (thirdOut && a.replyLength() >= type_reply::thirdPacketLength)
            std::memcpy(thirdOut, a.data() + type_reply::third, type_reply::thirdBytes);
        return rc::ok;
    });
}

TVX_API int32_t TVX_STDCALL TVX_ReadMessage(TVX_HANDLE handle, char* buffer, uint32_t bufferSize,
                                            uint32_t* received) {
    return withHandle(handle, [&](ControllerHandle& h) {
        if (!buffer || !received) return refuse(rc::badArgument, "buffer or received is NULL");
        uint32_t total = 0;
        for (;;) {
            PacketArea a(req::readMessage, 0);
            const int32_t r = lockedTransact(h, a);
            if (r != rc::ok) return r;
            // A piece is a flag byte and its text; one without even the
            // flag byte is malformed.
            const uint32_t n = a.dataLength();
            if (n == 0 || n > kMessagePiece) return rc::replyLength;
            const uint32_t text = n - 1;
            if (uint64_t{total} + text > bufferSize) {
                *received = total;
                return rc::bufferTooSmall;
            }
            std::memcpy(buffer + total, a.data() + 1, text);
            total += text;
            // A piece that announces more but brings nothing ends the drain
            // too: a controller repeating it would otherwise hold it for ever.
            const bool more = a.data()[0] == 0 && text > 0;
            if (!more || uint64_t{total} + kMessagePiece > bufferSize) break;
        }
        *received = total;
        return rc::ok;
    });
}

}  // extern "C"
