#include <algorithm>
#include <cstdio>
#include <cstring>

#include "api/requests.h"
#include "base/byte_buffer.h"
#include "base/debug_output.h"
#include "platform/platform.h"
#include "transfer/block_transfer.h"

namespace tvx {
namespace {

// Tells the controller the upload ends here; its answer does not matter.
void endUpload(ControllerHandle& h, uint16_t code) {
    PacketArea p(code, 2);
    putU16(p.args() + upload_request::block, kLastBlock);
    lockedTransact(h, p);
}

int32_t writeLocalFile(const char* path, const uint8_t* data, size_t n) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return rc::fileNotFound;  // the output cannot be created (a directory included)
    const bool complete = (n == 0 || std::fwrite(data, 1, n, f) == n);
    const bool closed = std::fclose(f) == 0;
    return complete && closed ? rc::ok : rc::osError;
}

}  // namespace

int32_t uploadBegin(ControllerHandle& h, uint16_t code, uint32_t* fileLength, const char* name) {
    if (!fileLength) return refuse(rc::badArgument, "fileLength is NULL");
    if (name && strnlen(name, kMaxTransferName + 1) > kMaxTransferName)
        return refuse(rc::nameTooLong, "name is longer than 1024 characters");
    const size_t nameLength = name ? std::strlen(name) : 0;
    PacketArea p(code, static_cast<uint32_t>(upload_request::name + nameLength + 1));
    if (nameLength) std::memcpy(p.args() + upload_request::name, name, nameLength);
    // A start reply without its announced length is no announcement of 0.
    const int32_t r = queryResult(lockedTransact(h, p), p);
    if (r == rc::ok) *fileLength = getU32(p.data() + upload_start_reply::length);
    return r;
}

int32_t uploadBlocks(ControllerHandle& h, uint16_t code, void* buffer, uint32_t capacity, uint32_t* received,
                     uint32_t expected) {
    if (!buffer || capacity == 0) return refuse(rc::badArgument, "buffer is NULL or capacity is 0");
    ProgressReset progress(h);
    auto* out = static_cast<uint8_t*>(buffer);
    PacketArea p;
    uint32_t got = 0;
    uint16_t counter = 0;
    for (;;) {
        progress.set(got, capacity);
        counter = nextBlockNumber(counter);
        p.begin(code, 2);
        putU16(p.args() + upload_request::block, counter);
        int32_t r = lockedTransact(h, p);
        if (r != rc::ok) return r;
        const uint32_t length = p.dataLength();
        const uint16_t number = getU16(p.data() + upload_block_reply::number);
        const uint32_t d = getU16(p.data() + upload_block_reply::count);
        const uint8_t* bytes = p.data() + upload_block_reply::bytes;
        // The block must carry the data it announces, and a block that is
        // not the last must carry some.
        if (length < upload_block_reply::bytes || d > length - upload_block_reply::bytes || (d == 0 && number != kLastBlock)) {
            endUpload(h, code);
            return rc::replyLength;
        }
        if (d > capacity - got) {
            std::memcpy(out + got, bytes, capacity - got);
            if (received) *received = capacity;
            endUpload(h, code);
            return rc::bufferTooSmall;
        }
        std::memcpy(out + got, bytes, d);
        got += d;
        if (number == kLastBlock) break;
        if (got == capacity) {
            // Full before the controller said it was done: complete only when
            // everything announced has arrived.
            endUpload(h, code);
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

int32_t uploadToFile(ControllerHandle& h, uint16_t code, const char* localPath, const char* name) {
    if (!localPath) return refuse(rc::badArgument, "localPath is NULL");
    uint32_t announced = 0;
    int32_t r = uploadBegin(h, code, &announced, name);
    if (r != rc::ok) return r;
    if (announced == 0) {
        endUpload(h, code);
        return writeLocalFile(localPath, nullptr, 0);
    }
    ByteBuffer data;
    if (!data.allocate(announced)) {
        endUpload(h, code);
        return rc::osError;
    }
    platform::adviseLargeFill(data.data(), announced);
    uint32_t got = 0;
    r = uploadBlocks(h, code, data.data(), announced, &got, announced);
    if (r != rc::ok) return r;
    // Only what arrived is written; a shorter file than announced is an error.
    r = writeLocalFile(localPath, data.data(), got);
    if (r != rc::ok) return r;
    return got == announced ? rc::ok : rc::fileLength;
}

int32_t uploadToMemory(ControllerHandle& h, uint16_t code, const char* name, void* buffer, uint32_t capacity,
                       uint32_t* received) {
    if (!buffer || capacity == 0) return refuse(rc::badArgument, "buffer is NULL or capacity is 0");
    uint32_t announced = 0;
    int32_t r = uploadBegin(h, code, &announced, name);
    if (r != rc::ok) return r;
    uint32_t got = 0;
    r = uploadBlocks(h, code, buffer, capacity, &got, announced);
    if (received && (r == rc::ok || r == rc::bufferTooSmall)) *received = got;
    // As for a file: a last block before (or beyond) the announced length
    // leaves the data short or long, which is no success.
    if (r == rc::ok && got != announced) return rc::fileLength;
    return r;
}

int32_t findEntry(ControllerHandle& h, uint16_t code, uint16_t mode, char* nameOut, uint32_t* sizeOut) {
    if (!nameOut) return refuse(rc::badArgument, "nameOut is NULL");
    PacketArea p(code, 2);
    putU16(p.args() + upload_request::block, mode);
    const int32_t r = lockedTransact(h, p);
    if (r != rc::ok) return r;
    const uint32_t length = p.dataLength();
    if (length < upload_block_reply::bytes) return rc::replyLength;
    std::memcpy(nameOut, p.data() + upload_block_reply::bytes, length - upload_block_reply::bytes);
    nameOut[length - upload_block_reply::bytes] = 0;
    if (sizeOut) *sizeOut = getU32(p.data() + upload_block_reply::entrySize);
    return rc::ok;
}

}  // namespace tvx
