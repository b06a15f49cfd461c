// The simulated controller's state as a host sees it through requests.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tvx::sim {

inline constexpr int kMaxAxes = 64;
inline constexpr int kIoPoints = 4096;
inline constexpr int kAnalogChannels = 32;
inline constexpr int kTasks = 22;
inline constexpr int kMaxChildCards = 8;

// Run states of the controller (request 1, byte 0) and of each task
// (request 306, byte 0), as run, pause, resume and stop change them.
inline constexpr uint8_t kRunStopped = 0;
inline constexpr uint8_t kRunRunning = 1;
inline constexpr uint8_t kRunPaused = 2;

struct TaskState {
    uint8_t state = 0;
    uint8_t second = 0;
    uint16_t word = 0;
    int32_t value = 0;
    std::string text;
};

struct ChildCard {
    uint32_t id = 0;
    uint16_t kind = 0;
    std::array<uint8_t, 5> bytes{};
};

struct AxisState {
    bool enabled = false;
    int32_t features = 0;
    std::array<uint8_t, 17> states{};
};

struct ControllerModel {
    uint8_t runState = 0;
    uint8_t stoppedTask = 0;
    int32_t clientId = 0x00010001;
    int32_t softId = 0x00020003;
    int32_t hardId = 0x0000A410;
    int32_t chipId = 0x12345678;
    int32_t errorCode = 0;
    uint32_t softVersion = 0x00040102;
    std::string versionText = "TVX-SIM 4.1.2";
    uint32_t versionDate = 20261201;
    std::string ipText = "127.0.0.1";
    std::string macText = "025456580001";  // fits the 14-byte reply field

    uint16_t axisCount = 8;
    std::array<AxisState, kMaxAxes> axes{};
    std::array<uint8_t, kIoPoints / 8> inputs{};
    std::array<uint8_t, kIoPoints / 8> outputs{};
    std::array<int32_t, kAnalogChannels> daOut{};
    std::array<float, kAnalogChannels> analogIn{};
    std::array<TaskState, kTasks> tasks{};
    int childCardCount = 0;
    std::array<ChildCard, kMaxChildCards> childCards{};
    std::array<uint8_t, 60> sysSpecification{};
    // Whether request 148 (transfer state) is answered.
    bool transferStateSupported = true;

    // Counters a test or the trace can look at.
    uint32_t lastConnectionId = 0;
    uint32_t keepAlives = 0;
    uint32_t cycleUploadDisables = 0;
    uint32_t requestsActedOn = 0;
    uint32_t duplicatesAnswered = 0;
    uint32_t resets = 0;
    uint32_t logClears = 0;
    int32_t lastFormatValue = 0;
    int32_t lastDefaultValue = 0;

    ControllerModel();
    bool input(int n) const { return n >= 0 && n < kIoPoints && (inputs[n / 8] >> (n % 8)) & 1; }
    bool output(int n) const { return n >= 0 && n < kIoPoints && (outputs[n / 8] >> (n % 8)) & 1; }
    void setInput(int n, bool on);
    void setOutput(int n, bool on);
};

}  // namespace tvx::sim
