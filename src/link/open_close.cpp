#include "link/open_close.h"

#include <cstring>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "channel/request_codes.h"
#include "channel/requests.h"
#include "frame/library_frame.h"
#include "link/handle.h"
#include "link/handle_table.h"
#include "platform/clock.h"

namespace tvx {
namespace {

// Creates the record's events and semaphores; false when any fails.
bool createObjects(ControllerHandle& h) {
    bool ok = h.replyEvent.create(false) && h.stopEvent.create(true) && h.transactionLock.create() &&
              h.userLock.create() && h.pciReadLock.create();
    for (CycleUploadBuffer& b : h.cycle) {
        if (!ok) break;
        b.active.store(0);
        ok = b.guard.create();
    }
    return ok;
}

int32_t initialiseRecord(ControllerHandle& h, const LinkDriver& driver, const char* address) {
    h.magic.store(kHandleMagic, std::memory_order_release);
    h.running.store(0);
    h.timeoutMs.store(static_cast<int32_t>(kDefaultTimeoutMs));
    h.axisCount = 0;
    h.autoUpCallback.store(nullptr);
    h.lastUnsolicitedSeq = 0xFFFF;
    h.unsolicitedCount.store(0);
    h.progress.store(0.0f);
    h.lastRxTick.store(tickMs());
    initChannel(h.channel, driver.framing, kBufferSize, h.txBuffer, h.replyBuffer, h.rxBuffer);
    h.channel.owner = &h;
    setStationId(h.channel, kBroadcastStation);
    h.channel.ops = driver.ops;
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
    for (CycleUploadBuffer& b : h.cycle) b.active.store(0, std::memory_order_release);
    uint8_t request[packet::areaSize] = {};
    uint8_t reply[packet::areaSize] = {};
    putU16(request, 13);
    putU16(request + packet::commandOffset, req::cycleUpload);
    request[6] = 0xFF;  // every buffer
    request[7] = 0;     // disable
    putU32(request + 8, 0);
    request[12] = 0;  // empty item text
    transactStatus(toApi(&h), request, reply);
}

}  // namespace

int32_t openHandle(const OpenOptions& options, TVX_HANDLE* out) {
    // A library whose load was refused opens nothing.
    if (const int32_t load = libraryLoadResult(); load != rc::ok) return load;
    if (!options.address || !out) return rc::badArgument;
    const LinkDriver* driver = options.driver ? options.driver : driverForKind(options.kind);
    if (!driver) return rc::badArgument;

    ControllerHandle* h = allocateHandle();
    if (!h) return rc::noHandle;
    h->linkState = options.linkState;
    int32_t r = initialiseRecord(*h, *driver, options.address);
    if (r != rc::ok) {
        releaseHandle(h);
        return r;
    }
    TVX_HANDLE api = toApi(h);
    h->timeoutMs.store(static_cast<int32_t>(options.timeoutMs));
    TVX_SysSpecification sysRecord;
    r = querySysSpecification(api, &sysRecord);
    if (r != rc::ok) {
        // Nobody ever received this handle: close it and free the slot.
        closeHandle(api);
        releaseHandle(h);
        return r;
    }
    h->axisCount = sysRecord.axisCount;
    disableCycleUpload(*h);
    if (options.probeTransfer) {
        uint8_t state[28];
        h->windowedTransfer = queryTransferState(api, state) == rc::ok ? 1 : 0;
    }
    h->opening.store(false, std::memory_order_relaxed);
    *out = api;
    return rc::ok;
}

int32_t closeHandle(TVX_HANDLE api) {
    ControllerHandle* h = validHandle(api);
    if (!h) return rc::invalidHandle;
    h->userLock.wait();
    h->transactionLock.wait();
    h->pciReadLock.wait();
    // Another close may have finished while this one waited for the locks.
    const bool wasOpen = h->magic.exchange(0, std::memory_order_acq_rel) == kHandleMagic;
    if (wasOpen) {
        h->closedAt = tickMs();
        if (h->driver) h->driver->teardown(*h);
    }
    h->transactionLock.release();
    h->userLock.release();
    h->pciReadLock.release();
    for (CycleUploadBuffer& b : h->cycle) b.guard.release();
    return wasOpen ? rc::ok : rc::invalidHandle;
}

}  // namespace tvx
