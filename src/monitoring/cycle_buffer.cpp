#include "monitoring/cycle_buffer.h"

#include <climits>
#include <cstring>
#include <new>

#include "base/ascii.h"
#include "base/bytes.h"
#include "base/result_codes.h"
#include "channel/channel.h"
#include "channel/request_codes.h"
#include "link/handle.h"
#include "link/handle_extensions.h"
#include "link/pushed_packets.h"

namespace tvx {
namespace {

void releaseCycleUploads(void* state) { delete static_cast<CycleUploads*>(state); }

void receiveCycleBlock(ControllerHandle& h, const uint8_t* pkt, uint16_t length) {
    CycleUploads* uploads = existingCycleUploads(h);
    const uint8_t* data = pkt + packet::dataOffset;
    const uint32_t header = packet::dataOffset + cycle_block_header::block;
    if (!uploads || length < header) return;
    acceptCycleBlock(*uploads, data[cycle_block_header::bufferNumber], data + cycle_block_header::block,
                     length - header);
}

}  // namespace

CycleUploads* existingCycleUploads(ControllerHandle& h) {
    return static_cast<CycleUploads*>(extensionState(h, Extension::cycleUpload));
}

CycleUploads* cycleUploads(ControllerHandle& h) {
    if (CycleUploads* existing = existingCycleUploads(h)) return existing;
    auto* fresh = new (std::nothrow) CycleUploads;
    if (!fresh) return nullptr;
    void* installed = installExtensionState(h, Extension::cycleUpload, fresh);
    if (installed != fresh) delete fresh;  // another thread was first
    return static_cast<CycleUploads*>(installed);
}

void installCycleUpload() {
    setExtensionRelease(Extension::cycleUpload, releaseCycleUploads);
    setPushedPacketSink(req::pushedCycleBlock, receiveCycleBlock);
}

void acceptCycleBlock(CycleUploads& uploads, uint8_t bufferByte, const uint8_t* block, uint32_t n) {
    for (CycleUploadBuffer& b : uploads.buffers) {
        if (!b.active.load(std::memory_order_acquire) || b.number.load(std::memory_order_relaxed) != bufferByte)
            continue;
        std::lock_guard<std::mutex> lock(b.guard);
        // The layout may have changed between the test and the guard: the
        // block is copied only into the layout it was matched against.
        if (!b.active.load(std::memory_order_relaxed) || b.number.load(std::memory_order_relaxed) != bufferByte ||
            n != b.dataLength)
            return;
        std::memcpy(b.data, block, n);
        b.receiveCount.fetch_add(1, std::memory_order_relaxed);
        return;
    }
}


namespace {

inline constexpr int32_t kLayoutMismatch = 20038;
inline constexpr int32_t kNoSuchItem = 20039;

// Bytes one element of the item occupies when read.
uint32_t elementBytes(uint8_t type, uint8_t bits) {
    if (type & item_type::floating) return bits == 64 ? 8 : 4;
    switch (bits) {
        case 64:
            return 8;
        case 32:
            return 4;
        case 16:
            return 2;
        case 8:
            return 1;
        default:
            return 1;  // a bit item: the byte that holds the bit
    }
}

bool isBitItem(uint8_t type, uint8_t bits) {
    return !(type & item_type::floating) && bits != 64 && bits != 32 && bits != 16 && bits != 8;
}

CycleValue fromInteger(int64_t v, int32_t low) { return CycleValue{static_cast<double>(v), low}; }

CycleValue convert(const uint8_t* p, uint8_t type, uint8_t bits, uint64_t k) {
    if (type & item_type::floating) {
        const double v = bits == 64 ? getF64(p) : static_cast<double>(getF32(p));
        return CycleValue{v, truncateToInt(v)};
    }
    if (isBitItem(type, bits)) {
        const int bit = (p[0] >> (k % 8)) & 1;
        return CycleValue{static_cast<double>(bit), bit};
    }
    const bool isUnsigned = type & item_type::unsignedInt;
    switch (bits) {
        case 64: {
            // Unsigned 64-bit values are converted as signed ones.
            const uint64_t v = getU64(p);
            return fromInteger(static_cast<int64_t>(v), static_cast<int32_t>(static_cast<uint32_t>(v)));
        }
        case 32: {
            const uint32_t v = getU32(p);
            return isUnsigned ? CycleValue{static_cast<double>(v), static_cast<int32_t>(v)}
                              : fromInteger(static_cast<int32_t>(v), static_cast<int32_t>(v));
        }
        case 16: {
            const uint16_t v = getU16(p);
            const int32_t i = isUnsigned ? v : static_cast<int16_t>(v);
            return fromInteger(i, i);
        }
        default: {
            const int32_t i = isUnsigned ? p[0] : static_cast<int8_t>(p[0]);
            return fromInteger(i, i);
        }
    }
}

}  // namespace

int32_t truncateToInt(double v) {
    // Both limits are exact doubles; NaN fails both comparisons.
    if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(v);
}

int32_t applyLayout(CycleUploadBuffer& b, const uint8_t* data, uint32_t n) {
    if (getU16(data + cycle_enable_reply::itemCount) != b.itemCount) return kLayoutMismatch;
    const uint32_t blockLength = getU16(data + cycle_enable_reply::blockLength);
    if (blockLength > kCycleDataBytes) return rc::overLimit;
    if (n < cycle_enable_reply::records + cycle_enable_reply::recordBytes * b.itemCount) return rc::replyLength;
    uint32_t total = 0;
    for (uint32_t i = 0; i < b.itemCount; ++i) {
        const uint8_t* r = data + cycle_enable_reply::records + cycle_enable_reply::recordBytes * i;
        CycleItem& item = b.items[i];
        item.type = r[cycle_enable_reply::typeFlags];
        item.bits = r[cycle_enable_reply::bitWidth];
        item.elementCount = getU16(r + cycle_enable_reply::elementCount);
        // The controller's index wins, unless it is the low half of a wider
        // index the text asked for: then the text's index stays.
        const uint16_t first = getU16(r + cycle_enable_reply::firstIndex);
        const uint32_t fromText = static_cast<uint32_t>(item.start);
        if (!((fromText >> 16) != 0 && (fromText & 0xFFFFu) == first)) item.start = first;
        item.bytes = (item.elementCount * item.bits + 7u) / 8u;
        total += item.bytes;
    }
    if (total > blockLength) return rc::replyLength;
    b.dataLength = blockLength;
    return rc::ok;
}

int32_t readCycleValue(const CycleUploadBuffer& b, const char* name, int32_t index, CycleValue* out) {
    if (b.itemCount < 1) return kNoSuchItem;
    uint64_t offset = 0;
    for (uint32_t i = 0; i < b.itemCount; ++i) {
        const CycleItem& item = b.items[i];
        const uint32_t k = static_cast<uint32_t>(index) - static_cast<uint32_t>(item.start);
        const bool holds = static_cast<uint32_t>(item.start) <= static_cast<uint32_t>(index) && k < item.elementCount;
        if (holds && equalsNoCase(item.name, name)) {
            const uint64_t at = offset + (isBitItem(item.type, item.bits) ? k / 8 : (uint64_t{k} * item.bits) / 8);
            if (at + elementBytes(item.type, item.bits) > b.dataLength) return kNoSuchItem;
            *out = convert(b.data + at, item.type, item.bits, k);
            return rc::ok;
        }
        offset += item.bytes;
    }
    return kNoSuchItem;
}

}  // namespace tvx
