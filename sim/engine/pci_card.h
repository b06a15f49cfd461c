// A simulated PCI/PCIe card as its driver presents it. Every open of the
// card's device gets a channel of its own (the number the channel query
// reports): it answers the driver's control requests, joins written packets
// into frames for the controller behind the card and cuts the controller's
// replies into read packets for that opener alone.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/controller.h"

namespace tvx::sim {

// Misbehaviour of the driver, for tests of the library's failure paths.
struct PciCardFaults {
    std::atomic<bool> refuseOpen{false};        // opening the device fails
    std::atomic<bool> failChannelQuery{false};  // the channel query fails
    std::atomic<bool> negativeChannel{false};   // the channel query reports -1
    std::atomic<bool> neverReady{false};        // write readiness is never reported
    std::atomic<bool> failReads{false};         // read requests fail
    std::atomic<bool> silent{false};            // written frames get no reply
};

// One write packet as the card took it.
struct WrittenPacket {
    uint8_t sequence;
    uint16_t length;
};

class PciCard;

// One open of the card's device.
class PciChannel {
public:
    PciChannel(PciCard& card, uint16_t channel);
    ~PciChannel();
    PciChannel(const PciChannel&) = delete;
    PciChannel& operator=(const PciChannel&) = delete;

    // Carries out one control request; false when the driver fails it.
    // `out` has room for `outCapacity` bytes; `returned` is the count written.
    bool control(uint32_t code, const uint8_t* in, size_t inLength, uint8_t* out, size_t outCapacity,
                 size_t* returned);
    // Queues a frame for this opener to read.
    void queueFrame(const uint8_t* frame, size_t n);

private:
    bool write(const uint8_t* in, size_t n);
    bool read(uint8_t* out, size_t outCapacity, size_t* returned);
    void queuePackets(const uint8_t* frame, size_t n);

    PciCard& card_;
    const uint16_t channel_;
    std::mutex mutex_;
    std::vector<uint8_t> incoming_;
    bool assembling_ = false;
    uint8_t lastSequence_ = 0;
    std::deque<std::vector<uint8_t>> outgoing_;
};

class PciCard {
public:
    // Channels are numbered from `firstChannel` up.
    PciCard(Controller& controller, uint16_t firstChannel, uint16_t maxPacket);

    // Opens the device: a channel of its own, or null when the card refuses.
    std::unique_ptr<PciChannel> open();
    // Queues a frame (a packet the controller pushes) for every opener.
    void queueFrame(const uint8_t* frame, size_t n);

    Controller& controller() { return controller_; }
    PciCardFaults& faults() { return faults_; }
    uint16_t maxPacket() const { return maxPacket_.load(); }
    void setMaxPacket(uint16_t n) { maxPacket_.store(n); }
    // The write packets taken so far, and the read and release requests.
    std::vector<WrittenPacket> writtenPackets();
    uint64_t readRequests() const { return reads_.load(); }
    uint64_t releases() const { return releases_.load(); }

private:
    friend class PciChannel;
    void noteWritten(uint8_t sequence, uint16_t length);

    Controller& controller_;
    std::atomic<uint16_t> maxPacket_;
    PciCardFaults faults_;
    std::atomic<uint64_t> reads_{0};
    std::atomic<uint64_t> releases_{0};
    std::mutex mutex_;
    uint16_t nextChannel_;
    std::vector<PciChannel*> open_;
    std::vector<WrittenPacket> written_;
};

}  // namespace tvx::sim
