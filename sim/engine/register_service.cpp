#include "engine/register_service.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "base/bytes.h"
#include "channel/request_codes.h"
#include "engine/controller.h"

namespace tvx::sim {
namespace {

inline constexpr int32_t kStatusBadArgument = 3204;

// Arguments of both requests.
namespace register_args {
inline constexpr size_t area = 0;
inline constexpr size_t width = 1;
inline constexpr size_t count = 2;  // u16
inline constexpr size_t start = 4;  // u32
inline constexpr size_t data = 8;
}  // namespace register_args

// Area codes.
namespace area {
inline constexpr uint8_t v = 1, z = 2, x = 4, y = 5, m = 6, s = 7, d = 8, c = 9, t = 10, table = 17;
inline constexpr uint8_t da = 251, ad = 252, vrInt = 253, vr = 254;
}  // namespace area

uint32_t floatBits(double v) {
    const float f = static_cast<float>(v);
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}
double fromFloatBits(uint64_t raw) {
    const uint32_t b = static_cast<uint32_t>(raw);
    float f;
    std::memcpy(&f, &b, sizeof f);
    return f;
}
uint64_t doubleBits(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}
double fromDoubleBits(uint64_t b) {
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}
// A stored number as a 32-bit integer, saturated.
uint32_t intBits(double v) {
    const double w = std::trunc(v);
    if (!(w >= -2147483648.0)) return 0x80000000u;
    if (w > 2147483647.0) return 0x7FFFFFFFu;
    return static_cast<uint32_t>(static_cast<int32_t>(w));
}

template <class Array>
RegisterService::View wordsOf(Array& a) {
    return {a.size(), [&a](size_t i) -> uint64_t { return a[i]; },
            [&a](size_t i, uint64_t v) { a[i] = static_cast<typename Array::value_type>(v); }};
}
template <class Array>
RegisterService::View bitsOf(Array& a) {
    return {a.size(), [&a](size_t i) -> uint64_t { return a[i] ? 1 : 0; },
            [&a](size_t i, uint64_t v) { a[i] = static_cast<typename Array::value_type>(v & 1); }};
}
// Counter or timer: contacts at width 1, current values at 16 or 32 bits.
template <size_t N>
RegisterService::View counterOf(uint8_t width, std::array<uint8_t, N>& bits, std::array<int32_t, N>& values) {
    if (width == 1) return bitsOf(bits);
    if (width == 16)
        return {N, [&values](size_t i) -> uint64_t { return static_cast<uint16_t>(values[i]); },
                [&values](size_t i, uint64_t v) { values[i] = static_cast<int16_t>(static_cast<uint16_t>(v)); }};
    if (width == 32)
        return {N, [&values](size_t i) -> uint64_t { return static_cast<uint32_t>(values[i]); },
                [&values](size_t i, uint64_t v) { values[i] = static_cast<int32_t>(static_cast<uint32_t>(v)); }};
    return {};
}
RegisterService::View floatsOf(std::vector<double>& a) {
    return {a.size(), [&a](size_t i) -> uint64_t { return floatBits(a[i]); },
            [&a](size_t i, uint64_t v) { a[i] = fromFloatBits(v); }};
}

// Element k of `data` at `width` bits: bits eight to a byte from bit 0,
// wider elements little-endian.
uint64_t unpack(const uint8_t* data, uint8_t width, size_t k) {
    switch (width) {
        case 1: return (data[k / 8] >> (k % 8)) & 1u;
        case 16: return getU16(data + 2 * k);
        case 32: return getU32(data + 4 * k);
        default: return static_cast<uint64_t>(getU32(data + 8 * k)) | (static_cast<uint64_t>(getU32(data + 8 * k + 4)) << 32);
    }
}
void pack(uint8_t* data, uint8_t width, size_t k, uint64_t v) {
    switch (width) {
        case 1:
            if (v & 1) data[k / 8] = static_cast<uint8_t>(data[k / 8] | (1u << (k % 8)));
            break;
        case 16: putU16(data + 2 * k, static_cast<uint16_t>(v)); break;
        case 32: putU32(data + 4 * k, static_cast<uint32_t>(v)); break;
        default:
            putU32(data + 8 * k, static_cast<uint32_t>(v));
            putU32(data + 8 * k + 4, static_cast<uint32_t>(v >> 32));
            break;
    }
}

}  // namespace

bool RegisterService::serves(uint16_t command) const {
    return command == req::registerWrite || command == req::registerRead;
}

RegisterService::View RegisterService::view(Controller& controller, uint8_t code, uint8_t width) {
    interp::Variables& vars = controller.console().interpreter().variables();
    ControllerModel& m = controller.model();
    const auto is = [&](uint8_t c, uint8_t w) { return code == c && width == w; };
    if (is(area::d, 16)) return wordsOf(vars.modbusRegisters());
    if (is(area::m, 1)) return bitsOf(vars.modbusBits());
    if (is(area::v, 16)) return wordsOf(v_);
    if (is(area::z, 16)) return wordsOf(z_);
    if (is(area::s, 1)) return bitsOf(s_);
    if (code == area::c) return counterOf(width, counterBits_, counterValues_);
    if (code == area::t) return counterOf(width, timerBits_, timerValues_);
    if (is(area::x, 1)) return {kIoPoints, [&m](size_t i) -> uint64_t { return m.input(static_cast<int>(i)); }, nullptr};
    if (is(area::y, 1))
        return {kIoPoints, [&m](size_t i) -> uint64_t { return m.output(static_cast<int>(i)); },
                [&m](size_t i, uint64_t v) { m.setOutput(static_cast<int>(i), v & 1); }};
    if (is(area::vr, 32)) return floatsOf(vars.vr());
    if (is(area::vrInt, 32)) {
        std::vector<double>& vr = vars.vr();
        return {vr.size(), [&vr](size_t i) -> uint64_t { return intBits(vr[i]); },
                [&vr](size_t i, uint64_t v) { vr[i] = static_cast<int32_t>(static_cast<uint32_t>(v)); }};
    }
    if (is(area::table, 32)) return floatsOf(vars.table());
    if (is(area::table, 64)) {
        std::vector<double>& t = vars.table();
        return {t.size(), [&t](size_t i) { return doubleBits(t[i]); },
                [&t](size_t i, uint64_t v) { t[i] = fromDoubleBits(v); }};
    }
    if (is(area::da, 32))
        return {m.daOut.size(), [&m](size_t i) -> uint64_t { return static_cast<uint32_t>(m.daOut[i]); },
                [&m](size_t i, uint64_t v) { m.daOut[i] = static_cast<int32_t>(static_cast<uint32_t>(v)); }};
    if (is(area::ad, 32))
        return {m.analogIn.size(), [&m](size_t i) -> uint64_t { return floatBits(m.analogIn[i]); }, nullptr};
    return {};
}

void RegisterService::serve(ServiceRequest& request) {
    Reply& rep = request.reply;
    if (request.n < register_args::data) return rep.status(kStatusBadArgument);
    const uint8_t* a = request.args;
    const uint8_t width = a[register_args::width];
    const uint32_t count = getU16(a + register_args::count);
    const uint64_t start = getU32(a + register_args::start);
    const size_t bytes = (static_cast<size_t>(width) * count + 7) / 8;
    const View v = view(request.controller, a[register_args::area], width);
    if (v.size == 0 || start + count > v.size) return rep.status(kStatusBadArgument);

    if (request.command == req::registerRead) {
        if (bytes > request.room) return rep.status(kStatusBadArgument);
        uint8_t data[packet::largestPacket] = {};
        for (uint32_t k = 0; k < count; ++k) pack(data, width, k, v.get(static_cast<size_t>(start) + k));
        return rep.bytes(data, bytes);
    }
    if (!v.set || request.n != register_args::data + bytes) return rep.status(kStatusBadArgument);
    for (uint32_t k = 0; k < count; ++k) v.set(static_cast<size_t>(start) + k, unpack(a + register_args::data, width, k));
}

}  // namespace tvx::sim
