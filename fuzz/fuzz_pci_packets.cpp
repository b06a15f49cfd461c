// Driver packets from both sides of the PCI link: read packets as the
// library checks them, and control requests (write packets above all) as a
// simulated card takes them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "base/bytes.h"
#include "engine/controller.h"
#include "engine/pci_card.h"
#include "link/pci_link.h"
#include "link/pci_packets.h"

namespace {

using namespace tvx;

void checkReadPacket(const uint8_t* data, size_t size) {
    if (size < 2) return;
    const uint16_t maxPacket = getU16(data);
    // An exact-size copy: any read past the returned bytes is caught.
    std::vector<uint8_t> packet(data + 2, data + size);
    uint32_t length = 0;
    const ReadPacket kind = inspectReadPacket(packet.data(), static_cast<uint32_t>(packet.size()), maxPacket, &length);
    if (kind == ReadPacket::invalid) return;
    if (packet.size() > maxPacket || pci::packet_header::bytes + length > packet.size()) std::abort();
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < length; ++i) sink = static_cast<uint8_t>(sink ^ packet[pci::packet_header::data + i]);
}

// Chunks of [u8 base code][u16 length][bytes] become control requests.
void driveCard(const uint8_t* data, size_t size) {
    // One controller for every run, returned to its first state so that
    // each input runs alone.
    static sim::Controller controller;
    controller.reset();
    sim::PciCard card(controller, 1, static_cast<uint16_t>(16 + (size % 4081)));
    std::unique_ptr<sim::PciChannel> channel = card.open();
    uint8_t out[pci::kMaxPacket];
    while (size >= 3) {
        const uint8_t kind = data[0];
        // Bit 0 picks the card's channel or another; bits 2-4 the base code;
        // bit 7 a full-size output buffer or a short one.
        const uint32_t code = pci::channelCode(kind & 1 ? 1 : 2, 0x48000u | (kind & 0x1Cu));
        const size_t capacity = kind & 0x80 ? sizeof out : 8;
        size_t n = getU16(data + 1);
        data += 3;
        size -= 3;
        if (n > size) n = size;
        size_t returned = 0;
        if (channel->control(code, data, n, out, capacity, &returned) && returned > capacity) std::abort();
        data += n;
        size -= n;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1)
        checkReadPacket(data + 1, size - 1);
    else
        driveCard(data + 1, size - 1);
    return 0;
}
