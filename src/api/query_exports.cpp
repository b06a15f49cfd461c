// Controller queries, I/O and axis commands.
#include <cstring>

#include "api/requests.h"
#include "base/bytes.h"
#include "base/debug_output.h"
#include "base/text.h"
#include "channel/request_codes.h"
#include "link/open_close.h"

namespace tvx {
namespace {

inline constexpr uint32_t kIpTextBytes = 20;
inline constexpr uint32_t kMacTextBytes = 14;
inline constexpr size_t kAxisStateBytes = 17;

// Reply fields of the version, task and stack queries.
namespace version_reply {
inline constexpr size_t number = 0;  // u32
inline constexpr size_t text = 4;    // 16 characters
inline constexpr size_t textBytes = 16;
inline constexpr size_t date = 20;  // u32
}  // namespace version_reply
namespace task_reply {
inline constexpr size_t state = 0;
inline constexpr size_t second = 1;
inline constexpr size_t word = 2;   // u16
inline constexpr size_t value = 4;  // i32
inline constexpr size_t text = 8;   // 26 characters
inline constexpr size_t textBytes = 26;
}  // namespace task_reply
namespace stack_reply {
inline constexpr size_t value = 0;  // i32
inline constexpr size_t byte = 4;
inline constexpr size_t text = 5;  // 23 characters
inline constexpr size_t textBytes = 23;
}  // namespace stack_reply
namespace child_card_reply {
inline constexpr size_t id = 0;    // u32
inline constexpr size_t kind = 4;  // u16
inline constexpr size_t bytes = 6;
inline constexpr size_t byteCount = 5;
}  // namespace child_card_reply

// An I/O number or channel as the 16-bit field the controller reads.
uint16_t wireNumber(uint32_t n) { return static_cast<uint16_t>(n); }

int32_t sendIoWord(TVX_HANDLE api, uint16_t command, uint32_t number, uint8_t value,
            CallSite where = CallSite::current()) {
    return withHandle(api, [&](ControllerHandle& h) {
        PacketArea x(command, 3);
        putU16(x.args(), wireNumber(number));
        x.args()[2] = value;
        return lockedTransact(h, x);
    }, where);
}

int32_t readIoByte(TVX_HANDLE api, uint16_t command, uint32_t number, uint8_t* out,
            CallSite where = CallSite::current()) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (!out) return refuse(rc::badArgument, "out is NULL");
        return query(h, command, out, wireNumber(number));
    }, where);
}

int32_t readRange(TVX_HANDLE api, uint16_t command, uint32_t first, uint32_t last, int32_t* out,
            CallSite where = CallSite::current()) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (!out) return refuse(rc::badArgument, "out is NULL");
        return query(h, command, out, wireNumber(first), wireNumber(last));
    }, where);
}

int32_t readChannelFloat(TVX_HANDLE api, uint16_t command, uint32_t channelNumber, float* out,
            CallSite where = CallSite::current()) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (!out) return refuse(rc::badArgument, "out is NULL");
        return query(h, command, out, wireNumber(channelNumber));
    }, where);
}

int32_t requiredInt(TVX_HANDLE api, uint16_t command, int32_t* out,
            CallSite where = CallSite::current()) {
    return withHandle(
        api,
        [&](ControllerHandle& h) {
            return out ? query(h, command, out) : refuse(rc::badArgument, "the out-parameter is NULL");
        },
        where);
}

// Unpacks the system record's fields from the reply data.
void decodeSystemRecord(const uint8_t* d, TVX_SysSpecification* record) {
    record->b0 = d[0];
    record->b1 = d[1];
    record->b2 = d[2];
    record->b3 = d[3];
    record->axisCount = getU16(d + sys_record::axisCount);
    std::memcpy(record->b6, d + 6, 6);
    record->u12 = getU32(d + 12);
    record->u16 = getU32(d + 16);
    record->u20 = getU32(d + 20);
    record->w24 = getU16(d + 24);
    record->w26 = getU16(d + 26);
    record->w28 = getU16(d + 28);
    record->b30 = d[30];
    record->b31 = d[31];
    record->u32 = getU32(d + 32);
    record->u36 = getU32(d + 36);
    for (int i = 0; i < 4; ++i) record->w40[i] = getU16(d + 40 + 2 * i);
    record->u48 = getU32(d + 48);
    record->w52 = getU16(d + 52);
    std::memcpy(record->b54, d + 54, 6);
}

}  // namespace

}  // namespace tvx

using namespace tvx;

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_GetState(TVX_HANDLE api, uint8_t* stateOut) {
    return withHandle(api, [&](ControllerHandle& h) {
        return stateOut ? query(h, req::state, stateOut) : refuse(rc::badArgument, "stateOut is NULL");
    });
}

TVX_API int32_t TVX_STDCALL TVX_GetStopPauseTaskid(TVX_HANDLE api, uint8_t* taskOut) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (!taskOut) return refuse(rc::badArgument, "taskOut is NULL");
        uint16_t word = 0;
        const int32_t r = query(h, req::state, &word);
        if (r == rc::ok) *taskOut = static_cast<uint8_t>(word >> 8);
        return r;
    });
}

TVX_API int32_t TVX_STDCALL TVX_GetCurIpAddr(TVX_HANDLE api, char* textOut) {
    return withHandle(api, [&](ControllerHandle& h) { return queryData(h, req::currentIp, textOut, kIpTextBytes, nullptr); });
}

TVX_API int32_t TVX_STDCALL TVX_GetClientId(TVX_HANDLE h, int32_t* v) { return requiredInt(h, req::clientId, v); }
TVX_API int32_t TVX_STDCALL TVX_GetSoftId(TVX_HANDLE h, int32_t* v) { return requiredInt(h, req::softId, v); }
TVX_API int32_t TVX_STDCALL TVX_GetHardId(TVX_HANDLE h, int32_t* v) { return requiredInt(h, req::hardId, v); }
TVX_API int32_t TVX_STDCALL TVX_GetError(TVX_HANDLE h, int32_t* v) { return requiredInt(h, req::error, v); }
TVX_API int32_t TVX_STDCALL TVX_GetChipId(TVX_HANDLE h, int32_t* v) { return requiredInt(h, req::chipId, v); }

TVX_API int32_t TVX_STDCALL TVX_GetSoftVersion(TVX_HANDLE api, uint32_t* versionOut, char* textOut,
                                               uint32_t* dateOut) {
    return withHandle(api, [&](ControllerHandle& h) {
        PacketArea x(req::softVersion, 0);
        const int32_t r = queryResult(lockedTransact(h, x), x);
        if (r != rc::ok) return r;
        const uint8_t* d = x.data();
        if (versionOut) *versionOut = getU32(d + version_reply::number);
        if (textOut) copyBoundedText(textOut, version_reply::textBytes, d + version_reply::text, version_reply::textBytes);
        if (dateOut) *dateOut = getU32(d + version_reply::date);
        return rc::ok;
    });
}

TVX_API int32_t TVX_STDCALL TVX_SetAxisEnable(TVX_HANDLE h, uint32_t axis, uint8_t enable) {
    // The axis goes out as its low 8 bits in a 16-bit field.
    return sendIoWord(h, req::axisEnable, axis & 0xFFu, enable);
}

TVX_API int32_t TVX_STDCALL TVX_SetOutput(TVX_HANDLE h, uint32_t ioNumber, uint8_t state) {
    return sendIoWord(h, req::setOutput, ioNumber, state);
}

TVX_API int32_t TVX_STDCALL TVX_GetIn(TVX_HANDLE h, uint32_t ioNumber, uint8_t* stateOut) {
    return readIoByte(h, req::getIn, ioNumber, stateOut);
}

TVX_API int32_t TVX_STDCALL TVX_GetOutput(TVX_HANDLE h, uint32_t ioNumber, uint8_t* stateOut) {
    return readIoByte(h, req::getOutput, ioNumber, stateOut);
}

TVX_API int32_t TVX_STDCALL TVX_SetOutAll(TVX_HANDLE api, uint32_t first, uint32_t last, int32_t bits) {
    return withHandle(api, [&](ControllerHandle& h) {
        PacketArea x(req::setOutAll, 8);
        putU16(x.args(), wireNumber(first));
        putU16(x.args() + 2, wireNumber(last));
        putI32(x.args() + 4, bits);
        return lockedTransact(h, x);
    });
}

TVX_API int32_t TVX_STDCALL TVX_GetInAll(TVX_HANDLE h, uint32_t first, uint32_t last, int32_t* bitsOut) {
    return readRange(h, req::getInAll, first, last, bitsOut);
}

TVX_API int32_t TVX_STDCALL TVX_GetOutAll(TVX_HANDLE h, uint32_t first, uint32_t last, int32_t* bitsOut) {
    return readRange(h, req::getOutAll, first, last, bitsOut);
}

TVX_API int32_t TVX_STDCALL TVX_SetDaOut(TVX_HANDLE api, uint32_t channelNumber, int32_t value) {
    return withHandle(api, [&](ControllerHandle& h) {
        // The value comes before the channel number on the wire.
        PacketArea x(req::setDaOut, 6);
        putI32(x.args(), value);
        putU16(x.args() + 4, wireNumber(channelNumber));
        return lockedTransact(h, x);
    });
}

TVX_API int32_t TVX_STDCALL TVX_GetDaOut(TVX_HANDLE h, uint32_t channelNumber, float* valueOut) {
    return readChannelFloat(h, req::getDaOut, channelNumber, valueOut);
}

TVX_API int32_t TVX_STDCALL TVX_GetAIn(TVX_HANDLE h, uint32_t channelNumber, float* valueOut) {
    return readChannelFloat(h, req::getAIn, channelNumber, valueOut);
}

TVX_API int32_t TVX_STDCALL TVX_GetAxisStates(TVX_HANDLE api, uint32_t axis, uint8_t* statesOut) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (!statesOut) return refuse(rc::badArgument, "statesOut is NULL");
        PacketArea x(req::axisStates, 1);
        x.args()[0] = static_cast<uint8_t>(axis);
        const int32_t r = queryResult(lockedTransact(h, x), x);
        if (r == rc::ok) std::memcpy(statesOut, x.data(), kAxisStateBytes);
        return r;
    });
}

TVX_API int32_t TVX_STDCALL TVX_GetAxisFeatures(TVX_HANDLE api, uint32_t axis, int32_t* featuresOut) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (!featuresOut) return refuse(rc::badArgument, "featuresOut is NULL");
        return query(h, req::axisFeatures, featuresOut, static_cast<uint8_t>(axis));
    });
}

TVX_API int32_t TVX_STDCALL TVX_GetSysSpecification(TVX_HANDLE api, TVX_SysSpecification* recordOut) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (!recordOut) return refuse(rc::badArgument, "record is NULL");
        PacketArea x;
        const int32_t r = queryResult(querySystemRecord(h, x), x);
        if (r == rc::ok) decodeSystemRecord(x.data(), recordOut);
        return r;
    });
}

TVX_API int32_t TVX_STDCALL TVX_GetTaskState(TVX_HANDLE api, uint32_t task, uint8_t* stateOut, uint8_t* secondOut,
                                             uint16_t* wordOut, int32_t* valueOut, char* textOut) {
    return withHandle(api, [&](ControllerHandle& h) {
        PacketArea x(req::taskState, 2);
        putU16(x.args(), wireNumber(task));
        const int32_t r = queryResult(lockedTransact(h, x), x);
        if (r != rc::ok) return r;
        const uint8_t* d = x.data();
        if (stateOut) *stateOut = d[task_reply::state];
        if (secondOut) *secondOut = d[task_reply::second];
        if (wordOut) *wordOut = getU16(d + task_reply::word);
        if (valueOut) *valueOut = getI32(d + task_reply::value);
        if (textOut) copyBoundedText(textOut, task_reply::textBytes, d + task_reply::text, task_reply::textBytes);
        return rc::ok;
    });
}

TVX_API int32_t TVX_STDCALL TVX_GetTaskStackState(TVX_HANDLE api, uint32_t task, uint32_t level, uint8_t* byteOut,
                                                  int32_t* valueOut, char* textOut) {
    return withHandle(api, [&](ControllerHandle& h) {
        PacketArea x(req::taskStackState, 4);
        putU16(x.args(), wireNumber(task));
        putU16(x.args() + 2, wireNumber(level));
        const int32_t r = queryResult(lockedTransact(h, x), x);
        if (r != rc::ok) return r;
        const uint8_t* d = x.data();
        if (byteOut) *byteOut = d[stack_reply::byte];
        if (valueOut) *valueOut = getI32(d + stack_reply::value);
        if (textOut) copyBoundedText(textOut, stack_reply::textBytes, d + stack_reply::text, stack_reply::textBytes);
        return rc::ok;
    });
}

TVX_API int32_t TVX_STDCALL TVX_EnumChildCard(TVX_HANDLE api, uint32_t index, TVX_ChildCard* recordOut) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (!recordOut) return refuse(rc::badArgument, "recordOut is NULL");
        PacketArea x(req::childCard, 2);
        putU16(x.args(), wireNumber(index));
        const int32_t r = queryResult(lockedTransact(h, x), x);
        if (r != rc::ok) return r;
        const uint8_t* d = x.data();
        recordOut->id = getU32(d + child_card_reply::id);
        recordOut->kind = getU16(d + child_card_reply::kind);
        std::memcpy(recordOut->bytes, d + child_card_reply::bytes, child_card_reply::byteCount);
        return rc::ok;
    });
}

TVX_API int32_t TVX_STDCALL TVX_LowFormatNand(TVX_HANDLE api, int32_t value) {
    return withHandle(api, [&](ControllerHandle& h) { return requestWithInt(h, req::lowFormatNand, value); });
}

TVX_API int32_t TVX_STDCALL TVX_ReturnDefault(TVX_HANDLE api, int32_t value) {
    return withHandle(api, [&](ControllerHandle& h) { return requestWithInt(h, req::returnDefault, value); });
}

TVX_API int32_t TVX_STDCALL TVX_ResetController(TVX_HANDLE api) {
    return withHandle(api, [&](ControllerHandle& h) { return requestSimple(h, req::resetController); });
}

TVX_API int32_t TVX_STDCALL TVX_ClearLog(TVX_HANDLE api) {
    return withHandle(api, [&](ControllerHandle& h) { return requestSimple(h, req::clearLog); });
}

TVX_API int32_t TVX_STDCALL TVX_SetMac(TVX_HANDLE api, const char* text) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (!text) return refuse(rc::badArgument, "text is NULL");
        const size_t n = std::strlen(text) + 1;  // the terminator goes too
        if (n > packet::largestPacket) return refuse(rc::badArgument, "the text is longer than a packet carries");
        return requestWithData(h, req::setMac, text, static_cast<uint32_t>(n));
    });
}

TVX_API int32_t TVX_STDCALL TVX_GetMac(TVX_HANDLE api, char* textOut) {
    return withHandle(api, [&](ControllerHandle& h) { return queryData(h, req::getMac, textOut, kMacTextBytes, nullptr); });
}

TVX_API int32_t TVX_STDCALL TVX_CheckProgramSyntax(const char*, int32_t*) { return rc::ok; }

}  // extern "C"
