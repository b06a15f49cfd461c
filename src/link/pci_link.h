// The PCI link: channel frames (RTU framing) in packets through the card
// driver's control requests, a receive thread that drains the driver, and a
// wait that polls it.
#pragma once

#include <cstdint>

#include "link/link_driver.h"
#include "platform/card_driver.h"

namespace tvx {

const LinkDriver& pciDriver();

// The card an address names.
struct CardChoice {
    platform::CardClass cls = platform::CardClass::pci;
    int32_t cardIndex = 0;   // 0-based over all cards, PCI class first
    int32_t classIndex = 0;  // 0-based within its class
};

// Resolves "PCI<n>" (all cards from 1, the PCI class first) or "PCIE<n>"
// (PCIe-class cards from 1), in any letter case, against the counts of
// cards present. 20002 for another prefix or a text over 255 characters;
// 20028 for a number outside 1..count.
int32_t resolveCardAddress(const char* address, int pciCount, int pcieCount, CardChoice* out);

// Cards present: PCIe class plus PCI class, at most 16 of each.
int32_t countPciCards();

// What a packet returned by a read request holds.
enum class ReadPacket { more, last, invalid };
// Checks the `returned` bytes of a read packet against the packet size in
// use; for more and last, `dataLength` bytes of data follow the header and
// lie within `returned`. A packet without the marker, longer than the
// packet size, shorter than its header or announcing more data than it
// carries is invalid.
ReadPacket inspectReadPacket(const uint8_t* packet, uint32_t returned, uint16_t maxPacket, uint32_t* dataLength);

// Reads up to 10 packets from the driver with control `base` and feeds their
// data to the handle's channel, under the handle's read lock, all within
// `limitMs` (the wait for the lock included); 0, or 20027 when a read
// request fails. `buffer` holds the largest packet (4096).
int32_t drainPciPackets(ControllerHandle& h, uint32_t base, uint8_t* buffer, uint32_t limitMs);

}  // namespace tvx
