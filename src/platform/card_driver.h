// The PCI/PCIe card driver as the library sees it: device interfaces of two
// classes, opened by their index, spoken to through control requests (the
// driver's read and write of packets are control requests too).
//
// Two implementations sit behind it: the system's driver (Windows: the setup
// API and DeviceIoControl; other systems have none and report no cards) and
// a stand-in driver that carries the control requests over a loopback TCP
// connection to a simulated card (tavrix-sim --pci). The environment
// variable TAVRIX_PCI_DRIVER selects the stand-in: "sim:PORT" or
// "sim:HOST:PORT" with HOST a loopback address (127.0.0.0/8). Any other
// value set there gives no cards at all, never the system's driver.
#pragma once

#include <cstdint>
#include <memory>

namespace tvx::platform {

inline constexpr const char* kCardDriverVariable = "TAVRIX_PCI_DRIVER";

enum class CardClass : uint8_t { pci = 0, pcie = 1 };

// How far the opening of a device interface got.
enum class CardOpenResult : uint8_t {
    ok,
    noDeviceSet,   // the set of present devices of the class cannot be had
    noInterface,   // no device interface with that index
    noDetail,      // the interface's detail record (its path) cannot be read
    cannotOpen,    // the device path cannot be opened
};

// An open device of the card driver. Requests may come from several threads;
// each runs whole.
class CardDevice {
public:
    virtual ~CardDevice() = default;
    // Issues control request `code` with `inLength` input bytes. The driver
    // writes at most `outCapacity` bytes over `out` (bytes it leaves alone
    // keep what the caller put there) and reports their count in `returned`.
    // False when the request fails, or when it is not answered whole within
    // `timeLimitMs` (where the driver can be waited for with a limit).
    virtual bool control(uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t outCapacity,
                         uint32_t* returned, uint32_t timeLimitMs) = 0;
};

// Present device interfaces of the class, enumerated one by one and counted
// up to `limit`; the count stops at the first failure.
int countCardInterfaces(CardClass cls, int limit);
// Opens device interface `index` of the class; on ok `out` holds the device.
CardOpenResult openCardInterface(CardClass cls, int index, std::unique_ptr<CardDevice>* out);

// The two implementations; the functions above choose between them.
namespace system_cards {
int count(CardClass cls, int limit);
CardOpenResult open(CardClass cls, int index, std::unique_ptr<CardDevice>* out);
}  // namespace system_cards

namespace standin_cards {
// Parses the text after "sim:"; false when it names no loopback endpoint.
bool parseEndpoint(const char* text, uint32_t* ip, uint16_t* port);
int count(uint32_t ip, uint16_t port, CardClass cls, int limit);
CardOpenResult open(uint32_t ip, uint16_t port, CardClass cls, int index, std::unique_ptr<CardDevice>* out);
}  // namespace standin_cards

}  // namespace tvx::platform
