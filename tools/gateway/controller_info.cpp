#include "controller_info.h"

#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

namespace tvx::gateway {
namespace {

using nlohmann::json;

json errorJson(int32_t code) { return {{"code", code}, {"description", tvx_describe_result(code)}}; }

std::string fieldText(const char* p, size_t width) { return std::string(p, strnlen(p, width)); }

// The system record's bytes in wire order (little-endian), as hex text.
std::string systemRecordHex(const TVX_SysSpecification& s) {
    std::string hex;
    auto u8 = [&](uint8_t v) {
        char t[3];
        std::snprintf(t, sizeof t, "%02x", v);
        hex += t;
    };
    auto u16 = [&](uint16_t v) { u8(static_cast<uint8_t>(v)), u8(static_cast<uint8_t>(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(static_cast<uint16_t>(v)), u16(static_cast<uint16_t>(v >> 16)); };
    u8(s.b0), u8(s.b1), u8(s.b2), u8(s.b3);
    u16(s.axisCount);
    for (uint8_t b : s.b6) u8(b);
    u32(s.u12), u32(s.u16), u32(s.u20);
    u16(s.w24), u16(s.w26), u16(s.w28);
    u8(s.b30), u8(s.b31);
    u32(s.u32), u32(s.u36);
    for (uint16_t w : s.w40) u16(w);
    u32(s.u48);
    u16(s.w52);
    for (uint8_t b : s.b54) u8(b);
    return hex;
}

}  // namespace

bool linkLost(int32_t code) {
    return code == TVX_CH_NO_REPLY || code == TVX_ERR_NOT_OPEN || code == TVX_ERR_LINK_WRITE ||
           code == TVX_ERR_INVALID_HANDLE;
}

bool controllerInfoJson(TVX_HANDLE h, const std::string& address, std::string* out, int32_t* lost) {
    json o = json::object();
    o["controller"] = address;
    *lost = TVX_OK;
    auto item = [&](const char* key, int32_t result, auto value) {
        if (result == TVX_OK) {
            o[key] = value();
            return true;
        }
        if (linkLost(result)) {
            *lost = result;
            return false;
        }
        o[key] = {{"error", errorJson(result)}};
        return true;
    };
    uint8_t state = 0, task = 0;
    char ip[21] = {}, mac[15] = {}, versionText[17] = {};
    uint32_t version = 0, date = 0;
    int32_t softId = 0, hardId = 0, clientId = 0, chipId = 0, error = 0;
    TVX_SysSpecification record{};
    const bool complete =
        item("state", TVX_GetState(h, &state), [&] { return json(state); }) &&
        item("stoppedTask", TVX_GetStopPauseTaskid(h, &task), [&] { return json(task); }) &&
        item("ipAddress", TVX_GetCurIpAddr(h, ip), [&] { return json(fieldText(ip, 20)); }) &&
        item("macAddress", TVX_GetMac(h, mac), [&] { return json(fieldText(mac, 14)); }) &&
        item("softVersion", TVX_GetSoftVersion(h, &version, versionText, &date), [&] {
            return json{{"text", fieldText(versionText, 16)}, {"version", version}, {"date", date}};
        }) &&
        item("softId", TVX_GetSoftId(h, &softId), [&] { return json(softId); }) &&
        item("hardId", TVX_GetHardId(h, &hardId), [&] { return json(hardId); }) &&
        item("clientId", TVX_GetClientId(h, &clientId), [&] { return json(clientId); }) &&
        item("chipId", TVX_GetChipId(h, &chipId), [&] { return json(chipId); }) &&
        item("errorCode", TVX_GetError(h, &error), [&] { return json(error); }) &&
        item("axes", TVX_OK, [&] { return json(static_cast<unsigned>(TVX_GetAxises(h))); }) &&
        item("systemRecord", TVX_GetSysSpecification(h, &record), [&] {
            return json{{"axisCount", record.axisCount}, {"bytes", systemRecordHex(record)}};
        });
    *out = o.dump(-1, ' ', false, json::error_handler_t::replace);
    return complete;
}

}  // namespace tvx::gateway
