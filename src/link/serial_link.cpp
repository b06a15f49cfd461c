#include "base/debug_output.h"
#include "link/serial_link.h"

#include <atomic>
#include <cstring>
#include <new>

#include "base/address_number.h"
#include "base/ascii.h"
#include "base/debug_output.h"
#include "base/result_codes.h"
#include "link/handle.h"

namespace tvx {
namespace {

inline constexpr uint32_t kThreadStopMs = 100;

std::atomic<uint32_t> defaultBaud{38400};
std::atomic<uint32_t> defaultDataBits{8};
std::atomic<uint32_t> defaultParity{platform::parity::none};
std::atomic<uint32_t> defaultStopBits{platform::stop_bits::one};
std::atomic<uint8_t> defaultStation{kBroadcastStation};

// The link state of a serial handle, owned by the handle's linkState.
struct SerialLink {
    int32_t portNumber = 0;  // the number after "COM"
    platform::SerialPort* port = nullptr;
};

SerialLink* linkOf(ControllerHandle& h) {
    return h.driver == &serialDriver() ? static_cast<SerialLink*>(h.linkState.load()) : nullptr;
}

platform::SerialPort* portOf(ControllerHandle& h) {
    SerialLink* link = linkOf(h);
    return link ? link->port : nullptr;
}

// The event thread hands every received chunk to the channel; a chunk of 0
// bytes still runs its idle check.
void onSerialData(void* context, const uint8_t* bytes, uint32_t n) {
    feedBytes(static_cast<ControllerHandle*>(context)->channel, bytes, n);
}

// The device went away: wake a waiting transaction at once, which then
// reports the lost port instead of waiting out its budget.
void onSerialLost(void* context) { wakeReplyWaiter(static_cast<ControllerHandle*>(context)->channel); }

// Closes and frees the handle's port. A port whose event thread could not be
// stopped stays allocated for good, and so does the record the thread uses.
void dropPort(ControllerHandle& h, SerialLink& link) {
    platform::SerialPort* port = link.port;
    if (!port) return;
    link.port = nullptr;
    if (port->close(kThreadStopMs)) {
        delete port;
    } else {
        h.threadsOutstanding.store(true);
    }
}

int32_t prepareSerial(ControllerHandle& h, const char* address) {
    int32_t portNumber = 0;
    if (!parseComAddress(address, &portNumber)) return refuse(rc::badArgument, "address is not \"COM<n>\"");
    auto* link = new (std::nothrow) SerialLink;
    if (!link) return rc::osError;
    link->portNumber = portNumber;
    h.linkState = link;
    h.channel.attempts = 2;
    h.channel.baseWaitMs = kDefaultTimeoutMs;
    return rc::ok;
}

int32_t connectSerial(ControllerHandle& h) {
    SerialLink* link = linkOf(h);
    if (!link) return refuse(rc::badArgument, "link is NULL");
    dropPort(h, *link);
    if (link->portNumber < static_cast<int32_t>(platform::kFirstSerialPort) ||
        link->portNumber > static_cast<int32_t>(platform::kLastSerialPort))
        return rc::serialError;
    auto* port = new (std::nothrow) platform::SerialPort;
    if (!port) return rc::osError;
    link->port = port;
    const SerialDefaults d = serialDefaults();
    if (!port->open(static_cast<uint32_t>(link->portNumber), onSerialData, onSerialLost, &h) || !port->configure() ||
        !port->setLine(platform::SerialLine{})) {
        if (*platform::lastSerialFailure()) debugPrint("serial: %s", platform::lastSerialFailure());
        dropPort(h, *link);
        return rc::serialError;
    }
    setStationId(h.channel, d.station);
    // The port stays at 38400-8-N-1 when it refuses the defaults.
    port->setLine(d.line);
    return rc::ok;
}

void teardownSerial(ControllerHandle& h) {
    SerialLink* link = linkOf(h);
    if (!link) return;
    dropPort(h, *link);
    h.linkState = nullptr;
    // A port left running refers to the record, never to the link state.
    delete link;
}

int32_t sendSerial(CommandChannel& ch, const uint8_t* bytes, uint32_t n) {
    ControllerHandle& h = ownerOf(ch);
    platform::SerialPort* port = portOf(h);
    if (!port || !port->isOpen() || port->lost()) return rc::notOpen;
    const int written = port->write(bytes, n);
    if (written < 0) return rc::notOpen;
    // A frame cut short would only be waited for in vain.
    return static_cast<uint32_t>(written) == n ? rc::ok : rc::linkWrite;
}

int32_t waitSerial(CommandChannel& ch, uint32_t ms) {
    ControllerHandle& h = ownerOf(ch);
    platform::SerialPort* port = portOf(h);
    if (!port || port->lost()) return rc::notOpen;
    awaitReplyEvent(ch, ms);
    return port->lost() ? rc::notOpen : rc::ok;
}

const LinkDriver kSerialDriver = {
    {sendSerial, waitSerial, handleUnsolicited, nullptr},
    TVX_LINK_SERIAL,
    Framing::rtu,
    kSerialLimits,
    prepareSerial,
    connectSerial,
    nullptr,
    nullptr,
    teardownSerial,
};

}  // namespace

const LinkDriver& serialDriver() { return kSerialDriver; }

bool parseComAddress(const char* address, int32_t* port) {
    if (!address) return false;
    // A text shorter than the prefix has no number after it: port 0, which
    // no open accepts.
    if (strnlen(address, 3) < 3) {
        *port = 0;
        return true;
    }
    if (!startsWithNoCase(address, "COM")) return false;
    const AddressNumber n = readAddressNumber(address + 3, NumberBlanks::any);
    // A number too large for an i32 is out of every range the link accepts.
    *port = n.overflow ? -1 : static_cast<int32_t>(n.saturated());
    return true;
}

SerialDefaults serialDefaults() {
    SerialDefaults d;
    d.line.baud = defaultBaud.load(std::memory_order_relaxed);
    d.line.parity = defaultParity.load(std::memory_order_relaxed);
    d.line.stopBits = defaultStopBits.load(std::memory_order_relaxed);
    d.dataBits = defaultDataBits.load(std::memory_order_relaxed);
    d.station = defaultStation.load(std::memory_order_relaxed);
    return d;
}

void setSerialLineDefaults(uint32_t baud, uint32_t dataBits, uint32_t parity, uint32_t stopBits) {
    defaultBaud.store(baud, std::memory_order_relaxed);
    defaultDataBits.store(dataBits, std::memory_order_relaxed);
    defaultParity.store(parity, std::memory_order_relaxed);
    defaultStopBits.store(stopBits, std::memory_order_relaxed);
}

void setSerialStationDefault(uint8_t station) {
    defaultStation.store(station == 0 ? kBroadcastStation : station, std::memory_order_relaxed);
}

void reprogramSerialBaud(ControllerHandle& h, uint32_t baud) {
    platform::SerialPort* port = portOf(h);
    if (!port || !port->isOpen()) return;
    platform::SerialLine line = serialDefaults().line;
    line.baud = baud;
    port->setLine(line);
}

}  // namespace tvx
