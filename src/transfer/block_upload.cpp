#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/result_codes.h"
#include "channel/requests.h"
#include "link/handle_table.h"
#include "packaging/byte_buffer.h"
#include "transfer/block_transfer.h"
#include "transfer/transfer_packets.h"

namespace tvx {
namespace {

inline constexpr uint32_t kBlockHeader = 14;

// Tells the controller the upload ends here; its answer does not matter.
void endUpload(TVX_HANDLE handle, uint16_t code) {
    TransferPacket p;
    p.header(8, code);
    putU16(p.request + 6, kLastBlock);
    lockedTransact(handle, p.request, p.reply);
}

int32_t writeLocalFile(const char* path, const uint8_t* data, size_t n) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return rc::fileNotFound;
    const bool complete = (n == 0 || std::fwrite(data, 1, n, f) == n);
    const bool closed = std::fclose(f) == 0;
    return complete && closed ? rc::ok : rc::osError;
}

}  // namespace

int32_t uploadBegin(TVX_HANDLE handle, uint16_t code, uint32_t* fileLength, const char* name) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    if (!fileLength) return rc::badArgument;
    if (name && strnlen(name, kMaxTransferName + 1) > kMaxTransferName) return rc::nameTooLong;
    TransferPacket p;
    const size_t nameLength = name ? std::strlen(name) : 0;
    p.header(static_cast<uint32_t>(8 + nameLength + 1), code);
    putU16(p.request + 6, 0);
    if (nameLength) std::memcpy(p.request + 8, name, nameLength);
    p.request[8 + nameLength] = 0;
    int32_t r = lockedTransact(handle, p.request, p.reply);
    if (r == rc::ok) *fileLength = getU32(p.reply + 14);
    return r;
}

int32_t uploadBlocks(TVX_HANDLE handle, uint16_t code, void* buffer, uint32_t capacity, uint32_t* received,
                     uint32_t expected) {
    ControllerHandle* h = validHandle(handle);
    if (!h) return rc::invalidHandle;
    if (!buffer || capacity == 0) return rc::badArgument;
    ProgressReset progress(*h);
    auto* out = static_cast<uint8_t*>(buffer);
    TransferPacket p;
    uint32_t got = 0;
    uint16_t counter = 0;
    for (;;) {
        progress.set(got, capacity);
        counter = nextBlockNumber(counter);
        p.header(8, code);
        putU16(p.request + 6, counter);
        p.clearReply();
        int32_t r = lockedTransact(handle, p.request, p.reply);
        if (r != rc::ok) return r;
        const uint32_t length = p.replyLength();
        const uint16_t number = getU16(p.reply + 10);
        const uint32_t d = getU16(p.reply + 12);
        // The block must carry the data it announces, and a block that is
        // not the last must carry some.
        if (length < kBlockHeader || d > length - kBlockHeader || (d == 0 && number != kLastBlock)) {
            endUpload(handle, code);
            return rc::replyLength;
        }
        if (d > capacity - got) {
            std::memcpy(out + got, p.reply + kBlockHeader, capacity - got);
            if (received) *received = capacity;
            endUpload(handle, code);
            return rc::bufferTooSmall;
        }
        std::memcpy(out + got, p.reply + kBlockHeader, d);
        got += d;
        if (number == kLastBlock) break;
        if (got == capacity) {
            // Full before the controller said it was done: complete only when
            // everything announced has arrived.
            endUpload(handle, code);
            if (got != expected) {
                if (received) *received = got;
                return rc::bufferTooSmall;
            }
            break;
        }
    }
    if (received) *received = got;
    return rc::ok;
}

int32_t uploadToFile(TVX_HANDLE handle, uint16_t code, const char* localPath, const char* name) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    if (!localPath) return rc::badArgument;
    uint32_t announced = 0;
    int32_t r = uploadBegin(handle, code, &announced, name);
    if (r != rc::ok) return r;
    if (announced == 0) {
        endUpload(handle, code);
        return writeLocalFile(localPath, nullptr, 0);
    }
    ByteBuffer data;
    if (!data.allocate(announced)) {
        endUpload(handle, code);
        return rc::osError;
    }
    uint32_t got = 0;
    r = uploadBlocks(handle, code, data.data(), announced, &got, announced);
    if (r != rc::ok) return r;
    // Only what arrived is written; a shorter file than announced is an error.
    r = writeLocalFile(localPath, data.data(), got);
    if (r != rc::ok) return r;
    return got == announced ? rc::ok : rc::fileLength;
}

int32_t uploadToMemory(TVX_HANDLE handle, uint16_t code, const char* name, void* buffer, uint32_t capacity,
                       uint32_t* received) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    if (!buffer || capacity == 0) return rc::badArgument;
    uint32_t announced = 0;
    int32_t r = uploadBegin(handle, code, &announced, name);
    if (r != rc::ok) return r;
    return uploadBlocks(handle, code, buffer, capacity, received, announced);
}

int32_t findEntry(TVX_HANDLE handle, uint16_t code, uint16_t mode, char* nameOut, uint32_t* sizeOut) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    if (!nameOut) return rc::badArgument;
    TransferPacket p;
    p.header(8, code);
    putU16(p.request + 6, mode);
    int32_t r = lockedTransact(handle, p.request, p.reply);
    if (r != rc::ok) return r;
    const uint32_t length = p.replyLength();
    if (length < kBlockHeader) return rc::replyLength;
    std::memcpy(nameOut, p.reply + kBlockHeader, length - kBlockHeader);
    nameOut[length - kBlockHeader] = 0;
    if (sizeOut) *sizeOut = getU32(p.reply + 10);
    return rc::ok;
}

}  // namespace tvx
