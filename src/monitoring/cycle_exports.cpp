// The cycle-upload exports: enable, disable, force once, receive count and
// value reads.
#include <cstring>

#include "api/requests.h"
#include "base/ascii.h"
#include "base/bytes.h"
#include "base/debug_output.h"
#include "channel/cycle_upload_args.h"
#include "channel/request_codes.h"
#include "monitoring/cycle_buffer.h"

namespace tvx {
namespace {

// Arguments of the force-once request.
namespace cycle_force_args {
inline constexpr uint32_t buffer = 0;  // u8
inline constexpr uint32_t bytes = 1;
}  // namespace cycle_force_args

inline constexpr uint32_t kMaxItemText = 2025;
inline constexpr int32_t kTooManyItems = 20037;
inline constexpr int32_t kEveryBuffer = -1;

uint8_t lowByte(int32_t v) { return static_cast<uint8_t>(static_cast<uint32_t>(v) & 0xFFu); }

bool isActive(const CycleUploadBuffer& b) { return b.active.load(std::memory_order_acquire); }

CycleUploadBuffer* findActive(CycleUploads& u, int32_t number) {
    for (CycleUploadBuffer& b : u.buffers)
        if (isActive(b) && b.number.load(std::memory_order_relaxed) == number) return &b;
    return nullptr;
}

// Marks a buffer inactive under its guard: from here on no block is copied
// into it and no value read from it.
void deactivate(CycleUploadBuffer& b) {
    std::lock_guard<std::mutex> lock(b.guard);
    b.active.store(false, std::memory_order_release);
}

// The item text read into names and start indexes; 0 or the reader's error.
int32_t readItemText(const char* text, ItemText* items, uint32_t* count) {
    TextCursor cursor = beginItemText(text);
    *count = 0;
    for (;;) {
        ItemText item;
        const int32_t r = readItem(cursor, &item);
        if (r == item_text::endOfText) return rc::ok;
        if (r != rc::ok) return r;
        if (*count == kCycleItems) return kTooManyItems;
        upperAsciiInPlace(item.name, std::strlen(item.name));
        items[(*count)++] = item;
    }
}

int32_t enable(ControllerHandle& h, int32_t number, uint32_t cycleValue, const char* text) {
    CycleUploads* uploads = cycleUploads(h);
    if (!uploads) return rc::osError;
    std::lock_guard<std::mutex> control(uploads->control);
    CycleUploadBuffer* b = findActive(*uploads, number);
    if (b) {
        deactivate(*b);  // a restart: inactive until the new layout is in place
    } else {
        for (CycleUploadBuffer& candidate : uploads->buffers)
            if (!isActive(candidate)) {
                b = &candidate;
                break;
            }
        if (!b) return rc::noHandle;
    }
    {
        std::lock_guard<std::mutex> lock(b->guard);
        b->number.store(number, std::memory_order_relaxed);
        b->itemCount = 0;
        b->dataLength = 0;
        b->receiveCount.store(0, std::memory_order_relaxed);
        std::memset(b->data, 0, sizeof b->data);
    }
    const size_t length = strnlen(text, kMaxItemText + 1);
    if (length > kMaxItemText) return refuse(rc::overLimit, "itemText is longer than 2025 characters");

    ItemText items[kCycleItems];
    uint32_t count = 0;
    int32_t r = readItemText(text, items, &count);
    if (r != rc::ok) return r;

    PacketArea a(req::cycleUpload, static_cast<uint32_t>(cycle_enable_args::items + length + 1));
    a.args()[cycle_enable_args::buffer] = lowByte(number);
    a.args()[cycle_enable_args::enable] = 1;
    putU32(a.args() + cycle_enable_args::interval, cycleValue);
    std::memcpy(a.args() + cycle_enable_args::items, text, length + 1);
    r = lockedTransact(h, a);
    if (r != rc::ok) return r;

    std::lock_guard<std::mutex> lock(b->guard);
    b->itemCount = count;
    for (uint32_t i = 0; i < count; ++i) {
        std::memcpy(b->items[i].name, items[i].name, sizeof items[i].name);
        b->items[i].start = items[i].start;
    }
    r = applyLayout(*b, a.data(), a.dataLength());
    if (r != rc::ok) return r;
    b->active.store(true, std::memory_order_release);
    return rc::ok;
}

int32_t disable(ControllerHandle& h, int32_t number) {
    if (CycleUploads* uploads = existingCycleUploads(h)) {
        std::lock_guard<std::mutex> control(uploads->control);
        if (number == kEveryBuffer) {
            for (CycleUploadBuffer& b : uploads->buffers) deactivate(b);
        } else if (CycleUploadBuffer* b = findActive(*uploads, number)) {
            deactivate(*b);
        }
    }
    PacketArea a(req::cycleUpload, cycle_enable_args::items + 1);
    a.args()[cycle_enable_args::buffer] = lowByte(number);  // 0xFF for every buffer
    return lockedTransact(h, a);
}

int32_t forceOnce(ControllerHandle& h, CycleUploads& uploads, int32_t number) {
    PacketArea a(req::cycleForceOnce, cycle_force_args::bytes);
    a.args()[cycle_force_args::buffer] = lowByte(number);
    const int32_t r = lockedTransact(h, a);
    if (r != rc::ok) return r;
    // A reply too short to carry a buffer number is ignored, as a pushed
    // packet would be.
    if (a.dataLength() < cycle_block_header::block) return rc::ok;
    acceptCycleBlock(uploads, a.data()[cycle_block_header::bufferNumber], a.data() + cycle_block_header::block, a.dataLength() - cycle_block_header::block);
    return rc::ok;
}

int32_t readFrom(CycleUploadBuffer& b, int32_t number, const char* name, int32_t index, CycleValue* value) {
    std::lock_guard<std::mutex> lock(b.guard);
    if (!b.active.load(std::memory_order_relaxed) ||
        (number != kEveryBuffer && b.number.load(std::memory_order_relaxed) != number))
        return rc::badArgument;  // disabled or restarted meanwhile
    return readCycleValue(b, name, index, value);
}

int32_t readValue(ControllerHandle& h, int32_t number, const char* name, int32_t index, CycleValue* value) {
    CycleUploads* uploads = existingCycleUploads(h);
    if (!uploads) return refuse(rc::badArgument, "uploads is NULL");
    if (number != kEveryBuffer) {
        CycleUploadBuffer* b = findActive(*uploads, number);
        return b ? readFrom(*b, number, name, index, value)
                 : refuse(rc::badArgument, "no active cycle buffer has that number");
    }
    int32_t r = rc::badArgument;  // no buffer active
    for (CycleUploadBuffer& b : uploads->buffers) {
        if (!isActive(b)) continue;
        r = readFrom(b, number, name, index, value);
        if (r == rc::ok) return r;
    }
    return r == rc::badArgument ? refuse(r, "no active cycle buffer holds the item") : r;
}

}  // namespace
}  // namespace tvx

using namespace tvx;

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_CycleUpEnable(TVX_HANDLE handle, int32_t bufferNumber, uint32_t cycleValue,
                                              const char* itemText) {
    return withHandle(handle, [&](ControllerHandle& h) {
        if (!itemText) return refuse(rc::badArgument, "itemText is NULL");
        return enable(h, bufferNumber, cycleValue, itemText);
    });
}

TVX_API int32_t TVX_STDCALL TVX_CycleUpDisable(TVX_HANDLE handle, int32_t bufferNumber) {
    return withHandle(handle, [&](ControllerHandle& h) { return disable(h, bufferNumber); });
}

TVX_API int32_t TVX_STDCALL TVX_CycleUpForceOnce(TVX_HANDLE handle, int32_t bufferNumber) {
    return withHandle(handle, [&](ControllerHandle& h) {
        CycleUploads* uploads = existingCycleUploads(h);
        if (bufferNumber != kEveryBuffer)
            return uploads && findActive(*uploads, bufferNumber)
                       ? forceOnce(h, *uploads, bufferNumber)
                       : refuse(rc::badArgument, "no active cycle buffer has that number");
        int32_t first = rc::ok;
        if (!uploads) return first;
        for (CycleUploadBuffer& b : uploads->buffers) {
            if (!isActive(b)) continue;
            const int32_t r = forceOnce(h, *uploads, b.number.load(std::memory_order_relaxed));
            if (first == rc::ok) first = r;
        }
        return first;
    });
}

TVX_API uint32_t TVX_STDCALL TVX_CycleUpGetRecvTimes(TVX_HANDLE handle, int32_t bufferNumber) {
    ControllerHandle* h = validHandle(handle);
    if (!h) return static_cast<uint32_t>(rc::invalidHandle);
    CycleUploads* uploads = existingCycleUploads(*h);
    CycleUploadBuffer* b = uploads ? findActive(*uploads, bufferNumber) : nullptr;
    return b ? b->receiveCount.load(std::memory_order_relaxed) : 0;
}

TVX_API int32_t TVX_STDCALL TVX_CycleUpReadBuff(TVX_HANDLE handle, int32_t bufferNumber, const char* itemName,
                                                uint32_t index, double* valueOut) {
    return withHandle(handle, [&](ControllerHandle& h) {
        if (!itemName || !valueOut) return refuse(rc::badArgument, "itemName or valueOut is NULL");
        CycleValue v;
        const int32_t r = readValue(h, bufferNumber, itemName, static_cast<int32_t>(index), &v);
        if (r == rc::ok) *valueOut = v.asDouble;
        return r;
    });
}

TVX_API int32_t TVX_STDCALL TVX_CycleUpReadBuffInt(TVX_HANDLE handle, int32_t bufferNumber, const char* itemName,
                                                   uint32_t index, int32_t* valueOut) {
    return withHandle(handle, [&](ControllerHandle& h) {
        if (!itemName || !valueOut) return refuse(rc::badArgument, "itemName or valueOut is NULL");
        CycleValue v;
        const int32_t r = readValue(h, bufferNumber, itemName, static_cast<int32_t>(index), &v);
        if (r == rc::ok) *valueOut = v.asInt;
        return r;
    });
}

}  // extern "C"
