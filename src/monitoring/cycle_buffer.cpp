#include "monitoring/cycle_buffer.h"

#include <cstring>
#include <new>

#include "channel/channel.h"
#include "channel/request_codes.h"
#include "link/handle.h"
#include "link/handle_extensions.h"
#include "link/pushed_packets.h"

namespace tvx {
namespace {

// Fields of a pushed block packet (and of a force-once reply).
namespace block_packet {
inline constexpr uint32_t bufferNumber = packet::dataOffset;  // u8
inline constexpr uint32_t block = packet::dataOffset + 1;
}  // namespace block_packet

void releaseCycleUploads(void* state) { delete static_cast<CycleUploads*>(state); }

void receiveCycleBlock(ControllerHandle& h, const uint8_t* pkt, uint16_t length) {
    CycleUploads* uploads = existingCycleUploads(h);
    if (!uploads || length < block_packet::block) return;
    acceptCycleBlock(*uploads, pkt[block_packet::bufferNumber], pkt + block_packet::block,
                     length - block_packet::block);
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

}  // namespace tvx
