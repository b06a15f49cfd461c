// The simulated controller's cycle upload: a host enables an upload with
// an item text naming values (VR(0,4) TABLE(10,2) DPOS(0,3) IN(0,16) ...),
// gets the block layout in the reply, and is then pushed a block of the
// current values every cycle. While uploads run, the machine moves: axes
// travel back and forth, a counter counts and inputs toggle.
//
// Items, by name (any case; first and count in parentheses, count 1 when
// left out):
//   VR, TABLE, named arrays and variables  single floats
//   UNITS SPEED ACCEL DECEL DPOS MPOS      doubles, one per axis from `first`
//   IN, OP                                 bits
//   MODBUS_REG                             unsigned 16-bit registers
//   TICKS                                  unsigned 32-bit count of pushes
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/service.h"

namespace tvx::sim {

class CycleUploadService : public Service {
public:
    bool serves(uint16_t command) const override;
    void serve(ServiceRequest& request) override;
    void reset() override { *this = CycleUploadService{}; }
    void takePushes(Controller& c, uint32_t nowMs, std::vector<PushedPacket>& out) override;
    uint32_t msUntilPush(uint32_t nowMs, uint32_t idleMs) const override;

    // The block packet of upload `buffer` of host `origin` as it would be
    // pushed now; false when no such upload runs. Use under the controller's
    // mutex.
    bool blockPacket(Controller& c, uint64_t origin, uint8_t buffer, PushedPacket& out);
    size_t runningUploads() const { return uploads_.size(); }
    // The host and buffer byte of running upload `i` (i < runningUploads()).
    uint64_t uploadOrigin(size_t i) const { return uploads_[i].origin; }
    uint8_t uploadBuffer(size_t i) const { return uploads_[i].buffer; }
    // The shortest push period accepted (a smaller cycle value is raised).
    static constexpr uint32_t kMinCycleMs = 1;

    enum class Source { vr, table, named, axis, input, output, reg, ticks };
    struct Item {
        Source source;
        std::string name;  // named variables and arrays
        int axisParam;     // for axis items
        uint32_t first;
        uint32_t count;
        uint8_t type;
        uint8_t bits;
    };

private:
    struct Upload {
        uint64_t origin;
        uint8_t buffer;
        uint32_t cycleMs;
        uint32_t dueMs;
        bool scheduled;  // dueMs set from a push tick
        std::vector<Item> items;
        uint32_t blockLength;
    };

    int32_t enable(ServiceRequest& r);
    void disable(uint64_t origin, uint8_t buffer);
    Upload* find(uint64_t origin, uint8_t buffer);
    void buildBlock(Controller& c, const Upload& u, std::vector<uint8_t>& block) const;
    // Moves the machine on to tick `nowMs`.
    void moveMachine(Controller& c, uint32_t nowMs);

    std::vector<Upload> uploads_;
    uint32_t ticks_ = 0;
    uint32_t lastMotionMs_ = 0;
    bool moving_ = false;
    std::vector<int> direction_;
};

}  // namespace tvx::sim
