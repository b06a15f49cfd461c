// Coils and holding registers through the standard Modbus functions, one
// locked channel call each.

#include "api/requests.h"
#include "base/debug_output.h"
#include "base/result_codes.h"
#include "channel/channel.h"

namespace tvx {
namespace {

// Registers one write can carry (function 16), and one read reply.
inline constexpr uint32_t kMaxWriteRegisters = 123;
inline constexpr uint32_t kMaxReplyRegisters = 127;
// The register count field of a request is 16 bits wide.
inline constexpr uint32_t kMaxRegisterField = 0xFFFF;

int32_t setCoils(TVX_HANDLE api, uint16_t start, uint16_t count, const uint8_t* bits,
            CallSite where = CallSite::current()) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (count == 0) return rc::ok;
        if (!bits) return refuse(rc::badArgument, "bits is NULL");
        return lockedChannelCall(h, [&](CommandChannel& ch, uint32_t budget) {
            return writeCoils(ch, start, count, bits, budget);
        });
    }, where);
}

// 32-bit values travel as two registers each, low half first. The count
// of registers is worked out in 32 bits so that a large count is refused
// rather than wrapped to a small one.
int32_t setLongs(TVX_HANDLE api, uint16_t start, uint16_t count, const uint32_t* values,
            CallSite where = CallSite::current()) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (count == 0) return rc::ok;
        if (!values) return refuse(rc::badArgument, "values is NULL");
        const uint32_t registers = 2u * count;
        if (registers > kMaxWriteRegisters) return rc::cannotFrame;
        uint16_t words[kMaxWriteRegisters];
        for (uint32_t k = 0; k < count; ++k) {
            words[2 * k] = static_cast<uint16_t>(values[k] & 0xFFFF);
            words[2 * k + 1] = static_cast<uint16_t>(values[k] >> 16);
        }
        return lockedChannelCall(h, [&](CommandChannel& ch, uint32_t budget) {
            return writeRegisters(ch, start, registers, words, budget);
        });
    }, where);
}

int32_t getLongs(TVX_HANDLE api, uint16_t start, uint16_t count, uint32_t* valuesOut,
            CallSite where = CallSite::current()) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (count == 0) return rc::ok;
        if (!valuesOut) return refuse(rc::badArgument, "valuesOut is NULL");
        const uint32_t registers = 2u * count;
        if (registers > kMaxRegisterField) return rc::cannotFrame;
        // A read writes only from a reply that carries exactly the requested
        // registers, never more than one reply holds; a larger request is
        // still sent and ends in the controller's exception or 3403.
        uint16_t words[kMaxReplyRegisters + 1];
        const int32_t r = lockedChannelCall(h, [&](CommandChannel& ch, uint32_t budget) {
            return readHoldingRegisters(ch, start, static_cast<uint16_t>(registers), words, budget);
        });
        if (r != rc::ok) return r;
        for (uint32_t k = 0; k < count; ++k)
            valuesOut[k] = static_cast<uint32_t>(words[2 * k]) | (static_cast<uint32_t>(words[2 * k + 1]) << 16);
        return rc::ok;
    }, where);
}

}  // namespace
}  // namespace tvx

using namespace tvx;

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_Modbus_Set0x(TVX_HANDLE handle, uint16_t start, uint16_t count, const uint8_t* bits) {
    return setCoils(handle, start, count, bits);
}

TVX_API int32_t TVX_STDCALL TVX_Modbus_Get0x(TVX_HANDLE handle, uint16_t start, uint16_t count, uint8_t* bitsOut) {
    return withHandle(handle, [&](ControllerHandle& h) {
        if (count == 0) return rc::ok;
        if (!bitsOut) return refuse(rc::badArgument, "bitsOut is NULL");
        return lockedChannelCall(h, [&](CommandChannel& ch, uint32_t budget) {
            return readCoils(ch, start, count, bitsOut, budget);
        });
    });
}

TVX_API int32_t TVX_STDCALL TVX_Modbus_Set4x(TVX_HANDLE handle, uint16_t start, uint16_t count, const uint16_t* words) {
    return withHandle(handle, [&](ControllerHandle& h) {
        if (count == 0) return rc::ok;
        if (!words) return refuse(rc::badArgument, "words is NULL");
        return lockedChannelCall(h, [&](CommandChannel& ch, uint32_t budget) {
            return writeRegisters(ch, start, count, words, budget);
        });
    });
}

TVX_API int32_t TVX_STDCALL TVX_Modbus_Get4x(TVX_HANDLE handle, uint16_t start, uint16_t count, uint16_t* wordsOut) {
    return withHandle(handle, [&](ControllerHandle& h) {
        if (count == 0) return rc::ok;
        if (!wordsOut) return refuse(rc::badArgument, "wordsOut is NULL");
        return lockedChannelCall(h, [&](CommandChannel& ch, uint32_t budget) {
            return readHoldingRegisters(ch, start, count, wordsOut, budget);
        });
    });
}

TVX_API int32_t TVX_STDCALL TVX_Modbus_SetLong(TVX_HANDLE handle, uint16_t start, uint16_t count,
                                               const uint32_t* values) {
    return setLongs(handle, start, count, values);
}

TVX_API int32_t TVX_STDCALL TVX_Modbus_GetLong(TVX_HANDLE handle, uint16_t start, uint16_t count, uint32_t* valuesOut) {
    return getLongs(handle, start, count, valuesOut);
}

TVX_API int32_t TVX_STDCALL TVX_Modbus_SetIEEE(TVX_HANDLE handle, uint16_t start, uint16_t count,
                                               const uint32_t* values) {
    return setLongs(handle, start, count, values);
}

TVX_API int32_t TVX_STDCALL TVX_Modbus_GetIEEE(TVX_HANDLE handle, uint16_t start, uint16_t count, uint32_t* valuesOut) {
    return getLongs(handle, start, count, valuesOut);
}

}  // extern "C"
