#include "engine/pci_card.h"

#include <algorithm>

#include "base/bytes.h"
#include "link/pci_packets.h"

namespace tvx::sim {
namespace {

namespace layout = pci::packet_header;

// The card keeps a short history only: enough for tests, bounded for a
// simulator that runs for days.
inline constexpr size_t kWrittenHistory = 4096;
// Channel numbers stay non-negative as the driver's signed 16-bit value.
inline constexpr uint16_t kChannelLimit = 0x7FFF;

}  // namespace

PciCard::PciCard(Controller& controller, uint16_t firstChannel, uint16_t maxPacket)
    : controller_(controller), maxPacket_(maxPacket), nextChannel_(firstChannel) {}

std::unique_ptr<PciChannel> PciCard::open() {
    if (faults_.refuseOpen.load()) return nullptr;
    uint16_t channel;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        channel = nextChannel_;
        nextChannel_ = static_cast<uint16_t>(nextChannel_ >= kChannelLimit ? 0 : nextChannel_ + 1);
    }
    return std::make_unique<PciChannel>(*this, channel);
}

void PciCard::queueFrame(const uint8_t* frame, size_t n) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (PciChannel* c : open_) c->queueFrame(frame, n);
}

void PciCard::noteWritten(uint8_t sequence, uint16_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (written_.size() < kWrittenHistory) written_.push_back({sequence, length});
}

std::vector<WrittenPacket> PciCard::writtenPackets() {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

PciChannel::PciChannel(PciCard& card, uint16_t channel) : card_(card), channel_(channel) {
    std::lock_guard<std::mutex> lock(card_.mutex_);
    card_.open_.push_back(this);
}

PciChannel::~PciChannel() {
    std::lock_guard<std::mutex> lock(card_.mutex_);
    card_.open_.erase(std::remove(card_.open_.begin(), card_.open_.end(), this), card_.open_.end());
}

bool PciChannel::control(uint32_t code, const uint8_t* in, size_t inLength, uint8_t* out, size_t outCapacity,
                         size_t* returned) {
    *returned = 0;
    PciCardFaults& faults = card_.faults_;
    if (code == pci::code::queryChannel) {
        if (faults.failChannelQuery.load() || outCapacity < pci::channel_reply::bytes) return false;
        putU16(out + pci::channel_reply::channel, faults.negativeChannel.load() ? 0xFFFF : channel_);
        putU16(out + pci::channel_reply::maxPacket, card_.maxPacket());
        *returned = pci::channel_reply::bytes;
        return true;
    }
    // Every other request carries the channel number.
    uint32_t base = 0;
    for (uint32_t b : {pci::code::release, pci::code::writePacket, pci::code::writeReady, pci::code::readForWait,
                       pci::code::readForThread})
        if (code == pci::channelCode(channel_, b)) base = b;
    switch (base) {
        case pci::code::release:
            card_.releases_.fetch_add(1);
            return true;
        case pci::code::writePacket:
            return write(in, inLength);
        case pci::code::writeReady:
            if (outCapacity < 1) return false;
            // Leaving the caller's preset in place means "not ready".
            if (!faults.neverReady.load()) {
                out[pci::ready_reply::status] = 0;
                *returned = 1;
            }
            return true;
        case pci::code::readForWait:
        case pci::code::readForThread:
            card_.reads_.fetch_add(1);
            if (faults.failReads.load()) return false;
            return read(out, outCapacity, returned);
        default:
            return false;
    }
}

bool PciChannel::write(const uint8_t* in, size_t n) {
    if (n < layout::bytes || n > card_.maxPacket() || in[layout::marker] != pci::kWriteMarker) return false;
    const uint16_t length = getU16(in + layout::length);
    if (length > n - layout::bytes) return false;
    const uint8_t sequence = in[layout::sequence];
    card_.noteWritten(sequence, length);
    std::lock_guard<std::mutex> lock(mutex_);
    if (sequence == pci::kOnlyPacket || sequence == pci::kFirstPacket) {
        incoming_.clear();
        assembling_ = true;
    } else if (!assembling_ || (sequence != pci::kLastPacket && sequence != lastSequence_ + 1)) {
        // A packet out of order spoils the frame being joined.
        incoming_.clear();
        assembling_ = false;
        return true;
    }
    lastSequence_ = sequence;
    if (incoming_.size() + length > kFrameCapacity) {
        incoming_.clear();
        assembling_ = false;
        return true;
    }
    incoming_.insert(incoming_.end(), in + layout::data, in + layout::data + length);
    if (sequence != pci::kOnlyPacket && sequence != pci::kLastPacket) return true;
    assembling_ = false;
    if (card_.faults_.silent.load()) return true;
    uint8_t reply[kFrameCapacity];
    const size_t m = card_.controller_.handleFrame(Framing::rtu, incoming_.data(), incoming_.size(), reply, sizeof reply);
    incoming_.clear();
    queuePackets(reply, m);
    return true;
}

void PciChannel::queueFrame(const uint8_t* frame, size_t n) {
    std::lock_guard<std::mutex> lock(mutex_);
    queuePackets(frame, n);
}

// Cuts a frame into read packets (called with the channel's lock held).
void PciChannel::queuePackets(const uint8_t* frame, size_t n) {
    const uint16_t size = card_.maxPacket();
    const size_t room = size > layout::bytes ? size - layout::bytes : 1;
    uint8_t continuation = 0;
    for (size_t at = 0; at < n; at += room) {
        const size_t chunk = std::min(room, n - at);
        std::vector<uint8_t> packet(layout::bytes + chunk);
        packet[layout::marker] = pci::kReadMarker;
        // Packets before the last count 1 to 254, never a value that ends
        // the message.
        continuation = at + chunk >= n ? 0 : static_cast<uint8_t>(continuation % 254 + 1);
        packet[layout::continuation] = continuation;
        putU16(packet.data() + layout::length, static_cast<uint16_t>(chunk));
        std::copy(frame + at, frame + at + chunk, packet.begin() + layout::data);
        outgoing_.push_back(std::move(packet));
    }
}

bool PciChannel::read(uint8_t* out, size_t outCapacity, size_t* returned) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (outgoing_.empty()) return true;  // nothing waiting: no packet returned
    const std::vector<uint8_t>& packet = outgoing_.front();
    if (packet.size() > outCapacity) return false;
    std::copy(packet.begin(), packet.end(), out);
    *returned = packet.size();
    outgoing_.pop_front();
    return true;
}

}  // namespace tvx::sim
