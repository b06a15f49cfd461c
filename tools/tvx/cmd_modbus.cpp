// tvx modbus and tvx reg: coils and holding registers through the standard
// Modbus functions, and the controller's named register areas.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "args.h"
#include "command.h"
#include "json_text.h"
#include "options.h"
#include "session.h"
#include "tavrix.h"

namespace tvx::tool {
namespace {

constexpr uint64_t kMaxAddress = 65535;
constexpr uint64_t kMaxReadCoils = 2000;
constexpr uint64_t kMaxWriteCoils = 1968;
constexpr uint64_t kMaxReadRegisters = 125;
constexpr uint64_t kMaxWriteRegisters = 123;
constexpr size_t kMaxAreaBytes = 992;  // the most one register access moves

int runModbus(const Invocation& inv);
int runReg(const Invocation& inv);

uint64_t g_width = 16;

void declareModbus(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "ACTION", Arity::one, "read or write", "read|write");
    addArgument(app, inv, "AREA", Arity::one, "coils or holding registers", "coils|regs");
    addArgument(app, inv, "START", Arity::one, "the first address, 0-65535");
    addArgument(app, inv, "COUNT", Arity::one, "how many");
    addArgument(app, inv, "VALUES", Arity::any, "COUNT values to write");
}

void declareReg(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "AREA", Arity::one, "the area's name", "D|V|Z|M|S|X|Y|C|T|VR|TABLE|AD|VR_INT|DA|DT");
    addArgument(app, inv, "START", Arity::one, "the first element");
    addArgument(app, inv, "COUNT", Arity::one, "how many elements, 1-65535");
    addArgument(app, inv, "VALUES", Arity::any, "COUNT values to write; none to read");
    addNumber(app, "--width", &g_width, 0, 255, "N", "element width in bits where the area has several (C, T, DT)",
              "--width must be 0-255");
}

TVX_COMMAND({"modbus", "read and write Modbus coils and holding registers",
             "  read coils START COUNT            COUNT coils (1-2000), printed as digits\n"
             "  read regs START COUNT             COUNT holding registers (1-125)\n"
             "  write coils START COUNT V...      COUNT values of 0 or 1 (at most 1968)\n"
             "  write regs START COUNT V...       COUNT values, 0-65535 or -32768..-1 (at most 123)\n"
             "\n"
             "One coil or register is written with function 5 or 6, more with 15 or 16.\n"
             "With tvx --json: {\"area\":\"coils\"|\"regs\",\"start\":S,\"values\":[...]}.\n"
             "Example: tvx modbus 127.0.0.21 write regs 0 2 10 20 && tvx modbus 127.0.0.21 read regs 0 2\n",
             true, declareModbus, runModbus});

TVX_COMMAND({"reg", "read and write the controller's named register areas",
             "Areas (exact names): D V Z (16-bit), M S X Y (bits), C T (--width 1, 16 or 32;\n"
             "16 when not given), VR TABLE AD (floats), VR_INT DA (32-bit integers),\n"
             "DT (floats; --width 64 for doubles). X and AD are read only.\n"
             "Without VALUES the elements are read; with COUNT values they are written.\n"
             "With tvx --json: {\"area\":\"VR\",\"start\":S,\"values\":[...]}.\n"
             "Example: tvx reg 127.0.0.21 VR 0 2 1.5 -3 && tvx reg 127.0.0.21 VR 0 2\n",
             true, declareReg, runReg});

const Command& modbusCommand() { return *findCommand("modbus"); }
const Command& regCommand() { return *findCommand("reg"); }

std::string bitsText(const uint8_t* bits, size_t count) {
    std::string t;
    for (size_t i = 0; i < count; ++i) {
        if (i && i % 8 == 0) t += ' ';
        t += (bits[i / 8] >> (i % 8)) & 1 ? '1' : '0';
    }
    return t;
}

std::string spanLabel(const char* kind, uint64_t start, uint64_t count) {
    char t[64];
    if (count == 1)
        std::snprintf(t, sizeof t, "%s %llu:", kind, static_cast<unsigned long long>(start));
    else
        std::snprintf(t, sizeof t, "%s %llu-%llu:", kind, static_cast<unsigned long long>(start),
                      static_cast<unsigned long long>(start + count - 1));
    return t;
}

// A register value: 0..65535, or -32768..-1 as its 16-bit pattern.
bool parseRegister(std::string_view text, uint16_t* out) {
    double v;
    if (!parseNumber(text, &v) || v != std::trunc(v) || v < -32768 || v > 65535) return false;
    *out = static_cast<uint16_t>(static_cast<int32_t>(v));
    return true;
}

int runModbus(const Invocation& inv) {
    const Command& self = modbusCommand();
    const auto& a = inv.args;
    if (a.size() < 5) return usageError(self, "needs ADDRESS read|write coils|regs START COUNT");
    const bool write = a[1] == "write";
    const bool coils = a[2] == "coils";
    if (!write && a[1] != "read") return usageError(self, "the action is read or write");
    if (!coils && a[2] != "regs") return usageError(self, "the area is coils or regs");
    const uint64_t maxCount = coils ? (write ? kMaxWriteCoils : kMaxReadCoils) : (write ? kMaxWriteRegisters : kMaxReadRegisters);
    uint64_t start, count;
    if (!parseUnsigned(a[3], kMaxAddress, &start)) return usageError(self, "START must be 0-65535");
    if (!parseUnsigned(a[4], maxCount, &count) || count == 0)
        return usageError(self, "COUNT must be 1-" + std::to_string(maxCount));
    const size_t values = a.size() - 5;
    if (!write && values != 0) return usageError(self, "read takes no VALUES");
    if (write && values != count) return usageError(self, "write needs COUNT values");

    std::vector<uint8_t> bits((count + 7) / 8, 0);
    std::vector<uint16_t> words(count, 0);
    for (size_t i = 0; write && i < values; ++i) {
        const std::string_view v = a[5 + i];
        if (coils) {
            if (v != "0" && v != "1") return usageError(self, "coil values are 0 or 1");
            if (v == "1") bits[i / 8] = static_cast<uint8_t>(bits[i / 8] | (1u << (i % 8)));
        } else if (!parseRegister(v, &words[i])) {
            return usageError(self, "register values are 0-65535 or -32768..-1");
        }
    }

    Session s;
    if (int e = s.open(self, a[0], inv.global)) return e;
    const auto s16 = static_cast<uint16_t>(start), c16 = static_cast<uint16_t>(count);
    int32_t r;
    if (coils)
        r = write ? TVX_Modbus_Set0x(s.handle(), s16, c16, bits.data()) : TVX_Modbus_Get0x(s.handle(), s16, c16, bits.data());
    else
        r = write ? TVX_Modbus_Set4x(s.handle(), s16, c16, words.data()) : TVX_Modbus_Get4x(s.handle(), s16, c16, words.data());
    if (r != TVX_OK) return reportFailure("modbus " + s.address() + " " + std::string(a[1]) + " " + std::string(a[2]), r);
    if (inv.global.json) {
        Json values = Json::array();
        for (size_t i = 0; i < count; ++i)
            values.push_back(coils ? Json((bits[i / 8] >> (i % 8)) & 1) : Json(words[i]));
        std::printf("%s\n", jsonLine({{"area", coils ? "coils" : "regs"}, {"start", start}, {"values", values}}).c_str());
    } else if (coils) {
        std::printf("%s %s\n", spanLabel("coils", start, count).c_str(), bitsText(bits.data(), count).c_str());
    } else {
        std::printf("%s", spanLabel("regs", start, count).c_str());
        for (uint16_t w : words) std::printf(" %u", static_cast<unsigned>(w));
        std::printf("\n");
    }
    return kExitOk;
}

// How tvx shows an area's elements.
enum class Shown { bits, signed16, signed32, float32, float64 };

struct AreaForm {
    uint8_t width;
    Shown shown;
};

// The element form of an area as the library will send it; unknown names
// go to the library as they are, which refuses them.
AreaForm formOf(std::string_view name, uint64_t width) {
    if (name == "M" || name == "S" || name == "X" || name == "Y") return {1, Shown::bits};
    if (name == "VR" || name == "TABLE" || name == "AD") return {32, Shown::float32};
    if (name == "VR_INT" || name == "DA") return {32, Shown::signed32};
    if (name == "DT") return width == 64 ? AreaForm{64, Shown::float64} : AreaForm{32, Shown::float32};
    if (name == "C" || name == "T") {
        if (width == 1) return {1, Shown::bits};
        if (width == 32) return {32, Shown::signed32};
        return {static_cast<uint8_t>(width), Shown::signed16};
    }
    return {16, Shown::signed16};
}

bool putValue(std::string_view text, const AreaForm& f, size_t k, uint8_t* data) {
    double v;
    if (!parseNumber(text, &v)) return false;
    switch (f.shown) {
        case Shown::bits:
            if (v != 0 && v != 1) return false;
            if (v == 1) data[k / 8] = static_cast<uint8_t>(data[k / 8] | (1u << (k % 8)));
            return true;
        case Shown::signed16: {
            uint16_t w;
            if (!parseRegister(text, &w)) return false;
            std::memcpy(data + 2 * k, &w, 2);  // the library's hosts are little-endian, as the controller
            return true;
        }
        case Shown::signed32: {
            if (v != std::trunc(v) || v < -2147483648.0 || v > 2147483647.0) return false;
            const int32_t i = static_cast<int32_t>(v);
            std::memcpy(data + 4 * k, &i, 4);
            return true;
        }
        case Shown::float32: {
            const float x = static_cast<float>(v);
            std::memcpy(data + 4 * k, &x, 4);
            return true;
        }
        case Shown::float64:
            std::memcpy(data + 8 * k, &v, 8);
            return true;
    }
    return false;
}

std::string valueText(const AreaForm& f, const uint8_t* data, size_t k) {
    char t[40];
    switch (f.shown) {
        case Shown::bits: return (data[k / 8] >> (k % 8)) & 1 ? "1" : "0";
        case Shown::signed16: {
            int16_t i;
            std::memcpy(&i, data + 2 * k, 2);
            std::snprintf(t, sizeof t, "%d", i);
            break;
        }
        case Shown::signed32: {
            int32_t i;
            std::memcpy(&i, data + 4 * k, 4);
            std::snprintf(t, sizeof t, "%d", i);
            break;
        }
        case Shown::float32: {
            float x;
            std::memcpy(&x, data + 4 * k, 4);
            std::snprintf(t, sizeof t, "%.9g", static_cast<double>(x));
            break;
        }
        case Shown::float64: {
            double x;
            std::memcpy(&x, data + 8 * k, 8);
            std::snprintf(t, sizeof t, "%.17g", x);
            break;
        }
    }
    return t;
}

int runReg(const Invocation& inv) {
    const Command& self = regCommand();
    const std::vector<std::string>& rest = inv.args;
    if (rest.size() < 4) return usageError(self, "needs ADDRESS AREA START COUNT");
    const uint64_t width = g_width;
    uint64_t start, count;
    if (!parseUnsigned(rest[2], 0xFFFFFFFFull, &start)) return usageError(self, "START must be a 32-bit number");
    if (!parseUnsigned(rest[3], 65535, &count) || count == 0) return usageError(self, "COUNT must be 1-65535");
    const std::string area(rest[1]);
    const AreaForm form = formOf(area, width);
    const size_t bytes = (static_cast<size_t>(form.width) * count + 7) / 8;
    if (bytes > kMaxAreaBytes) return usageError(self, "at most " + std::to_string(kMaxAreaBytes) + " bytes at once");
    const size_t values = rest.size() - 4;
    if (values != 0 && values != count) return usageError(self, "write needs COUNT values");
    std::vector<uint8_t> data(bytes + 8, 0);
    for (size_t k = 0; k < values; ++k)
        if (!putValue(rest[4 + k], form, k, data.data()))
            return usageError(self, "value '" + std::string(rest[4 + k]) + "' does not fit area " + area);

    Session s;
    if (int e = s.open(self, rest[0], inv.global)) return e;
    const auto w8 = static_cast<uint8_t>(width);
    const auto c16 = static_cast<uint16_t>(count);
    const auto s32 = static_cast<uint32_t>(start);
    const int32_t r = values ? TVX_RegisterWrite(s.handle(), area.c_str(), w8, s32, c16, data.data())
                             : TVX_RegisterRead(s.handle(), area.c_str(), w8, s32, c16, data.data());
    if (r != TVX_OK) return reportFailure("reg " + s.address() + " " + area, r);
    if (inv.global.json) {
        Json shown = Json::array();
        for (size_t k = 0; k < count; ++k)
            shown.push_back(jsonNumber(std::strtod(valueText(form, data.data(), k).c_str(), nullptr), 17));
        std::printf("%s\n", jsonLine({{"area", jsonText(area)}, {"start", start}, {"values", shown}}).c_str());
        return kExitOk;
    }
    std::printf("%s", spanLabel(area.c_str(), start, count).c_str());
    for (size_t k = 0; k < count; ++k) std::printf(" %s", valueText(form, data.data(), k).c_str());
    std::printf("\n");
    return kExitOk;
}

}  // namespace
}  // namespace tvx::tool
