// The simulated controller's arrays and line-move buffer as the binary
// requests reach them: 146 and 147 write and read floats of the same
// arrays the command line uses (VR, TABLE and DIM/GLOBAL names, a scalar
// counting as an array of one), so `?NAME(i)` sees what 146 wrote and 147
// what a command line assigned. Request 7 queues line points; the buffer
// takes one point off before each request the controller acts on, moving
// the listed axes there, and every reply tells how many points still fit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "engine/service.h"

namespace tvx::sim {

inline constexpr size_t kLineBufferPoints = 256;

class ArrayService : public Service {
public:
    bool serves(uint16_t command) const override;
    void serve(ServiceRequest& request) override;
    void reset() override { *this = ArrayService{}; }
    void advance(Controller& controller) override;

    size_t queuedPoints() const { return points_.size(); }
    // Mode and flag bytes of the last accepted line request.
    uint8_t lastMode() const { return lastMode_; }
    uint8_t lastFlags() const { return lastFlags_; }

private:
    struct Point {
        std::vector<uint8_t> axes;
        std::vector<float> values;
    };

    int32_t write(Controller& c, const uint8_t* args, size_t n);
    int32_t read(Controller& c, const uint8_t* args, size_t n, size_t room, Reply& reply);
    int32_t lines(Controller& c, const uint8_t* args, size_t n, Reply& reply);

    std::deque<Point> points_;
    uint8_t lastMode_ = 0;
    uint8_t lastFlags_ = 0;
};

}  // namespace tvx::sim
