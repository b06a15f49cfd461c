// tvx io: reads and sets digital and analog I/O.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "command.h"
#include "options.h"
#include "json_text.h"
#include "session.h"
#include "tavrix.h"

namespace tvx::tool {
namespace {

constexpr uint32_t kMaxIo = 65535;        // I/O numbers travel as 16 bits
constexpr uint32_t kMaxRange = 4096;      // points in one range read
constexpr uint32_t kPointsPerRequest = 32;
constexpr uint32_t kMaxChannel = 65535;

int runIo(const Invocation& inv);

void declareIo(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "ACTION", Arity::one, "what to read or set", "in|out|get|set|setall|ain|aout");
    addArgument(app, inv, "ARGS", Arity::any, "the action's arguments");
}

TVX_COMMAND({"io", "read and set digital and analog I/O",
             "Actions:\n"
             "  in N | in FIRST-LAST        read input N, or inputs FIRST..LAST\n"
             "  out N | out FIRST-LAST      read output N, or outputs FIRST..LAST\n"
             "  get FIRST LAST              read inputs and outputs FIRST..LAST\n"
             "  set N 0|1 [N 0|1 ...]       set outputs\n"
             "  setall FIRST LAST MASK      set outputs FIRST..LAST (at most 32) from MASK,\n"
             "                              bit 0 for FIRST (decimal or 0x...)\n"
             "  ain CH                      read analog input channel CH\n"
             "  aout CH [VALUE]             read, or set, analog output channel CH\n"
             "\n"
             "Ranges print one digit per point, first point on the left, in groups of 8.\n"
             "With tvx --json: {\"kind\":\"in\",\"first\":F,\"last\":L,\"values\":[0,1,...]} for\n"
             "in, out and setall; {\"first\",\"last\",\"in\",\"out\"} for get; {\"set\":[...]} for\n"
             "set; {\"kind\":\"ain\",\"channel\":C,\"value\":V} for ain and aout.\n"
             "Example: tvx io 127.0.0.21 set 3 1 4 1 && tvx io 127.0.0.21 out 0-7\n",
             true, declareIo, runIo});

const Command& self() { return *findCommand("io"); }

std::string bitsText(const std::vector<uint8_t>& bits) {
    std::string t;
    for (size_t i = 0; i < bits.size(); ++i) {
        if (i && i % 8 == 0) t += ' ';
        t += bits[i] ? '1' : '0';
    }
    return t;
}

// Reads points first..last with the 32-point requests.
int32_t readRange(TVX_HANDLE h, bool inputs, uint32_t first, uint32_t last, std::vector<uint8_t>* bits) {
    bits->clear();
    for (uint32_t start = first; start <= last; start += kPointsPerRequest) {
        const uint32_t end = std::min(last, start + kPointsPerRequest - 1);
        int32_t word = 0;
        const int32_t r = inputs ? TVX_GetInAll(h, start, end, &word) : TVX_GetOutAll(h, start, end, &word);
        if (r != TVX_OK) return r;
        for (uint32_t p = start; p <= end; ++p) bits->push_back((static_cast<uint32_t>(word) >> (p - start)) & 1u);
        if (end == last) break;
    }
    return TVX_OK;
}

Json jsonValues(const std::vector<uint8_t>& bits) {
    Json values = Json::array();
    for (uint8_t b : bits) values.push_back(b);
    return values;
}

// One range of points, as text or as JSON.
void printRange(bool json, const char* kind, uint32_t first, uint32_t last, const std::vector<uint8_t>& bits);

std::string rangeLabel(const char* kind, uint32_t first, uint32_t last) {
    char t[48];
    if (first == last)
        std::snprintf(t, sizeof t, "%s %u:", kind, first);
    else
        std::snprintf(t, sizeof t, "%s %u-%u:", kind, first, last);
    return t;
}

void printRange(bool json, const char* kind, uint32_t first, uint32_t last, const std::vector<uint8_t>& bits) {
    if (json) {
        const Json o = {{"kind", kind}, {"first", first}, {"last", last}, {"values", jsonValues(bits)}};
        std::printf("%s\n", jsonLine(o).c_str());
    } else if (first == last) {
        std::printf("%s %u\n", rangeLabel(kind, first, last).c_str(), bits.at(0) ? 1u : 0u);
    } else {
        std::printf("%s %s\n", rangeLabel(kind, first, last).c_str(), bitsText(bits).c_str());
    }
}

int readPoints(Session& s, bool inputs, std::string_view rangeText, bool json) {
    const char* kind = inputs ? "in" : "out";
    uint32_t first, last;
    if (!parseRange(rangeText, kMaxIo, &first, &last) || last - first >= kMaxRange)
        return usageError(self(), std::string(kind) + " needs N or FIRST-LAST (0-65535, at most 4096 points)");
    TVX_HANDLE h = s.handle();
    if (first == last) {
        uint8_t v = 0;
        const int32_t r = inputs ? TVX_GetIn(h, first, &v) : TVX_GetOutput(h, first, &v);
        if (r != TVX_OK) return reportFailure("io " + s.address() + " " + kind, r);
        printRange(json, kind, first, last, {static_cast<uint8_t>(v ? 1 : 0)});
        return kExitOk;
    }
    std::vector<uint8_t> bits;
    const int32_t r = readRange(h, inputs, first, last, &bits);
    if (r != TVX_OK) return reportFailure("io " + s.address() + " " + kind, r);
    printRange(json, kind, first, last, bits);
    return kExitOk;
}

// FIRST LAST as two arguments, spanning at most `maxPoints`.
bool parseSpan(std::string_view a, std::string_view b, uint32_t maxPoints, uint32_t* first, uint32_t* last) {
    uint64_t x, y;
    if (!parseUnsigned(a, kMaxIo, &x) || !parseUnsigned(b, kMaxIo, &y) || y < x || y - x >= maxPoints) return false;
    *first = static_cast<uint32_t>(x);
    *last = static_cast<uint32_t>(y);
    return true;
}

bool parseState(std::string_view text, uint8_t* out) {
    if (text != "0" && text != "1") return false;
    *out = text == "1" ? 1 : 0;
    return true;
}

int runIo(const Invocation& inv) {
    const auto& a = inv.args;
    if (a.size() < 2) return usageError(self(), a.empty() ? "missing ADDRESS" : "missing ACTION");
    const std::string_view action = a[1];
    const size_t n = a.size() - 2;  // arguments of the action

    // Check the whole command line before any traffic.
    uint32_t first = 0, last = 0, channel = 0;
    uint64_t value = 0;
    double analog = 0;
    std::vector<std::pair<uint32_t, uint8_t>> sets;
    if (action == "in" || action == "out") {
        if (n != 1) return usageError(self(), std::string(action) + " takes one N or FIRST-LAST");
    } else if (action == "get") {
        if (n != 2 || !parseSpan(a[2], a[3], kMaxRange, &first, &last))
            return usageError(self(), "get needs FIRST LAST with FIRST <= LAST (0-65535, at most 4096 points)");
    } else if (action == "set") {
        if (n == 0 || n % 2 != 0) return usageError(self(), "set needs pairs of N and 0|1");
        for (size_t i = 2; i < a.size(); i += 2) {
            uint8_t state;
            if (!parseUnsigned(a[i], kMaxIo, &value) || !parseState(a[i + 1], &state))
                return usageError(self(), "set needs N (0-65535) followed by 0 or 1");
            sets.emplace_back(static_cast<uint32_t>(value), state);
        }
    } else if (action == "setall") {
        if (n != 3 || !parseSpan(a[2], a[3], kPointsPerRequest, &first, &last))
            return usageError(self(), "setall needs FIRST LAST (at most 32 points) and MASK");
        if (!parseUnsigned(a[4], 0xFFFFFFFFull, &value, true))
            return usageError(self(), "MASK must be a 32-bit number, decimal or 0x...");
    } else if (action == "ain" || action == "aout") {
        if (n < 1 || n > (action == "aout" ? 2u : 1u) || !parseUnsigned(a[2], kMaxChannel, &value))
            return usageError(self(), std::string(action) + (action == "aout" ? " needs CH [VALUE]" : " needs CH"));
        channel = static_cast<uint32_t>(value);
        if (n == 2 && (!parseNumber(a[3], &analog) || analog < INT32_MIN || analog > INT32_MAX))
            return usageError(self(), "VALUE must be a whole number that fits 32 bits");
    } else {
        return usageError(self(), "unknown action '" + std::string(action) + "'");
    }

    Session s;
    if (int e = s.open(self(), a[0], inv.global)) return e;
    TVX_HANDLE h = s.handle();
    const std::string what = "io " + s.address() + " " + std::string(action);

    if (action == "in" || action == "out") return readPoints(s, action == "in", a[2], inv.global.json);
    if (action == "get") {
        std::vector<uint8_t> in, out;
        int32_t r = readRange(h, true, first, last, &in);
        if (r == TVX_OK) r = readRange(h, false, first, last, &out);
        if (r != TVX_OK) return reportFailure(what, r);
        if (inv.global.json) {
            const Json o = {{"first", first}, {"last", last}, {"in", jsonValues(in)}, {"out", jsonValues(out)}};
            std::printf("%s\n", jsonLine(o).c_str());
            return kExitOk;
        }
        std::printf("%s %s\n", rangeLabel("in ", first, last).c_str(), bitsText(in).c_str());
        std::printf("%s %s\n", rangeLabel("out", first, last).c_str(), bitsText(out).c_str());
        return kExitOk;
    }
    if (action == "set") {
        Json done = Json::array();
        for (const auto& [io, state] : sets) {
            const int32_t r = TVX_SetOutput(h, io, state);
            if (r != TVX_OK) return reportFailure(what + " " + std::to_string(io), r);
            if (inv.global.json)
                done.push_back({{"out", io}, {"value", state}});
            else
                std::printf("out %u: %u\n", io, static_cast<unsigned>(state));
        }
        if (inv.global.json) std::printf("%s\n", jsonLine({{"set", done}}).c_str());
        return kExitOk;
    }
    if (action == "setall") {
        const int32_t r = TVX_SetOutAll(h, first, last, static_cast<int32_t>(static_cast<uint32_t>(value)));
        if (r != TVX_OK) return reportFailure(what, r);
        std::vector<uint8_t> bits;
        for (uint32_t p = first; p <= last; ++p) bits.push_back((value >> (p - first)) & 1u);
        printRange(inv.global.json, "out", first, last, bits);
        return kExitOk;
    }
    // Analog channels.
    float reading = 0;
    if (action == "aout" && n == 2) {
        const int32_t r = TVX_SetDaOut(h, channel, static_cast<int32_t>(analog));
        if (r != TVX_OK) return reportFailure(what, r);
    }
    const int32_t r = action == "ain" ? TVX_GetAIn(h, channel, &reading) : TVX_GetDaOut(h, channel, &reading);
    if (r != TVX_OK) return reportFailure(what, r);
    const char* kind = action == "ain" ? "ain" : "aout";
    if (inv.global.json)
        std::printf("%s\n",
                    jsonLine({{"kind", kind}, {"channel", channel}, {"value", jsonNumber(static_cast<double>(reading))}}).c_str());
    else
        std::printf("%s %u: %g\n", kind, channel, static_cast<double>(reading));
    return kExitOk;
}

}  // namespace
}  // namespace tvx::tool
