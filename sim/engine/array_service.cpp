#include "engine/array_service.h"

#include <cstring>
#include <string>

#include "base/bytes.h"
#include "channel/request_codes.h"
#include "engine/controller.h"
#include "interpreter/lexer.h"

namespace tvx::sim {
namespace {

// Status of a request naming no array, or elements beyond its end, or of a
// malformed request.
inline constexpr int32_t kStatusBadArgument = 3204;
inline constexpr size_t kArrayHeader = 8;  // i32 start, i32 count

// The values behind an array name, or null.
std::vector<double>* arrayNamed(Controller& c, const uint8_t* args, size_t n, size_t offset) {
    if (offset >= n) return nullptr;
    const char* p = reinterpret_cast<const char*>(args + offset);
    const size_t length = strnlen(p, n - offset);
    if (length == 0 || length == n - offset) return nullptr;
    const std::string name = interp::upper(std::string_view(p, length));
    interp::Variables& vars = c.console().interpreter().variables();
    if (name == "VR") return &vars.vr();
    if (name == "TABLE") return &vars.table();
    interp::Named* named = vars.find(name);
    return named ? &named->values : nullptr;
}

bool inRange(const std::vector<double>& values, uint32_t start, uint32_t count) {
    return uint64_t{start} + count <= values.size();
}

}  // namespace

bool ArrayService::serves(uint16_t command) const {
    return command == req::arrayWrite || command == req::arrayRead || command == req::multiLine;
}

void ArrayService::serve(ServiceRequest& r) {
    int32_t status = kStatusBadArgument;
    if (r.command == req::arrayWrite) status = write(r.controller, r.args, r.n);
    if (r.command == req::arrayRead) status = read(r.controller, r.args, r.n, r.room, r.reply);
    if (r.command == req::multiLine) status = lines(r.controller, r.args, r.n, r.reply);
    r.reply.status(status);
}

int32_t ArrayService::write(Controller& c, const uint8_t* args, size_t n) {
    if (n < kArrayHeader) return kStatusBadArgument;
    const uint32_t start = getU32(args);
    const uint32_t count = getU32(args + 4);
    const uint64_t valueBytes = uint64_t{count} * 4;
    if (kArrayHeader + valueBytes >= n) return kStatusBadArgument;
    std::vector<double>* values = arrayNamed(c, args, n, kArrayHeader + static_cast<size_t>(valueBytes));
    if (!values || !inRange(*values, start, count)) return kStatusBadArgument;
    for (uint32_t i = 0; i < count; ++i) (*values)[start + i] = getF32(args + kArrayHeader + 4 * i);
    return 0;
}

int32_t ArrayService::read(Controller& c, const uint8_t* args, size_t n, size_t room, Reply& reply) {
    if (n < kArrayHeader) return kStatusBadArgument;
    const uint32_t start = getU32(args);
    const uint32_t count = getU32(args + 4);
    std::vector<double>* values = arrayNamed(c, args, n, kArrayHeader);
    if (!values || !inRange(*values, start, count) || uint64_t{count} * 4 > room) return kStatusBadArgument;
    for (uint32_t i = 0; i < count; ++i) reply.f32(static_cast<float>((*values)[start + i]));
    return 0;
}

int32_t ArrayService::lines(Controller& c, const uint8_t* args, size_t n, Reply& reply) {
    if (n < 4) return kStatusBadArgument;
    const uint32_t lineCount = args[0];
    const uint32_t axisCount = args[1];
    const size_t axisArea = axisCount == 0 ? 4 : 4 * ((axisCount - 1) / 4 + 1);
    const size_t valueCount = size_t{lineCount} * axisCount;
    if (n != 4 + axisArea + 4 * valueCount) return kStatusBadArgument;
    const interp::Variables& vars = c.console().interpreter().variables();
    for (uint32_t a = 0; a < axisCount; ++a)
        if (!vars.validAxis(args[4 + a])) return kStatusBadArgument;
    if (lineCount > kLineBufferPoints - points_.size()) return kStatusBadArgument;
    const uint8_t* v = args + 4 + axisArea;
    for (uint32_t l = 0; l < lineCount; ++l) {
        Point p;
        p.axes.assign(args + 4, args + 4 + axisCount);
        for (uint32_t a = 0; a < axisCount; ++a) p.values.push_back(getF32(v + 4 * (size_t{l} * axisCount + a)));
        points_.push_back(std::move(p));
    }
    lastFlags_ = args[2];
    lastMode_ = args[3];
    reply.u32(0);
    reply.u32(static_cast<uint32_t>(kLineBufferPoints - points_.size()));
    return 0;
}

void ArrayService::advance(Controller& c) {
    if (points_.empty()) return;
    interp::Variables& vars = c.console().interpreter().variables();
    const Point& p = points_.front();
    for (size_t a = 0; a < p.axes.size(); ++a) (void)vars.setAxisValue(p.axes[a], interp::AxisParam::dpos, p.values[a]);
    points_.pop_front();
}

}  // namespace tvx::sim
