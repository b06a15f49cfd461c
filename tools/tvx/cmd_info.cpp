// tvx info: what a controller says about itself.
#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "common/system_record_bytes.h"
#include "options.h"
#include "json_text.h"
#include "session.h"
#include "tavrix.h"

namespace tvx::tool {
namespace {


int runInfo(const Invocation& inv);

void declareInfo(CLI::App& app, Invocation& inv) { addAddress(app, inv); }

TVX_COMMAND({"info", "show a controller's state, identities, version, axes and system record",
             "Opens the controller at ADDRESS (a.b.c.d, COMn or PCI<n>) and prints what it reports\n"
             "about itself. A value the controller does not provide is shown as unavailable.\n"
             "With tvx --json: one object; an unavailable value is {\"error\":{\"code\",\"description\"}}.\n",
             true, declareInfo, runInfo});

// Bounded text of a fixed field that may lack its terminator.
std::string fieldText(const char* p, size_t width) { return std::string(p, strnlen(p, width)); }

class Report {
public:
    explicit Report(const Session& s) : session_(s) {}

    // Prints "label  value" on success or "label  unavailable: ..." for a
    // controller status. False when the link is gone and the report must stop.
    template <typename Format>
    bool line(const char* label, int32_t result, Format format) {
        if (result == TVX_OK) {
            std::printf("%-14s %s\n", label, format().c_str());
            return true;
        }
        failed_ = true;
        if (linkLost(result)) {
            std::fflush(stdout);
            reportFailure("info " + session_.address(), result);
            lost_ = true;
            return false;
        }
        std::printf("%-14s unavailable: %s (%d)\n", label, TVX_DescribeResult(result), result);
        return true;
    }
    bool failed() const { return failed_; }
    bool lost() const { return lost_; }

private:
    const Session& session_;
    bool failed_ = false;
    bool lost_ = false;
};

std::string hex32(int32_t v) {
    char t[16];
    std::snprintf(t, sizeof t, "0x%08X", static_cast<uint32_t>(v));
    return t;
}

// The same report as one JSON object. Exit status 1 when any item failed;
// a lost link ends the object early with the failure under "error".
int infoJson(const Session& session) {
    TVX_HANDLE h = session.handle();
    Json o = {{"controller", session.address()}};
    bool failed = false;
    int32_t lost = TVX_OK;
    // Adds `key` with `json` on success, or the failure; false once the link is lost.
    auto item = [&](const char* key, int32_t result, auto json) {
        if (result == TVX_OK) {
            o[key] = json();
            return true;
        }
        failed = true;
        if (linkLost(result)) {
            o["error"] = jsonError(result);
            lost = result;
            return false;
        }
        o[key] = {{"error", jsonError(result)}};
        return true;
    };
    auto number = [](auto v) { return Json(v); };
    uint8_t state = 0, task = 0;
    char ip[21] = {}, mac[15] = {}, versionText[17] = {};
    uint32_t version = 0, date = 0;
    int32_t softId = 0, hardId = 0, clientId = 0, chipId = 0, error = 0;
    TVX_SysSpecification sysRecord{};
    const bool complete =
        item("state", TVX_GetState(h, &state), [&] { return number(state); }) &&
        item("stoppedTask", TVX_GetStopPauseTaskid(h, &task), [&] { return number(task); }) &&
        item("ipAddress", TVX_GetCurIpAddr(h, ip), [&] { return jsonText(fieldText(ip, 20)); }) &&
        item("macAddress", TVX_GetMac(h, mac), [&] { return jsonText(fieldText(mac, 14)); }) &&
        item("softVersion", TVX_GetSoftVersion(h, &version, versionText, &date), [&] {
            return Json{{"text", jsonText(fieldText(versionText, 16))}, {"version", version}, {"date", date}};
        }) &&
        item("softId", TVX_GetSoftId(h, &softId), [&] { return number(softId); }) &&
        item("hardId", TVX_GetHardId(h, &hardId), [&] { return number(hardId); }) &&
        item("clientId", TVX_GetClientId(h, &clientId), [&] { return number(clientId); }) &&
        item("chipId", TVX_GetChipId(h, &chipId), [&] { return number(chipId); }) &&
        item("errorCode", TVX_GetError(h, &error), [&] { return number(error); }) &&
        item("axes", TVX_OK, [&] { return number(static_cast<unsigned>(TVX_GetAxises(h))); }) &&
        item("systemRecord", TVX_GetSysSpecification(h, &sysRecord), [&] {
            uint8_t bytes[kSystemRecordBytes];
            systemRecordBytes(sysRecord, bytes);
            std::string hex;
            for (uint8_t b : bytes) {
                char t[3];
                std::snprintf(t, sizeof t, "%02x", b);
                hex += t;
            }
            return Json{{"axisCount", sysRecord.axisCount}, {"bytes", hex}};
        });
    std::printf("%s\n", jsonLine(o).c_str());
    if (!complete) return reportFailure("info " + session.address(), lost);
    return failed ? kExitFailure : kExitOk;
}

int runInfo(const Invocation& inv) {
    const Command& self = *findCommand("info");
    Session session;
    if (int e = session.open(self, inv.args[0], inv.global)) return e;
    if (inv.global.json) return infoJson(session);
    TVX_HANDLE h = session.handle();
    Report out(session);

    std::printf("%-14s %s\n", "controller", session.address().c_str());
    uint8_t state = 0, task = 0;
    if (!out.line("state", TVX_GetState(h, &state), [&] { return std::to_string(state); })) return kExitFailure;
    if (!out.line("stopped task", TVX_GetStopPauseTaskid(h, &task), [&] { return std::to_string(task); }))
        return kExitFailure;
    char ip[21] = {};
    if (!out.line("ip address", TVX_GetCurIpAddr(h, ip), [&] { return fieldText(ip, 20); })) return kExitFailure;
    char mac[15] = {};
    if (!out.line("mac address", TVX_GetMac(h, mac), [&] { return fieldText(mac, 14); })) return kExitFailure;
    uint32_t version = 0, date = 0;
    char versionText[17] = {};
    if (!out.line("soft version", TVX_GetSoftVersion(h, &version, versionText, &date), [&] {
            char t[96];
            std::snprintf(t, sizeof t, "%s (0x%08X, date %u)", fieldText(versionText, 16).c_str(), version, date);
            return std::string(t);
        }))
        return kExitFailure;
    struct Identity {
        const char* label;
        int32_t (*query)(TVX_HANDLE, int32_t*);
    };
    const Identity identities[] = {{"soft id", TVX_GetSoftId},
                                   {"hard id", TVX_GetHardId},
                                   {"client id", TVX_GetClientId},
                                   {"chip id", TVX_GetChipId}};
    for (const Identity& id : identities) {
        int32_t v = 0;
        if (!out.line(id.label, id.query(h, &v), [&] { return hex32(v); })) return kExitFailure;
    }
    int32_t error = 0;
    if (!out.line("error code", TVX_GetError(h, &error), [&] { return std::to_string(error); })) return kExitFailure;
    std::printf("%-14s %u\n", "axes", static_cast<unsigned>(TVX_GetAxises(h)));

    TVX_SysSpecification sysRecord{};
    const int32_t sysRecordResult = TVX_GetSysSpecification(h, &sysRecord);
    if (!out.line("system record", sysRecordResult, [&] { return std::to_string(sysRecord.axisCount) + " axes; record:"; }))
        return kExitFailure;
    if (sysRecordResult == TVX_OK) {
        uint8_t bytes[kSystemRecordBytes];
        systemRecordBytes(sysRecord, bytes);
        for (size_t row = 0; row < kSystemRecordBytes; row += 16) {
            std::printf("  %02zu:", row);
            for (size_t i = row; i < row + 16 && i < kSystemRecordBytes; ++i) std::printf(" %02X", bytes[i]);
            std::printf("\n");
        }
    }
    return out.failed() ? kExitFailure : kExitOk;
}

}  // namespace
}  // namespace tvx::tool
