#include "base/debug_output.h"
#include "link/open_close.h"

#include <cstring>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "channel/cycle_upload_args.h"
#include "channel/request_codes.h"
#include "link/handle.h"
#include "link/handle_table.h"
#include "link/link_defaults.h"
#include "link/locked_transact.h"
#include "link/pushed_packets.h"
#include "platform/clock.h"

namespace tvx {
namespace {

// Creates the record's events and semaphores; false when any fails.
bool createObjects(ControllerHandle& h) {
    return h.channel.replyEvent.create(false) && h.transactionLock.create() && h.userLock.create();
}

int32_t initialiseRecord(ControllerHandle& h, const LinkDriver& driver, const char* address) {
    h.magic.store(kHandleMagic, std::memory_order_release);
    h.timeoutMs.store(static_cast<int32_t>(kDefaultTimeoutMs));
    h.axisCount = 0;
    h.autoUpCallback.store(nullptr);
    h.lastUnsolicitedSeq = 0xFFFF;
    h.unsolicitedCount.store(0);
    h.progress.store(0.0f);
    initChannel(h.channel, driver.framing, kBufferSize, h.txBuffer, h.replyBuffer, h.rxBuffer);
    h.channel.owner = &h;
    h.channel.trace = TraceTag{};
    h.channel.trace.handle = toApi(&h);
    h.channel.trace.port = h.connectString;
    setStationId(h.channel, kBroadcastStation);
    h.channel.ops = &driver;
    h.channel.attempts = 2;
    h.channel.baseWaitMs = kDefaultTimeoutMs;
    h.driver = &driver;
    if (!createObjects(h)) {
        h.magic.store(0);
        return rc::osError;
    }
    h.channel.linkKind = driver.kind;
    // Addresses of 1023 characters or more are cut and always terminated.
    std::strncpy(h.connectString, address, kAddressCapacity - 1);
    h.connectString[kAddressCapacity - 1] = 0;
    int32_t r = driver.prepare(h, address);
    if (r != rc::ok) {
        h.magic.store(0);
        return r;
    }
    r = driver.connect(h);
    if (r != rc::ok) h.magic.store(0);
    return r;
}

// Switches cycle upload off on every buffer; the result is ignored.
void disableCycleUpload(ControllerHandle& h) {
    PacketArea area(req::cycleUpload, cycle_enable_args::items + 1);
    area.args()[cycle_enable_args::buffer] = cycle_enable_args::everyBuffer;  // enable, interval and text stay 0
    lockedTransact(h, area);
}

// Probes for windowed transfer: a controller that answers the transfer
// state query supports it.
bool answersTransferState(ControllerHandle& h) {
    PacketArea area(req::transferState, 0);
    return lockedTransact(h, area) == rc::ok;
}

}  // namespace

int32_t openHandle(const OpenOptions& options, TVX_HANDLE* out) {
    // A library whose load was refused opens nothing.
    if (const int32_t load = loadResult(); load != rc::ok) return load;
    if (!options.address || !out) return refuse(rc::badArgument, "options.address or out is NULL");
    const LinkDriver* driver = options.driver ? options.driver : driverForKind(options.kind);
    if (!driver) return refuse(rc::badArgument, "driver is NULL");

    ControllerHandle* h = allocateHandle();
    if (!h) return rc::noHandle;
    h->linkState = options.linkState;
    int32_t r = initialiseRecord(*h, *driver, options.address);
    if (r != rc::ok) {
        releaseHandle(h);
        return r;
    }
    // The open's budget bounds the whole open: each of its requests gets
    // what the ones before left of it.
    const uint32_t start = tickMs();
    const auto leftOfBudget = [&]() -> uint32_t {
        const uint32_t spent = ticksSince(start);
        return spent >= options.timeoutMs ? 0 : options.timeoutMs - spent;
    };
    h->timeoutMs.store(static_cast<int32_t>(options.timeoutMs));
    PacketArea area;
    r = querySystemRecord(*h, area);
    if (r != rc::ok) {
        // Nobody ever received this handle: close it and free the slot.
        closeHandle(*h);
        releaseHandle(h);
        return r;
    }
    h->axisCount = getU16(area.data() + sys_record::axisCount);
    if (const uint32_t left = leftOfBudget(); left > 0) {
        h->timeoutMs.store(static_cast<int32_t>(left));
        disableCycleUpload(*h);
    }
    if (const uint32_t left = leftOfBudget(); options.probeTransfer && left > 0) {
        h->timeoutMs.store(static_cast<int32_t>(left));
        h->windowedTransfer = answersTransferState(*h) ? 1 : 0;
    }
    h->timeoutMs.store(static_cast<int32_t>(options.timeoutMs));
    h->opening.store(false, std::memory_order_relaxed);
    *out = toApi(h);
    return rc::ok;
}

int32_t querySystemRecord(ControllerHandle& h, PacketArea& area) {
    area.begin(req::sysSpecification, sys_record::requestArgumentBytes);
    putU32(area.args(), connectionIdentifier());
    return lockedTransact(h, area);
}

int32_t closeHandle(ControllerHandle& h) {
    h.userLock.wait();
    h.transactionLock.wait();
    // The link's receive path stops feeding the channel while this holds.
    const LinkDriver* driver = h.driver;
    const bool held = driver && driver->holdReceive && driver->holdReceive(h, kHoldUntilFree);
    // Another close may have finished while this one waited for the locks.
    // From here on no delivery starts a call of the auto-upload callback.
    const bool wasOpen = h.magic.exchange(0, std::memory_order_seq_cst) == kHandleMagic;
    // The receive path gets going again before the teardown waits for it.
    if (held) driver->releaseReceive(h);
    if (!wasOpen) {
        h.transactionLock.release();
        h.userLock.release();
        return rc::invalidHandle;
    }
    // A callback still running may be waiting for one of the locks: it gets
    // them, finds the handle closed and returns. The record stays ours
    // (unreapable) until the link is down.
    const bool opening = h.opening.exchange(true, std::memory_order_relaxed);
    h.transactionLock.release();
    h.userLock.release();
    waitForCallbacks(h);
    h.userLock.wait();
    h.transactionLock.wait();
    h.closedAt = tickMs();
    if (h.driver) h.driver->teardown(h);
    h.transactionLock.release();
    h.userLock.release();
    h.opening.store(opening, std::memory_order_release);
    return rc::ok;
}

bool retireLinkState(ControllerHandle& h, uint32_t limitMs) {
    h.linkState.store(nullptr, std::memory_order_seq_cst);
    const uint32_t start = platform::systemTickMs();
    while (h.linkUsers.load(std::memory_order_seq_cst) != 0) {
        if (platform::systemTickMs() - start >= limitMs) return false;
        platform::systemSleepMs(1);
    }
    return true;
}

}  // namespace tvx
