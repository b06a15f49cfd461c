#include "base/debug_output.h"
#include "link/pci_link.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <memory>
#include <new>

#include "base/address_number.h"
#include "base/ascii.h"
#include "base/bytes.h"
#include "base/result_codes.h"
#include "link/handle.h"
#include "link/pci_packets.h"
#include "platform/clock.h"

namespace tvx {
namespace {

inline constexpr size_t kMaxAddressLength = 255;
inline constexpr uint32_t kThreadStopMs = 100;
// The receive thread's wait for a send before it polls the driver again.
inline constexpr uint32_t kReceivePollMs = 2;
// Pause between empty polls of a waiting caller, and between readiness
// queries: the receive thread or the driver gets the processor meanwhile.
inline constexpr uint32_t kPollPauseMs = 1;
// The limit of a driver request that no caller's budget covers: set-up,
// release and the receive thread's reads.
inline constexpr uint32_t kDriverRequestMs = 3000;

// The link state of a PCI handle, owned by the handle's linkState.
struct PciLink {
    CardChoice card;
    uint16_t ioctlChannel = 0;
    uint16_t maxPacket = 0;
    std::unique_ptr<platform::CardDevice> device;
    platform::Event sendDone;
    platform::Thread rxThread;
    std::atomic<uint8_t> running{0};
    // Makes each drain of the driver (up to 10 packets) exclusive between
    // the receive thread and a caller's wait.
    platform::Semaphore readLock;
};

PciLink* linkOf(ControllerHandle& h) {
    return h.driver == &pciDriver() ? static_cast<PciLink*>(h.linkState.load()) : nullptr;
}

// The card number after the prefix, saturated far beyond any card count.
int64_t cardNumber(const char* text) { return readAddressNumber(text, NumberBlanks::any).saturated(); }

// A driver request cut off midway leaves the driver's stream out of step
// and the link broken, so one started near the end of a budget still gets a
// short grace to finish: a whole exchange takes at most its budget plus this.
inline constexpr uint32_t kDriverRequestGraceMs = 100;

bool control(PciLink& link, uint32_t base, const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t outCapacity,
             uint32_t* returned, uint32_t limitMs) {
    return link.device->control(pci::channelCode(link.ioctlChannel, base), in, inLength, out, outCapacity, returned,
                                std::max(limitMs, kDriverRequestGraceMs));
}

// What is left of the budget of the exchange in progress on the channel.
uint32_t exchangeLeft(const CommandChannel& ch) {
    const uint32_t spent = ticksSince(ch.exchangeStartMs);
    return spent >= ch.exchangeBudgetMs ? 0 : ch.exchangeBudgetMs - spent;
}

void stopReceiver(ControllerHandle& h, PciLink& link) {
    link.running.store(0, std::memory_order_release);
    link.sendDone.set();
    if (!platform::stopThread(link.rxThread, kThreadStopMs)) h.threadsOutstanding.store(true);
}

void receiveThreadMain(void* arg) {
    auto& h = *static_cast<ControllerHandle*>(arg);
    PciLink& link = *static_cast<PciLink*>(h.linkState.load());
    uint8_t buffer[pci::kMaxPacket];
    while (link.running.load(std::memory_order_acquire)) {
        link.sendDone.waitFor(kReceivePollMs);
        if (!link.running.load(std::memory_order_acquire)) break;
        // A failed read is a failed link: the thread ends (a waiting caller
        // then meets the failure in its own reads).
        if (drainPciPackets(h, pci::code::readForThread, buffer, kDriverRequestMs) != rc::ok) break;
    }
}

int32_t preparePci(ControllerHandle& h, const char* address) {
    h.channel.attempts = 2;
    h.channel.baseWaitMs = kDefaultTimeoutMs;
    // Texts the resolution refuses anyway are refused before asking the driver.
    if (strnlen(address, kMaxAddressLength + 1) > kMaxAddressLength || !startsWithNoCase(address, "PCI"))
        return refuse(rc::badArgument, "address is not \"PCI<n>\" or \"PCIE<n>\"");
    const int pci = platform::countCardInterfaces(platform::CardClass::pci, pci::kMaxCardsPerClass);
    const int pcie = platform::countCardInterfaces(platform::CardClass::pcie, pci::kMaxCardsPerClass);
    CardChoice card;
    const int32_t r = resolveCardAddress(address, pci, pcie, &card);
    if (r != rc::ok) return r;
    auto* link = new (std::nothrow) PciLink;
    if (!link) return rc::osError;
    if (!link->readLock.create()) {
        delete link;
        return rc::osError;
    }
    link->card = card;
    h.linkState = link;
    return rc::ok;
}

void closeDevice(PciLink& link) {
    link.device.reset();
    link.sendDone.close();
}

int32_t connectPci(ControllerHandle& h) {
    PciLink* link = linkOf(h);
    if (!link) return refuse(rc::badArgument, "link is NULL");
    if (link->running.load()) stopReceiver(h, *link);
    if (h.threadsOutstanding.load()) return rc::osError;
    closeDevice(*link);

    switch (platform::openCardInterface(link->card.cls, link->card.classIndex, &link->device)) {
        case platform::CardOpenResult::ok: break;
        case platform::CardOpenResult::noDeviceSet: return rc::pciDeviceSet;
        case platform::CardOpenResult::noInterface: return rc::pciNoInterface;
        case platform::CardOpenResult::noDetail: return rc::pciDriver;
        case platform::CardOpenResult::cannotOpen: return rc::pciOpen;
    }
    if (!link->device) return rc::pciOpen;

    uint8_t answer[pci::channel_reply::bytes] = {};
    putU16(answer + pci::channel_reply::channel, 0xFFFF);  // -1 until the driver says otherwise
    uint32_t returned = 0;
    if (!link->device->control(pci::code::queryChannel, nullptr, 0, answer, sizeof answer, &returned,
                               kDriverRequestMs)) {
        closeDevice(*link);
        return rc::pciDriver;
    }
    const auto channel = static_cast<int16_t>(getU16(answer + pci::channel_reply::channel));
    const uint16_t maxPacket = getU16(answer + pci::channel_reply::maxPacket);
    if (channel < 0) {
        closeDevice(*link);
        return rc::pciChannel;
    }
    if (maxPacket > pci::kMaxPacket || maxPacket < pci::kMinPacket) {
        closeDevice(*link);
        return rc::pciDriver;
    }
    link->ioctlChannel = static_cast<uint16_t>(channel);
    link->maxPacket = maxPacket;
    if (!link->sendDone.create(false)) {
        closeDevice(*link);
        return rc::osError;
    }
    link->running.store(1, std::memory_order_release);
    if (!link->rxThread.start(receiveThreadMain, &h)) {
        link->running.store(0);
        closeDevice(*link);
        return rc::osError;
    }
    return rc::ok;
}

void teardownPci(ControllerHandle& h) {
    PciLink* link = linkOf(h);
    if (!link) return;
    stopReceiver(h, *link);
    h.linkState = nullptr;
    // A receive thread that could not be stopped may still use the link and
    // its device: both are left allocated for good.
    if (h.threadsOutstanding.load()) return;
    if (link->device) {
        uint32_t returned = 0;
        control(*link, pci::code::release, nullptr, 0, nullptr, 0, &returned, kDriverRequestMs);
    }
    closeDevice(*link);
    delete link;
}

// Polls write readiness until the driver takes a packet. The poll, and each
// request of it, is bounded by the exchange's budget: a driver that never
// gets ready, or answers slowly, fails the send rather than holding the
// transaction lock (and every close) beyond it.
int32_t awaitWritable(const CommandChannel& ch, PciLink& link) {
    for (;;) {
        uint8_t status[pci::ready_reply::bytes] = {pci::ready_reply::notReady, 0, 0, 0};
        uint32_t returned = 0;
        const uint32_t left = exchangeLeft(ch);
        if (left == 0) return rc::linkWrite;
        if (!control(link, pci::code::writeReady, nullptr, 0, status, sizeof status, &returned, left))
            return rc::linkWrite;
        if (status[pci::ready_reply::status] != pci::ready_reply::notReady) return rc::ok;
        sleepMs(kPollPauseMs);
    }
}

int32_t sendPackets(CommandChannel& ch, const uint8_t* bytes, uint32_t n) {
    ControllerHandle& h = ownerOf(ch);
    PciLink* link = linkOf(h);
    if (!link || !link->device) return rc::notOpen;
    const uint32_t room = link->maxPacket - pci::packet_header::bytes;
    uint8_t packet[pci::kMaxPacket];
    uint32_t sent = 0;
    uint8_t sequence = pci::kOnlyPacket;
    do {
        const uint32_t chunk = std::min(room, n - sent);
        const bool first = sent == 0;
        const bool last = sent + chunk >= n;
        if (first && last)
            sequence = pci::kOnlyPacket;
        else if (last)
            sequence = pci::kLastPacket;
        else
            sequence = first ? pci::kFirstPacket : static_cast<uint8_t>(sequence + 1);
        packet[pci::packet_header::marker] = pci::kWriteMarker;
        packet[pci::packet_header::sequence] = sequence;
        putU16(packet + pci::packet_header::length, static_cast<uint16_t>(chunk));
        if (chunk > 0) std::memcpy(packet + pci::packet_header::data, bytes + sent, chunk);
        int32_t r = awaitWritable(ch, *link);
        if (r != rc::ok) return r;
        uint32_t returned = 0;
        const uint32_t left = exchangeLeft(ch);
        if (left == 0 || !control(*link, pci::code::writePacket, packet, pci::packet_header::bytes + chunk, nullptr, 0,
                                  &returned, left))
            return rc::linkWrite;
        sent += chunk;
    } while (sent < n);
    link->sendDone.set();  // wakes the receive thread for the answer
    return rc::ok;
}

// Polls the driver for the reply, for the requested wait but never beyond
// the exchange's budget; each read gets what is left of it.
int32_t waitForReply(CommandChannel& ch, uint32_t ms) {
    ControllerHandle& h = ownerOf(ch);
    PciLink* link = linkOf(h);
    if (!link || !link->device) return rc::notOpen;
    uint8_t buffer[pci::kMaxPacket];
    const uint32_t start = tickMs();
    for (;;) {
        const uint32_t waited = ticksSince(start);
        const uint32_t left = std::min(exchangeLeft(ch), waited >= ms ? 0u : ms - waited);
        if (left == 0) return rc::ok;
        const int32_t r = drainPciPackets(h, pci::code::readForWait, buffer, left);
        if (r != rc::ok) return r;
        if (ch.replyReady.load(std::memory_order_acquire)) return rc::ok;
        currentClock().waitEvent(ch.replyEvent, kPollPauseMs);
    }
}

// Close holds the driver's reads: no drain feeds the channel while it marks
// the record closed.
bool holdReads(ControllerHandle& h, uint32_t limitMs) {
    PciLink* link = linkOf(h);
    if (!link) return false;
    if (limitMs == kHoldUntilFree) {
        link->readLock.wait();
        return true;
    }
    return link->readLock.waitFor(limitMs);
}

void releaseReads(ControllerHandle& h) {
    if (PciLink* link = linkOf(h)) link->readLock.release();
}

const LinkDriver kPciDriver = {
    {sendPackets, waitForReply, handleUnsolicited, nullptr},
    TVX_LINK_PCI,
    Framing::rtu,
    kFastLinkLimits,
    preparePci,
    connectPci,
    holdReads,
    releaseReads,
    teardownPci,
};

}  // namespace

const LinkDriver& pciDriver() { return kPciDriver; }

int32_t resolveCardAddress(const char* address, int pciCount, int pcieCount, CardChoice* out) {
    if (!address || strnlen(address, kMaxAddressLength + 1) > kMaxAddressLength)
        return refuse(rc::badArgument, "address is NULL or longer than its limit");
    char prefix[5] = {};
    for (size_t i = 0; i < 4 && address[i]; ++i)
        prefix[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(address[i])));
    CardChoice c;
    if (std::strcmp(prefix, "PCIE") == 0) {
        const int64_t n = cardNumber(address + 4);
        if (n < 1 || n > pcieCount) return rc::pciNoCard;
        c.cls = platform::CardClass::pcie;
        c.classIndex = static_cast<int32_t>(n - 1);
        c.cardIndex = pciCount + c.classIndex;
    } else {
        prefix[3] = 0;
        if (std::strcmp(prefix, "PCI") != 0) return refuse(rc::badArgument, "address is not \"PCI<n>\" or \"PCIE<n>\"");
        const int64_t n = cardNumber(address + 3);
        if (n < 1 || n > int64_t{pciCount} + pcieCount) return rc::pciNoCard;
        c.cardIndex = static_cast<int32_t>(n - 1);
        if (c.cardIndex < pciCount) {
            c.cls = platform::CardClass::pci;
            c.classIndex = c.cardIndex;
        } else {
            c.cls = platform::CardClass::pcie;
            c.classIndex = c.cardIndex - pciCount;
        }
    }
    *out = c;
    return rc::ok;
}

int32_t countPciCards() {
    return platform::countCardInterfaces(platform::CardClass::pcie, pci::kMaxCardsPerClass) +
           platform::countCardInterfaces(platform::CardClass::pci, pci::kMaxCardsPerClass);
}

ReadPacket inspectReadPacket(const uint8_t* packet, uint32_t returned, uint16_t maxPacket, uint32_t* dataLength) {
    if (returned < pci::packet_header::bytes || returned > maxPacket) return ReadPacket::invalid;
    if (packet[pci::packet_header::marker] != pci::kReadMarker) return ReadPacket::invalid;
    const uint32_t length = getU16(packet + pci::packet_header::length);
    if (length > returned - pci::packet_header::bytes) return ReadPacket::invalid;
    *dataLength = length;
    return pci::endsMessage(packet[pci::packet_header::continuation]) ? ReadPacket::last : ReadPacket::more;
}

int32_t drainPciPackets(ControllerHandle& h, uint32_t base, uint8_t* buffer, uint32_t limitMs) {
    PciLink* link = linkOf(h);
    if (!link || !link->device) return rc::pciDriver;
    CommandChannel& ch = h.channel;
    int32_t result = rc::ok;
    const uint32_t start = tickMs();
    // The other reader holding the lock counts against this one's limit.
    if (!link->readLock.waitFor(limitMs)) return rc::ok;
    for (int i = 0; i < pci::kPacketsPerRead; ++i) {
        buffer[pci::packet_header::marker] = 0;
        uint32_t returned = 0;
        const uint32_t spent = ticksSince(start);
        if (spent >= limitMs) break;
        if (!control(*link, base, nullptr, 0, buffer, link->maxPacket, &returned, limitMs - spent)) {
            if (ch.waiting.load()) wakeReplyWaiter(ch);
            result = rc::pciDriver;
            break;
        }
        uint32_t length = 0;
        const ReadPacket kind = inspectReadPacket(buffer, returned, link->maxPacket, &length);
        if (kind == ReadPacket::invalid) break;
        if (length > 0) feedBytes(ch, buffer + pci::packet_header::data, length);
        if (kind == ReadPacket::last) break;
    }
    link->readLock.release();
    return result;
}

}  // namespace tvx
