#include "interpreter/variables.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "interpreter/functions.h"

namespace tvx::sim::interp {
namespace {

struct AxisName {
    std::string_view name;
    AxisParam param;
};

constexpr AxisName kAxisNames[] = {
    {"UNITS", AxisParam::units}, {"SPEED", AxisParam::speed}, {"ACCEL", AxisParam::accel},
    {"DECEL", AxisParam::decel}, {"DPOS", AxisParam::dpos},   {"MPOS", AxisParam::mpos},
};

constexpr std::string_view kKeywords[] = {
    "PRINT", "DIM", "GLOBAL", "LOCK", "UNLOCK", "AND", "OR", "XOR", "NOT", "MOD",
    "VR",    "TABLE", "PI", "IFAUTOUP_PORT",
    // Program structure.
    "LOCAL", "WHILE", "WEND", "FOR", "TO", "STEP", "NEXT", "IF", "THEN", "ELSE", "ENDIF", "END",
};

struct ModbusName {
    std::string_view name;
    ModbusView view;
};

constexpr ModbusName kModbusNames[] = {
    {"MODBUS_BIT", ModbusView::bit},
    {"MODBUS_REG", ModbusView::reg},
    {"MODBUS_LONG", ModbusView::longValue},
    {"MODBUS_IEEE", ModbusView::ieee},
};

}  // namespace

std::optional<AxisParam> findAxisParam(std::string_view upperName) {
    for (const AxisName& a : kAxisNames)
        if (a.name == upperName) return a.param;
    return std::nullopt;
}

std::optional<ModbusView> findModbusView(std::string_view upperName) {
    for (const ModbusName& m : kModbusNames)
        if (m.name == upperName) return m.view;
    return std::nullopt;
}

bool isReservedWord(std::string_view upperName) {
    if (findAxisParam(upperName) || findFunction(upperName) || findModbusView(upperName)) return true;
    return std::find(std::begin(kKeywords), std::end(kKeywords), upperName) != std::end(kKeywords);
}

Variables::Variables()
    : vr_(kVrCount, 0.0),
      table_(kTableCount, 0.0),
      modbusBits_(kModbusBits, 0),
      modbusRegisters_(kModbusRegisters, 0),
      axes_(kAxisLimit) {}

bool Variables::validModbusIndex(ModbusView view, double index) const {
    const size_t size = view == ModbusView::bit ? kModbusBits : kModbusRegisters;
    const size_t span = view == ModbusView::longValue || view == ModbusView::ieee ? 2 : 1;
    return index >= 0 && index + static_cast<double>(span) <= static_cast<double>(size);
}

double Variables::modbusValue(ModbusView view, size_t index) const {
    const auto pair = [&] {
        return static_cast<uint32_t>(modbusRegisters_[index]) | (static_cast<uint32_t>(modbusRegisters_[index + 1]) << 16);
    };
    switch (view) {
        case ModbusView::bit: return modbusBits_[index];
        case ModbusView::reg: return static_cast<int16_t>(modbusRegisters_[index]);
        case ModbusView::longValue: return static_cast<int32_t>(pair());
        case ModbusView::ieee: {
            const uint32_t bits = pair();
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
    }
    return 0;
}

Error Variables::setModbusValue(ModbusView view, size_t index, double v) {
    const double whole = std::trunc(v);
    uint32_t bits = 0;
    switch (view) {
        case ModbusView::bit:
            modbusBits_[index] = v != 0 ? 1 : 0;
            return {};
        case ModbusView::reg:
            if (!(whole >= -32768 && whole <= 65535)) return {ErrorKind::badValue, "value does not fit 16 bits"};
            modbusRegisters_[index] = static_cast<uint16_t>(static_cast<int32_t>(whole));
            return {};
        case ModbusView::longValue:
            if (!(whole >= -2147483648.0 && whole <= 4294967295.0)) return {ErrorKind::badValue, "value does not fit 32 bits"};
            bits = static_cast<uint32_t>(static_cast<int64_t>(whole));
            break;
        case ModbusView::ieee: {
            const float f = static_cast<float>(v);
            std::memcpy(&bits, &f, sizeof bits);
            break;
        }
    }
    modbusRegisters_[index] = static_cast<uint16_t>(bits & 0xFFFF);
    modbusRegisters_[index + 1] = static_cast<uint16_t>(bits >> 16);
    return {};
}

void Variables::setAxisCount(int n) { axisCount_ = std::clamp(n, 0, kAxisLimit); }

bool Variables::validAxis(double index) const { return index >= 0 && index < axisCount_; }

double Variables::axisValue(int axis, AxisParam p) const {
    const AxisParams& a = axes_[static_cast<size_t>(axis)];
    switch (p) {
        case AxisParam::units: return a.units;
        case AxisParam::speed: return a.speed;
        case AxisParam::accel: return a.accel;
        case AxisParam::decel: return a.decel;
        case AxisParam::dpos: return a.dpos;
        case AxisParam::mpos: return a.mpos;
    }
    return 0;
}

Error Variables::setAxisValue(int axis, AxisParam p, double v) {
    AxisParams& a = axes_[static_cast<size_t>(axis)];
    switch (p) {
        case AxisParam::units:
            if (v <= 0) return {ErrorKind::badValue, "UNITS must be above 0"};
            a.units = v;
            break;
        case AxisParam::speed:
        case AxisParam::accel:
        case AxisParam::decel:
            if (v < 0) return {ErrorKind::badValue, "value must not be negative"};
            (p == AxisParam::speed ? a.speed : p == AxisParam::accel ? a.accel : a.decel) = v;
            break;
        case AxisParam::dpos:
            // Without motion the axis stands where it is told to be.
            a.dpos = v;
            a.mpos = v;
            break;
        case AxisParam::mpos:
            a.mpos = v;
            break;
    }
    return {};
}

Named* Variables::find(std::string_view upperName) {
    auto it = named_.find(upperName);
    return it == named_.end() ? nullptr : &it->second;
}

Error Variables::declare(std::string_view upperName, bool isArray, double size) {
    if (upperName.size() > kMaxNameLength) return {ErrorKind::syntax, "name too long"};
    if (isReservedWord(upperName)) return {ErrorKind::nameInUse, std::string(upperName) + " is a reserved word"};
    size_t count = 1;
    if (isArray) {
        if (!(size >= 1 && size <= static_cast<double>(kMaxArraySize)))
            return {ErrorKind::badValue, "array size out of range"};
        count = static_cast<size_t>(size);
    }
    if (Named* existing = find(upperName)) {
        if (existing->isArray == isArray && existing->values.size() == count) return {};
        return {ErrorKind::nameInUse, std::string(upperName) + " is already declared"};
    }
    if (named_.size() >= kMaxNames || namedElements_ + count > kMaxNamedElements)
        return {ErrorKind::noMemory, "no room for more variables"};
    Named n;
    n.isArray = isArray;
    n.values.assign(count, 0.0);
    named_.emplace(std::string(upperName), std::move(n));
    namedElements_ += count;
    return {};
}

}  // namespace tvx::sim::interp
