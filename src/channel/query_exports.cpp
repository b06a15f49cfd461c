// Controller queries, I/O and axis commands.
#include <cstring>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "channel/channel.h"
#include "channel/requests.h"
#include "link/handle_table.h"
#include "link/link_defaults.h"
#include "channel/request_codes.h"

namespace tvx {
namespace {

namespace cmd = req;

inline constexpr uint32_t kIpTextBytes = 20;
inline constexpr uint32_t kMacTextBytes = 14;
inline constexpr size_t kVersionTextBytes = 16;
inline constexpr size_t kTaskTextBytes = 26;
inline constexpr size_t kStackTextBytes = 23;
inline constexpr size_t kAxisStateBytes = 17;

// A request with arguments and its zero-filled reply area.
struct Exchange {
    uint8_t request[packet::areaSize] = {};
    uint8_t reply[packet::areaSize] = {};
    Exchange(uint16_t length, uint16_t command) {
        putU16(request, length);
        putU16(request + packet::commandOffset, command);
    }
    uint8_t* args() { return request + packet::argumentsOffset; }
    const uint8_t* data() const { return reply + packet::dataOffset; }
    int32_t run(TVX_HANDLE h) { return lockedTransact(h, request, reply); }
};

int32_t sendIoWord(TVX_HANDLE h, uint16_t command, uint32_t number, uint8_t value) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    Exchange x(9, command);
    putU16(x.args(), static_cast<uint16_t>(number));
    x.args()[2] = value;
    return x.run(h);
}

int32_t readIoByte(TVX_HANDLE h, uint16_t command, uint32_t number, uint8_t* out) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    if (!out) return rc::badArgument;
    Exchange x(8, command);
    putU16(x.args(), static_cast<uint16_t>(number));
    int32_t r = x.run(h);
    if (r == rc::ok) *out = x.data()[0];
    return r;
}

int32_t readRange(TVX_HANDLE h, uint16_t command, uint32_t first, uint32_t last, int32_t* out) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    if (!out) return rc::badArgument;
    Exchange x(10, command);
    putU16(x.args(), static_cast<uint16_t>(first));
    putU16(x.args() + 2, static_cast<uint16_t>(last));
    int32_t r = x.run(h);
    if (r == rc::ok) *out = getI32(x.data());
    return r;
}

int32_t readChannelFloat(TVX_HANDLE h, uint16_t command, uint32_t channelNumber, float* out) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    if (!out) return rc::badArgument;
    Exchange x(8, command);
    putU16(x.args(), static_cast<uint16_t>(channelNumber));
    int32_t r = x.run(h);
    if (r == rc::ok) *out = getF32(x.data());
    return r;
}

int32_t requiredInt(TVX_HANDLE h, uint16_t command, int32_t* out) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    if (!out) return rc::badArgument;
    return queryInt(h, command, out);
}

}  // namespace

int32_t querySysSpecification(TVX_HANDLE h, TVX_SysSpecification* record) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    if (!record) return rc::badArgument;
    Exchange x(10, cmd::sysSpecification);
    putU32(x.args(), connectionIdentifier());
    int32_t r = x.run(h);
    if (r != rc::ok) return r;
    const uint8_t* d = x.data();
    record->b0 = d[0];
    record->b1 = d[1];
    record->b2 = d[2];
    record->b3 = d[3];
    record->axisCount = getU16(d + 4);
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
    return rc::ok;
}

}  // namespace tvx

using namespace tvx;

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_GetState(TVX_HANDLE h, uint8_t* stateOut) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    if (!stateOut) return rc::badArgument;
    return queryByte(h, cmd::state, stateOut);
}

TVX_API int32_t TVX_STDCALL TVX_GetStopPauseTaskid(TVX_HANDLE h, uint8_t* taskOut) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    if (!taskOut) return rc::badArgument;
    uint16_t word = 0;
    int32_t r = queryWord(h, cmd::state, &word);
    if (r == rc::ok) *taskOut = static_cast<uint8_t>(word >> 8);
    return r;
}

TVX_API int32_t TVX_STDCALL TVX_GetCurIpAddr(TVX_HANDLE h, char* textOut) {
    return queryData(h, cmd::currentIp, textOut, kIpTextBytes, nullptr);
}

TVX_API int32_t TVX_STDCALL TVX_GetClientId(TVX_HANDLE h, int32_t* v) { return requiredInt(h, cmd::clientId, v); }
TVX_API int32_t TVX_STDCALL TVX_GetSoftId(TVX_HANDLE h, int32_t* v) { return requiredInt(h, cmd::softId, v); }
TVX_API int32_t TVX_STDCALL TVX_GetHardId(TVX_HANDLE h, int32_t* v) { return requiredInt(h, cmd::hardId, v); }
TVX_API int32_t TVX_STDCALL TVX_GetError(TVX_HANDLE h, int32_t* v) { return requiredInt(h, cmd::error, v); }
TVX_API int32_t TVX_STDCALL TVX_GetChipId(TVX_HANDLE h, int32_t* v) { return requiredInt(h, cmd::chipId, v); }

TVX_API int32_t TVX_STDCALL TVX_GetSoftVersion(TVX_HANDLE h, uint32_t* versionOut, char* textOut,
                                               uint32_t* dateOut) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    Exchange x(6, cmd::softVersion);
    int32_t r = x.run(h);
    if (r != rc::ok) return r;
    if (versionOut) *versionOut = getU32(x.data());
    if (textOut) copyBoundedText(textOut, kVersionTextBytes, x.data() + 4, kVersionTextBytes);
    if (dateOut) *dateOut = getU32(x.data() + 20);
    return rc::ok;
}

TVX_API int32_t TVX_STDCALL TVX_SetAxisEnable(TVX_HANDLE h, uint32_t axis, uint8_t enable) {
    // The axis goes out as its low 8 bits in a 16-bit field.
    return sendIoWord(h, cmd::axisEnable, axis & 0xFFu, enable);
}

TVX_API int32_t TVX_STDCALL TVX_SetOutput(TVX_HANDLE h, uint32_t ioNumber, uint8_t state) {
    return sendIoWord(h, cmd::setOutput, ioNumber, state);
}

TVX_API int32_t TVX_STDCALL TVX_GetIn(TVX_HANDLE h, uint32_t ioNumber, uint8_t* stateOut) {
    return readIoByte(h, cmd::getIn, ioNumber, stateOut);
}

TVX_API int32_t TVX_STDCALL TVX_GetOutput(TVX_HANDLE h, uint32_t ioNumber, uint8_t* stateOut) {
    return readIoByte(h, cmd::getOutput, ioNumber, stateOut);
}

TVX_API int32_t TVX_STDCALL TVX_SetOutAll(TVX_HANDLE h, uint32_t first, uint32_t last, int32_t bits) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    Exchange x(14, cmd::setOutAll);
    putU16(x.args(), static_cast<uint16_t>(first));
    putU16(x.args() + 2, static_cast<uint16_t>(last));
    putI32(x.args() + 4, bits);
    return x.run(h);
}

TVX_API int32_t TVX_STDCALL TVX_GetInAll(TVX_HANDLE h, uint32_t first, uint32_t last, int32_t* bitsOut) {
    return readRange(h, cmd::getInAll, first, last, bitsOut);
}

TVX_API int32_t TVX_STDCALL TVX_GetOutAll(TVX_HANDLE h, uint32_t first, uint32_t last, int32_t* bitsOut) {
    return readRange(h, cmd::getOutAll, first, last, bitsOut);
}

TVX_API int32_t TVX_STDCALL TVX_SetDaOut(TVX_HANDLE h, uint32_t channelNumber, int32_t value) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    // The value comes before the channel number on the wire.
    Exchange x(12, cmd::setDaOut);
    putI32(x.args(), value);
    putU16(x.args() + 4, static_cast<uint16_t>(channelNumber));
    return x.run(h);
}

TVX_API int32_t TVX_STDCALL TVX_GetDaOut(TVX_HANDLE h, uint32_t channelNumber, float* valueOut) {
    return readChannelFloat(h, cmd::getDaOut, channelNumber, valueOut);
}

TVX_API int32_t TVX_STDCALL TVX_GetAIn(TVX_HANDLE h, uint32_t channelNumber, float* valueOut) {
    return readChannelFloat(h, cmd::getAIn, channelNumber, valueOut);
}

TVX_API int32_t TVX_STDCALL TVX_GetAxisStates(TVX_HANDLE h, uint32_t axis, uint8_t* statesOut) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    if (!statesOut) return rc::badArgument;
    Exchange x(7, cmd::axisStates);
    x.args()[0] = static_cast<uint8_t>(axis);
    int32_t r = x.run(h);
    if (r == rc::ok) std::memcpy(statesOut, x.data(), kAxisStateBytes);
    return r;
}

TVX_API int32_t TVX_STDCALL TVX_GetAxisFeatures(TVX_HANDLE h, uint32_t axis, int32_t* featuresOut) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    if (!featuresOut) return rc::badArgument;
    return queryIntWithByte(h, cmd::axisFeatures, static_cast<uint8_t>(axis), featuresOut);
}

TVX_API int32_t TVX_STDCALL TVX_GetSysSpecification(TVX_HANDLE h, TVX_SysSpecification* recordOut) {
    return querySysSpecification(h, recordOut);
}

TVX_API int32_t TVX_STDCALL TVX_GetTaskState(TVX_HANDLE h, uint32_t task, uint8_t* stateOut, uint8_t* secondOut,
                                             uint16_t* wordOut, int32_t* valueOut, char* textOut) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    Exchange x(8, cmd::taskState);
    putU16(x.args(), static_cast<uint16_t>(task));
    int32_t r = x.run(h);
    if (r != rc::ok) return r;
    const uint8_t* d = x.data();
    if (stateOut) *stateOut = d[0];
    if (secondOut) *secondOut = d[1];
    if (wordOut) *wordOut = getU16(d + 2);
    if (valueOut) *valueOut = getI32(d + 4);
    if (textOut) copyBoundedText(textOut, kTaskTextBytes, d + 8, kTaskTextBytes);
    return rc::ok;
}

TVX_API int32_t TVX_STDCALL TVX_GetTaskStackState(TVX_HANDLE h, uint32_t task, uint32_t level, uint8_t* byteOut,
                                                  int32_t* valueOut, char* textOut) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    Exchange x(10, cmd::taskStackState);
    putU16(x.args(), static_cast<uint16_t>(task));
    putU16(x.args() + 2, static_cast<uint16_t>(level));
    int32_t r = x.run(h);
    if (r != rc::ok) return r;
    const uint8_t* d = x.data();
    if (byteOut) *byteOut = d[4];
    if (valueOut) *valueOut = getI32(d);
    if (textOut) copyBoundedText(textOut, kStackTextBytes, d + 5, kStackTextBytes);
    return rc::ok;
}

TVX_API int32_t TVX_STDCALL TVX_EnumChildCard(TVX_HANDLE h, uint32_t index, TVX_ChildCard* recordOut) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    if (!recordOut) return rc::badArgument;
    Exchange x(8, cmd::childCard);
    putU16(x.args(), static_cast<uint16_t>(index));
    int32_t r = x.run(h);
    if (r != rc::ok) return r;
    const uint8_t* d = x.data();
    recordOut->id = getU32(d);
    recordOut->kind = getU16(d + 4);
    std::memcpy(recordOut->bytes, d + 6, 5);
    return rc::ok;
}

TVX_API int32_t TVX_STDCALL TVX_LowFormatNand(TVX_HANDLE h, int32_t value) {
    return requestWithInt(h, cmd::lowFormatNand, value);
}

TVX_API int32_t TVX_STDCALL TVX_ReturnDefault(TVX_HANDLE h, int32_t value) {
    return requestWithInt(h, cmd::returnDefault, value);
}

TVX_API int32_t TVX_STDCALL TVX_ResetController(TVX_HANDLE h) { return requestSimple(h, cmd::resetController); }

TVX_API int32_t TVX_STDCALL TVX_ClearLog(TVX_HANDLE h) { return requestSimple(h, cmd::clearLog); }

TVX_API int32_t TVX_STDCALL TVX_SetMac(TVX_HANDLE h, const char* text) {
    if (!isValidHandle(h)) return rc::invalidHandle;
    if (!text) return rc::badArgument;
    const size_t n = std::strlen(text) + 1;  // the terminator goes too
    if (n > 2044) return rc::badArgument;
    return requestWithData(h, cmd::setMac, text, static_cast<uint32_t>(n));
}

TVX_API int32_t TVX_STDCALL TVX_GetMac(TVX_HANDLE h, char* textOut) {
    return queryData(h, cmd::getMac, textOut, kMacTextBytes, nullptr);
}

TVX_API int32_t TVX_STDCALL TVX_CheckProgramSyntax(const char*, int32_t*) { return rc::ok; }

}  // extern "C"
