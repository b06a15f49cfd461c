#include "engine/model.h"

#include "base/bytes.h"

namespace tvx::sim {
namespace {

void setBit(uint8_t* bits, int n, bool on) {
    if (n < 0 || n >= kIoPoints) return;
    if (on)
        bits[n / 8] = static_cast<uint8_t>(bits[n / 8] | (1u << (n % 8)));
    else
        bits[n / 8] = static_cast<uint8_t>(bits[n / 8] & ~(1u << (n % 8)));
}

}  // namespace

ControllerModel::ControllerModel() {
    for (int i = 0; i < kMaxAxes; ++i) {
        axes[i].features = 0x11 + i;
        for (int b = 0; b < 17; ++b) axes[i].states[b] = static_cast<uint8_t>(i * 17 + b);
    }
    for (int c = 0; c < kAnalogChannels; ++c) analogIn[c] = 0.5f * static_cast<float>(c);
    for (int t = 0; t < kTasks; ++t) tasks[t].text = "TASK" + std::to_string(t);
    sysSpecification.fill(0);
    sysSpecification[0] = 1;
    sysSpecification[1] = 2;
    putU16(sysSpecification.data() + 4, axisCount);
}

void ControllerModel::setInput(int n, bool on) { setBit(inputs.data(), n, on); }
void ControllerModel::setOutput(int n, bool on) { setBit(outputs.data(), n, on); }

}  // namespace tvx::sim
