// The named register areas of the simulated controller (requests 144 write
// and 145 read). Areas that have a meaning elsewhere share its store: "D"
// and "M" are the Modbus registers and coils, "VR", "VR_INT", "TABLE" and
// "DT" the interpreter's VR and TABLE arrays, "X" and "Y" the digital I/O,
// "DA" and "AD" the analog channels. The other areas live here.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "engine/service.h"

namespace tvx::sim {

// Elements of the areas the service keeps itself.
inline constexpr size_t kRegisterAreaWords = 1024;  // "V", "Z"
inline constexpr size_t kRegisterAreaBits = 1024;   // "S"
inline constexpr size_t kCounterCount = 256;        // "C", "T"

class RegisterService : public Service {
public:
    bool serves(uint16_t command) const override;
    void serve(ServiceRequest& request) override;
    void reset() override { *this = RegisterService{}; }

    // One area as the requests see it at one width: its element count and
    // element i as raw bits of that width (set is null for a read-only area).
    struct View {
        size_t size = 0;
        std::function<uint64_t(size_t)> get;
        std::function<void(size_t, uint64_t)> set;
    };
    // The view of area `code` at `width` bits; size 0 when the controller
    // has no such area or width.
    View view(Controller& controller, uint8_t code, uint8_t width);

private:
    std::array<uint16_t, kRegisterAreaWords> v_{};
    std::array<uint16_t, kRegisterAreaWords> z_{};
    std::array<uint8_t, kRegisterAreaBits> s_{};
    std::array<uint8_t, kCounterCount> counterBits_{};
    std::array<int32_t, kCounterCount> counterValues_{};
    std::array<uint8_t, kCounterCount> timerBits_{};
    std::array<int32_t, kCounterCount> timerValues_{};
};

}  // namespace tvx::sim
