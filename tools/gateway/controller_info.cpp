#include "controller_info.h"

#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "common/system_record_bytes.h"

namespace tvx::gateway {
namespace {

using nlohmann::json;

json errorJson(int32_t code) { return {{"code", code}, {"description", tvx_describe_result(code)}}; }

std::string fieldText(const char* p, size_t width) { return std::string(p, strnlen(p, width)); }

// The system record's bytes in wire order (little-endian), as hex text.
std::string systemRecordHex(const TVX_SysSpecification& s) {
    uint8_t bytes[tool::kSystemRecordBytes];
    tool::systemRecordBytes(s, bytes);
    std::string hex;
    for (uint8_t b : bytes) {
        char t[3];
        std::snprintf(t, sizeof t, "%02x", b);
        hex += t;
    }
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
