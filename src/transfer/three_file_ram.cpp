#include "base/debug_output.h"
#include "transfer/three_file_ram.h"

#include <cstdio>
#include <cstring>

#include "api/requests.h"
#include "transfer/block_transfer.h"

namespace tvx {
namespace {

uint32_t replyValue(const PacketArea& p) { return getU32(p.data() + ram_part_reply::value); }

}  // namespace

int32_t composeRamName(const char* name, int32_t number, char (&out)[kRamNameBytes]) {
    if (!name) return refuse(rc::badArgument, "name is NULL");
    const size_t kept = strnlen(name, kRamNameKept);
    std::memcpy(out, name, kept);
    out[kept] = kRamNameSeparator;
    std::snprintf(out + kept + 1, kRamNameBytes - kept - 1, "%d", static_cast<int>(number));
    return rc::ok;
}

int32_t ramDownBegin(ControllerHandle& h, uint16_t fileNumber, uint32_t announced, const char* name, uint32_t* out) {
    const size_t nameLength = name ? strnlen(name, kMaxTransferName + 1) : 0;
    if (nameLength > kMaxTransferName) return refuse(rc::nameTooLong, "name is longer than 1024 characters");
    PacketArea p(req::threeFileRamPart, static_cast<uint32_t>(ram_part_request::name + nameLength + 1));
    putU16(p.args() + ram_part_request::fileNumber, fileNumber);
    putU32(p.args() + ram_part_request::announced, announced);
    if (nameLength) std::memcpy(p.args() + ram_part_request::name, name, nameLength);
    const int32_t r = lockedTransact(h, p);
    if (r != rc::ok) return r;
    if (out) *out = replyValue(p);
    h.progress.store(0.0f, std::memory_order_relaxed);
    return rc::ok;
}

int32_t ramDownPart(ControllerHandle& h, uint16_t fileNumber, const void* data, uint32_t length, uint32_t* out) {
    if (!data || length == 0) return refuse(rc::badArgument, "data is NULL or length is 0");
    ProgressReset progress(h);
    return sendBlocks(h, ramPartStream(fileNumber), ramPartPlan(h), static_cast<const uint8_t*>(data), length,
                      ProgressSpan{0, length}, out);
}

int32_t ramDownEnd(ControllerHandle& h, uint16_t fileNumber) {
    PacketArea p(req::threeFileRamPart, ram_part_request::endBytes);
    putU16(p.args() + ram_part_request::block, kLastBlock);
    putU16(p.args() + ram_part_request::fileNumber, fileNumber);
    return lockedTransact(h, p);
}

}  // namespace tvx
