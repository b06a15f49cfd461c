#include "engine/cycle_upload_service.h"

#include <algorithm>
#include <cmath>

#include "base/bytes.h"
#include "channel/request_codes.h"
#include "engine/controller.h"
#include "interpreter/variables.h"

namespace tvx::sim {
namespace {

inline constexpr int32_t kStatusBadArgument = 3204;
inline constexpr int32_t kStatusNotEnabled = 3204;
inline constexpr size_t kMaxItems = 32;
// Uploads running at once, over every host and buffer: each costs a
// pushed packet per cycle.
inline constexpr size_t kMaxUploads = 64;
// A block travels in one pushed packet after its header and buffer byte.
inline constexpr uint32_t kMaxBlock = packet::largestPacket - packet::replyHeaderLength - 1;
inline constexpr uint8_t kFloat = 0x80;
inline constexpr uint8_t kUnsigned = 0x40;
inline constexpr uint8_t kEveryBuffer = 0xFF;
// Axes travel between these positions (in units).
inline constexpr double kTravel = 1000.0;

// Arguments of requests 427 and 428.
namespace cycle_enable_args {
inline constexpr size_t buffer = 0;
inline constexpr size_t enable = 1;
inline constexpr size_t cycle = 2;
inline constexpr size_t text = 6;
}  // namespace cycle_enable_args

int32_t signedDistance(uint32_t to, uint32_t from) { return static_cast<int32_t>(to - from); }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ','; }
bool startsName(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool continuesName(char c) { return startsName(c) || (c >= '0' && c <= '9'); }

// The controller's reading of an item text: names with an optional
// "(first)" or "(first, count)", separated by blanks, commas, line breaks
// and continuation underscores.
struct ParsedItem {
    std::string name;  // upper-cased
    uint32_t first = 0;
    uint32_t count = 1;
};

bool readNumber(const std::string& t, size_t& i, uint32_t* v) {
    while (i < t.size() && t[i] == ' ') ++i;
    if (i >= t.size() || t[i] < '0' || t[i] > '9') return false;
    uint64_t n = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
        n = n * 10 + static_cast<uint64_t>(t[i++] - '0');
        if (n > 0xFFFFFFFFu) return false;
    }
    while (i < t.size() && t[i] == ' ') ++i;
    *v = static_cast<uint32_t>(n);
    return true;
}

bool parseItems(const std::string& t, std::vector<ParsedItem>& items) {
    size_t i = 0;
    for (;;) {
        while (i < t.size() && (isBlank(t[i]) || (t[i] == '_' && (i + 1 == t.size() || isBlank(t[i + 1]))))) ++i;
        if (i == t.size()) return true;
        if (!startsName(t[i])) return false;
        ParsedItem item;
        while (i < t.size() && continuesName(t[i])) {
            char c = t[i++];
            item.name += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
        while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
        if (i < t.size() && t[i] == '(') {
            ++i;
            if (!readNumber(t, i, &item.first)) return false;
            if (i < t.size() && t[i] == ',') {
                ++i;
                if (!readNumber(t, i, &item.count) || item.count == 0) return false;
            }
            if (i >= t.size() || t[i] != ')') return false;
            ++i;
        }
        items.push_back(std::move(item));
    }
}

bool fits(uint32_t first, uint32_t count, size_t size) { return uint64_t{first} + count <= size; }

}  // namespace

bool CycleUploadService::serves(uint16_t command) const {
    return command == req::cycleUpload || command == req::cycleForceOnce;
}

CycleUploadService::Upload* CycleUploadService::find(uint64_t origin, uint8_t buffer) {
    for (Upload& u : uploads_)
        if (u.origin == origin && u.buffer == buffer) return &u;
    return nullptr;
}

void CycleUploadService::disable(uint64_t origin, uint8_t buffer) {
    std::erase_if(uploads_, [&](const Upload& u) {
        return u.origin == origin && (buffer == kEveryBuffer || u.buffer == buffer);
    });
}

void CycleUploadService::serve(ServiceRequest& r) {
    if (r.command == req::cycleForceOnce) {
        PushedPacket p;
        if (r.n < 1 || !blockPacket(r.controller, r.origin, r.args[cycle_enable_args::buffer], p)) {
            r.reply.status(kStatusNotEnabled);
            return;
        }
        r.reply.bytes(p.data.data(), p.data.size());
        return;
    }
    if (r.n < cycle_enable_args::text) {
        r.reply.status(kStatusBadArgument);
        return;
    }
    if (r.args[cycle_enable_args::enable] == 0) {
        ++r.controller.model().cycleUploadDisables;
        disable(r.origin, r.args[cycle_enable_args::buffer]);
        return;
    }
    const int32_t status = enable(r);
    if (status != 0) r.reply.status(status);
}

int32_t CycleUploadService::enable(ServiceRequest& r) {
    const uint8_t buffer = r.args[cycle_enable_args::buffer];
    disable(r.origin, buffer);
    const char* text = reinterpret_cast<const char*>(r.args + cycle_enable_args::text);
    std::vector<ParsedItem> parsed;
    if (!parseItems(std::string(text, strnlen(text, r.n - cycle_enable_args::text)), parsed) || parsed.size() > kMaxItems)
        return kStatusBadArgument;
    if (uploads_.size() >= kMaxUploads) return kStatusBadArgument;

    interp::Variables& vars = r.controller.console().interpreter().variables();
    vars.setAxisCount(r.controller.model().axisCount);
    Upload u{r.origin, buffer, std::max(getU32(r.args + cycle_enable_args::cycle), kMinCycleMs), 0, false, {}, 0};
    for (const ParsedItem& p : parsed) {
        Item item{Source::vr, {}, 0, p.first, p.count, kFloat, 32};
        bool ok = true;
        if (p.name == "VR") {
            ok = fits(p.first, p.count, interp::kVrCount);
        } else if (p.name == "TABLE") {
            item.source = Source::table;
            ok = fits(p.first, p.count, interp::kTableCount);
        } else if (p.name == "IN" || p.name == "OP") {
            item.source = p.name == "IN" ? Source::input : Source::output;
            item.type = 0;
            item.bits = 1;
            ok = fits(p.first, p.count, kIoPoints);
        } else if (p.name == "MODBUS_REG") {
            item.source = Source::reg;
            item.type = kUnsigned;
            item.bits = 16;
            ok = fits(p.first, p.count, interp::kModbusRegisters);
        } else if (p.name == "TICKS") {
            item.source = Source::ticks;
            item.type = kUnsigned;
            item.first = 0;
            item.count = 1;
        } else if (auto param = interp::findAxisParam(p.name)) {
            item.source = Source::axis;
            item.axisParam = static_cast<int>(*param);
            item.bits = 64;
            ok = fits(p.first, p.count, static_cast<size_t>(vars.axisCount()));
        } else if (interp::Named* named = vars.find(p.name)) {
            item.source = Source::named;
            item.name = p.name;
            if (!named->isArray) item.first = 0, item.count = 1;
            ok = fits(item.first, item.count, named->values.size());
        } else {
            ok = false;
        }
        if (!ok || item.first > 0xFFFF || item.count > 0xFFFF) return kStatusBadArgument;
        u.blockLength += (item.count * item.bits + 7) / 8;
        if (u.blockLength > kMaxBlock) return kStatusBadArgument;
        u.items.push_back(std::move(item));
    }
    r.reply.u16(static_cast<uint16_t>(u.items.size()));
    r.reply.u16(static_cast<uint16_t>(u.blockLength));
    for (const Item& item : u.items) {
        r.reply.u16(static_cast<uint16_t>(item.first));
        r.reply.u16(static_cast<uint16_t>(item.count));
        r.reply.u8(item.type);
        r.reply.u8(item.bits);
    }
    uploads_.push_back(std::move(u));
    return 0;
}

void CycleUploadService::buildBlock(Controller& c, const Upload& u, std::vector<uint8_t>& block) const {
    interp::Variables& vars = c.console().interpreter().variables();
    const ControllerModel& m = c.model();
    block.assign(u.blockLength, 0);
    uint8_t* p = block.data();
    for (const Item& item : u.items) {
        for (uint32_t k = 0; k < item.count; ++k) {
            const uint32_t at = item.first + k;
            switch (item.source) {
                case Source::vr:
                    putF32(p + 4 * k, static_cast<float>(vars.vr()[at]));
                    break;
                case Source::table:
                    putF32(p + 4 * k, static_cast<float>(vars.table()[at]));
                    break;
                case Source::named: {
                    const interp::Named* named = vars.find(item.name);
                    const double v = named && at < named->values.size() ? named->values[at] : 0.0;
                    putF32(p + 4 * k, static_cast<float>(v));
                    break;
                }
                case Source::axis:
                    putF64(p + 8 * k, vars.axisValue(static_cast<int>(at), static_cast<interp::AxisParam>(item.axisParam)));
                    break;
                case Source::input:
                case Source::output:
                    if (item.source == Source::input ? m.input(static_cast<int>(at)) : m.output(static_cast<int>(at)))
                        p[k / 8] = static_cast<uint8_t>(p[k / 8] | (1u << (k % 8)));
                    break;
                case Source::reg:
                    putU16(p + 2 * k, vars.modbusRegisters()[at]);
                    break;
                case Source::ticks:
                    putU32(p, ticks_);
                    break;
            }
        }
        p += (item.count * item.bits + 7) / 8;
    }
}

bool CycleUploadService::blockPacket(Controller& c, uint64_t origin, uint8_t buffer, PushedPacket& out) {
    const Upload* u = find(origin, buffer);
    if (!u) return false;
    std::vector<uint8_t> block;
    buildBlock(c, *u, block);
    out.origin = origin;
    out.command = req::pushedCycleBlock;
    out.value = 0;
    out.data.clear();
    out.data.reserve(block.size() + 1);
    out.data.push_back(buffer);
    out.data.insert(out.data.end(), block.begin(), block.end());
    return true;
}

void CycleUploadService::moveMachine(Controller& c, uint32_t nowMs) {
    ++ticks_;
    const uint32_t dt = moving_ ? std::min<uint32_t>(nowMs - lastMotionMs_, 1000) : 0;
    moving_ = true;
    lastMotionMs_ = nowMs;
    interp::Variables& vars = c.console().interpreter().variables();
    const int axes = vars.axisCount();
    direction_.resize(static_cast<size_t>(axes), 1);
    for (int a = 0; a < axes; ++a) {
        const double units = vars.axisValue(a, interp::AxisParam::units);
        const double step = vars.axisValue(a, interp::AxisParam::speed) * units * dt / 1000.0;
        double pos = vars.axisValue(a, interp::AxisParam::dpos) + direction_[a] * step;
        if (pos > kTravel * units) {
            pos = kTravel * units;
            direction_[a] = -1;
        } else if (pos < 0) {
            pos = 0;
            direction_[a] = 1;
        }
        // The measured position trails the demand by a following error.
        const double lag = dt ? direction_[a] * vars.axisValue(a, interp::AxisParam::speed) * units * 0.002 : 0.0;
        vars.setAxisValue(a, interp::AxisParam::dpos, pos);
        vars.setAxisValue(a, interp::AxisParam::mpos, pos - lag);
    }
    // Inputs 0 to 15 show the push count: input 0 toggles every push.
    for (int i = 0; i < 16; ++i) c.model().setInput(i, (ticks_ >> i) & 1);
}

void CycleUploadService::takePushes(Controller& c, uint32_t nowMs, std::vector<PushedPacket>& out) {
    bool advanced = false;
    for (Upload& u : uploads_) {
        if (!u.scheduled) {
            u.scheduled = true;
            u.dueMs = nowMs;
        }
        if (signedDistance(u.dueMs, nowMs) > 0) continue;
        if (!advanced) moveMachine(c, nowMs);
        advanced = true;
        PushedPacket p;
        if (blockPacket(c, u.origin, u.buffer, p)) out.push_back(std::move(p));
        u.dueMs += u.cycleMs;
        // A host far behind (a stalled loop) is not sent a burst.
        if (signedDistance(u.dueMs, nowMs) <= 0) u.dueMs = nowMs + u.cycleMs;
    }
}

uint32_t CycleUploadService::msUntilPush(uint32_t nowMs, uint32_t idleMs) const {
    uint32_t best = idleMs;
    for (const Upload& u : uploads_) {
        const int32_t d = u.scheduled ? signedDistance(u.dueMs, nowMs) : 0;
        best = std::min(best, static_cast<uint32_t>(std::max(d, 0)));
    }
    return best;
}

}  // namespace tvx::sim
