#include <algorithm>
#include <cstring>

#include "base/result_codes.h"
#include "channel/requests.h"
#include "link/handle_table.h"
#include "packaging/whole_file.h"
#include "transfer/block_transfer.h"
#include "transfer/transfer_packets.h"

namespace tvx {
namespace {

inline constexpr uint32_t kSerialBlock = 192;
inline constexpr uint32_t kBlock = 992;
inline constexpr uint32_t kMaxWindow = 100;
inline constexpr int kMaxResumptions = 3;

struct Plan {
    uint32_t blockSize;
    uint32_t window;
};

// The transfer state the controller reports (request 148).
struct ControllerPosition {
    uint32_t received;
    uint32_t total;
    uint32_t code;
    uint16_t lastBlock;
};

int32_t sendStart(TVX_HANDLE handle, uint16_t code, uint16_t attribute, uint32_t length, const char* name,
                  bool serial, Plan& plan) {
    TransferPacket p;
    const size_t nameLength = name ? std::strlen(name) : 0;
    p.header(static_cast<uint32_t>(14 + nameLength + 1), code);
    putU16(p.request + 6, 0);
    putU16(p.request + 8, attribute);
    putU32(p.request + 10, length);
    if (nameLength) std::memcpy(p.request + 14, name, nameLength);
    p.request[14 + nameLength] = 0;
    int32_t r = lockedTransact(handle, p.request, p.reply);
    if (r != rc::ok) return r;
    plan.blockSize = serial ? kSerialBlock : kBlock;
    plan.window = 1;
    if (p.replyLength() >= 14) {
        const uint32_t largest = getU16(p.reply + 10);
        const uint32_t window = getU16(p.reply + 12);
        plan.blockSize = std::min(plan.blockSize, largest) & ~31u;
        plan.window = (window == 0 || serial) ? 1 : std::min(window, kMaxWindow);
    }
    // A controller that accepts less than 32 bytes a block cannot be served.
    if (plan.blockSize == 0) return rc::replyLength;
    return rc::ok;
}

bool askPosition(TVX_HANDLE handle, ControllerPosition& pos) {
    uint8_t state[28];
    if (queryTransferState(handle, state) != rc::ok) return false;
    pos.received = getU32(state + 10);
    pos.total = getU32(state + 14);
    pos.code = getU32(state + 18);
    pos.lastBlock = getU16(state + 26);
    return true;
}

}  // namespace

int32_t downloadBlocks(TVX_HANDLE handle, uint16_t code, uint16_t attribute, const void* data, uint32_t length,
                       const char* name) {
    ControllerHandle* h = validHandle(handle);
    if (!h) return rc::invalidHandle;
    if (!data || length == 0) return rc::badArgument;
    if (name && strnlen(name, kMaxTransferName + 1) > kMaxTransferName) return rc::nameTooLong;
    ProgressReset progress(*h);

    const bool serial = h->channel.linkKind == TVX_LINK_SERIAL;
    Plan plan{};
    int32_t r = sendStart(handle, code, attribute, length, name, serial, plan);
    if (r != rc::ok) return r;
    if (!h->windowedTransfer) plan.window = 1;

    const auto* bytes = static_cast<const uint8_t*>(data);
    TransferPacket p;
    uint32_t sent = 0;
    uint16_t counter = 0;
    int resumptions = 0;
    while (sent < length) {
        progress.set(sent, length);
        counter = nextBlockNumber(counter);
        const uint32_t remaining = length - sent;
        const bool last = remaining <= plan.blockSize;
        const uint32_t n = last ? remaining : plan.blockSize;
        const uint16_t number = last ? kLastBlock : counter;
        const bool acknowledged = last || counter == 1 || counter % plan.window == 0;
        p.header(n + 10, code);
        putU16(p.request + 6, number);
        putU16(p.request + 8, static_cast<uint16_t>(n));
        std::memcpy(p.request + 10, bytes + sent, n);
        if (!acknowledged) {
            r = lockedSendOnly(handle, p.request);
        } else {
            p.clearReply();
            r = lockedTransact(handle, p.request, p.reply);
        }
        if (acknowledged && r == kBlockRefused) {
            // The controller lost a block: continue from where it stands, if
            // it still holds this transfer.
            ControllerPosition pos{};
            if (!askPosition(handle, pos) || ++resumptions > kMaxResumptions) return kBlockRefused;
            if (pos.lastBlock == kLastBlock || pos.code != code || pos.total != length || pos.received > length)
                return kBlockRefused;
            sent = pos.received;
            counter = pos.lastBlock;
            continue;
        }
        if (r != rc::ok) return r;
        sent += n;
    }
    return rc::ok;
}

int32_t downloadFile(TVX_HANDLE handle, uint16_t code, const char* localPath, const char* name) {
    if (!isValidHandle(handle)) return rc::invalidHandle;
    if (!localPath) return rc::badArgument;
    ByteBuffer file;
    int32_t r = readWholeFile(localPath, &file);
    if (r != rc::ok) return r;
    if (file.size() > UINT32_MAX) return rc::fileLength;
    return downloadBlocks(handle, code, 0, file.data(), static_cast<uint32_t>(file.size()), name);
}

}  // namespace tvx
