// The controller's variables as a host uses them from the command line: the
// VR and TABLE arrays, named global variables and arrays, a few parameters
// per axis and the system parameters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "interpreter/errors.h"

namespace tvx::sim::interp {

inline constexpr size_t kVrCount = 4096;
inline constexpr size_t kTableCount = 65536;
inline constexpr size_t kMaxNames = 512;
inline constexpr size_t kMaxNameLength = 32;
inline constexpr size_t kMaxArraySize = 100000;
inline constexpr size_t kMaxNamedElements = 1000000;
inline constexpr int kAxisLimit = 64;
// The Modbus areas: coils and holding registers, shared with the standard
// Modbus functions.
inline constexpr size_t kModbusBits = 4096;
inline constexpr size_t kModbusRegisters = 8192;

// How a command names the Modbus areas: MODBUS_BIT(n) one coil,
// MODBUS_REG(n) one register (signed 16 bits), MODBUS_LONG(n) and
// MODBUS_IEEE(n) registers n and n + 1 (low half first) as a signed 32-bit
// integer or a single float.
enum class ModbusView { bit, reg, longValue, ieee };

enum class AxisParam { units, speed, accel, decel, dpos, mpos };

struct AxisParams {
    double units = 1;
    double speed = 100;
    double accel = 1000;
    double decel = 1000;
    double dpos = 0;  // demand position
    double mpos = 0;  // measured position
};

// A name declared with DIM or GLOBAL: a scalar or an array.
struct Named {
    bool isArray = false;
    std::vector<double> values;
};

// The parameter of an upper-case axis parameter name.
std::optional<AxisParam> findAxisParam(std::string_view upperName);
std::optional<ModbusView> findModbusView(std::string_view upperName);
// True for every word the language itself uses (keywords, functions,
// arrays, parameters); such words cannot be declared as names.
bool isReservedWord(std::string_view upperName);

class Variables {
public:
    Variables();

    std::vector<double>& vr() { return vr_; }
    std::vector<double>& table() { return table_; }
    // One byte per coil, 0 or 1.
    std::vector<uint8_t>& modbusBits() { return modbusBits_; }
    std::vector<uint16_t>& modbusRegisters() { return modbusRegisters_; }
    bool validModbusIndex(ModbusView view, double index) const;
    double modbusValue(ModbusView view, size_t index) const;
    Error setModbusValue(ModbusView view, size_t index, double v);

    int axisCount() const { return axisCount_; }
    // Axes beyond kAxisLimit are not kept.
    void setAxisCount(int n);
    bool validAxis(double index) const;
    double axisValue(int axis, AxisParam p) const;
    Error setAxisValue(int axis, AxisParam p, double v);

    Named* find(std::string_view upperName);
    // Declares a scalar (size 0) or an array. Declaring a name again with
    // the same shape keeps its values.
    Error declare(std::string_view upperName, bool isArray, double size);

    bool autoUploadPort = false;

private:
    std::vector<double> vr_;
    std::vector<double> table_;
    std::vector<uint8_t> modbusBits_;
    std::vector<uint16_t> modbusRegisters_;
    std::vector<AxisParams> axes_;
    int axisCount_ = 8;
    std::map<std::string, Named, std::less<>> named_;
    size_t namedElements_ = 0;
};

}  // namespace tvx::sim::interp
