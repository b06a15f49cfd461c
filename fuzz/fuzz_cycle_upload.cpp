// The cycle-upload data the library takes from callers and the wire: an
// item text, the enable reply that lays out the block, pushed blocks and
// value reads of every item at indexes around its range. Input: a text up to
// the first 0 byte, then the reply data (its length in the first two bytes),
// then blocks, each led by its u16 length.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/bytes.h"
#include "monitoring/cycle_buffer.h"
#include "monitoring/cycle_item_text.h"

using namespace tvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* end = data + size;
    const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const std::string text(reinterpret_cast<const char*>(data), nul ? static_cast<size_t>(nul - data) : size);
    const uint8_t* p = nul ? nul + 1 : end;

    static CycleUploads uploads;
    CycleUploadBuffer& b = uploads.buffers[0];
    b.active.store(false);
    b.itemCount = 0;
    TextCursor cursor = beginItemText(text.c_str());
    ItemText item;
    while (b.itemCount < kCycleItems && readItem(cursor, &item) == 0) {
        CycleItem& stored = b.items[b.itemCount++];
        std::memcpy(stored.name, item.name, sizeof item.name);
        stored.start = item.start;
    }
    if (cursor.position < text.c_str() || cursor.position > text.c_str() + text.size()) __builtin_trap();

    if (end - p < 2) return 0;
    size_t n = getU16(p);
    p += 2;
    n = std::min<size_t>(n, static_cast<size_t>(end - p));
    // The reply area the channel hands over: the data, zero-padded.
    uint8_t reply[2048] = {};
    std::memcpy(reply, p, std::min<size_t>(n, sizeof reply - 16));
    p += n;
    if (applyLayout(b, reply, static_cast<uint32_t>(std::min<size_t>(n, sizeof reply - 16))) != 0) return 0;
    if (b.dataLength > kCycleDataBytes) __builtin_trap();
    b.number.store(1);
    b.active.store(true);
    // Blocks: a u16 length, then that many bytes (cut at the input's end).
    while (end - p >= 2) {
        const size_t blockLength = getU16(p);
        p += 2;
        const size_t take = std::min(blockLength, static_cast<size_t>(end - p));
        acceptCycleBlock(uploads, 1, p, static_cast<uint32_t>(take));
        p += take;
    }
    for (uint32_t i = 0; i < b.itemCount; ++i) {
        const CycleItem& it = b.items[i];
        for (int64_t k : {int64_t{-1}, int64_t{0}, int64_t{1}, int64_t{it.elementCount} - 1, int64_t{it.elementCount},
                          int64_t{it.elementCount} * 7 / 8}) {
            CycleValue v;
            readCycleValue(b, it.name, static_cast<int32_t>(it.start + k), &v);
        }
    }
    return 0;
}
