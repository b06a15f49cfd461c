// The shared request functions: build one request packet, run one locked
// transaction on a handle the export has already validated, and deliver
// reply fields on success. Out-parameters are written only on success.
#pragma once

#include <cstdint>

#include "base/debug_output.h"
#include "base/result_codes.h"
#include "channel/packet_area.h"
#include "link/handle.h"
#include "link/handle_table.h"
#include "link/locked_transact.h"
#include "tavrix.h"

namespace tvx {

// The one handle check of an export: resolves the caller's handle and runs
// `body` on the open record, or answers 20009.
// A refusal deeper in `body` is named as one of the export's.
template <class Body>
inline int32_t withHandle(TVX_HANDLE api, Body&& body, CallSite where = CallSite::current()) {
    ControllerHandle* h = validHandle(api, where);
    if (!h) return rc::invalidHandle;
    RefusalContext context(where);
    return body(*h);
}

// The result of a query that reads fields of its reply: a reply that
// carries none of the bytes the query reads is refused with 20100; one that
// carries some is read with the rest zero-filled (older controllers send
// shorter records).
inline int32_t queryResult(int32_t r, const PacketArea& a) {
    return r == rc::ok && a.dataLength() == 0 ? rc::replyLength : r;
}

int32_t requestSimple(ControllerHandle& h, uint16_t command);
int32_t requestWithInt(ControllerHandle& h, uint16_t command, int32_t value);
int32_t requestWithData(ControllerHandle& h, uint16_t command, const void* data, uint32_t n);
int32_t queryByte(ControllerHandle& h, uint16_t command, uint8_t* out);
int32_t queryWord(ControllerHandle& h, uint16_t command, uint16_t* out);
int32_t queryInt(ControllerHandle& h, uint16_t command, int32_t* out);
int32_t queryIntWithWord(ControllerHandle& h, uint16_t command, uint16_t word, int32_t* out);
int32_t queryIntWithByte(ControllerHandle& h, uint16_t command, uint8_t byte, int32_t* out);
// Copies all reply data to out; capacity 0 means unlimited. When the data
// are shorter than a non-zero capacity a 0 byte is written behind them.
int32_t queryData(ControllerHandle& h, uint16_t command, void* out, uint32_t capacity, uint16_t* outLength);
int32_t exchangeData(ControllerHandle& h, uint16_t command, const void* data, uint32_t n, void* out,
                     uint32_t capacity, uint16_t* outLength);
// The first 28 bytes of the reply packet of request 148, header included.
inline constexpr uint32_t kTransferStateBytes = 28;
int32_t queryTransferState(ControllerHandle& h, uint8_t* out28);
// The system record, decoded.
int32_t querySysSpecification(ControllerHandle& h, TVX_SysSpecification* record);

}  // namespace tvx
