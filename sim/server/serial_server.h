// The serial side of tavrix-sim: the controller behind a pseudo-terminal.
// The library opens the terminal's device (through TAVRIX_COMn on Linux, or
// a COM port mapped to it under Wine) as it would a serial port; frames use
// RTU framing with CRC-16, and only frames for the controller's station (or
// the broadcast station 254) sent at the controller's baud are answered.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/controller.h"
#include "engine/rtu_framer.h"
#include "server/faults.h"

namespace tvx::sim {

struct SerialStats {
    uint64_t bytesIn = 0;
    uint64_t frames = 0;
    uint64_t otherStation = 0;  // frames for another station, ignored
    uint64_t wrongBaud = 0;     // frames sent while the host's line ran at another baud
    uint64_t replies = 0;
    uint64_t droppedRequests = 0;
    uint64_t droppedReplies = 0;
    uint64_t corrupted = 0;
    uint64_t noise = 0;
    uint64_t split = 0;
};

class SerialServer {
public:
    SerialServer(Controller& controller, const FaultPlan& plan, uint32_t splitGapMs);
    ~SerialServer();
    SerialServer(const SerialServer&) = delete;
    SerialServer& operator=(const SerialServer&) = delete;

    // Creates the pseudo-terminal (raw, 38400 baud) and, when `link` is not
    // empty, a symbolic link of that name to its device (an existing link is
    // replaced, any other file is not). False with a message on failure.
    bool open(const std::string& link, std::string* message);
    // The device the library opens, e.g. /dev/pts/7.
    const std::string& devicePath() const { return device_; }
    // Serves until `stop` becomes non-zero; every wait is at most 100 ms.
    void run(const std::atomic<int>& stop);
    // Closes the terminal (the library's port then sees it vanish) and
    // removes the link.
    void close();
    const SerialStats& stats() const { return stats_; }
    // The baud the host set on its side of the line (0 when unknown).
    uint32_t lineBaud() const;
    // Sees every whole frame received (before the station check) and every
    // reply sent; `received` tells which. Set before run().
    using FrameObserver = std::function<void(bool received, const uint8_t* frame, size_t n)>;
    void observeFrames(FrameObserver observer) { observer_ = std::move(observer); }

private:
    void handle(const uint8_t* frame, size_t n);
    void send(const uint8_t* bytes, size_t n);
    void pause(uint32_t ms);

    Controller& controller_;
    FaultInjector faults_;
    uint32_t splitGapMs_;
    RtuFramer framer_;
    int master_ = -1;
    int slave_ = -1;  // held open so the line stays up between the library's opens
    std::string device_;
    std::string link_;
    SerialStats stats_;
    FrameObserver observer_;
};

}  // namespace tvx::sim
