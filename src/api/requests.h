// The shared request functions: build one request packet, run one locked
// transaction on a handle the export has already validated, and deliver
// reply fields on success. Out-parameters are written only on success.
#pragma once

#include <cstdint>
#include <type_traits>

#include "base/bytes.h"
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

// Little-endian field access by type, for the one query below.
template <class T>
T getField(const uint8_t* p) {
    if constexpr (std::is_same_v<T, uint8_t>) return p[0];
    else if constexpr (std::is_same_v<T, uint16_t>) return getU16(p);
    else if constexpr (std::is_same_v<T, int32_t>) return getI32(p);
    else if constexpr (std::is_same_v<T, float>) return getF32(p);
    else static_assert(sizeof(T) == 0, "no wire reader for this field type");
}
template <class T>
void putField(uint8_t* p, T v) {
    if constexpr (std::is_same_v<T, uint8_t>) p[0] = v;
    else if constexpr (std::is_same_v<T, uint16_t>) putU16(p, v);
    else if constexpr (std::is_same_v<T, int32_t>) putI32(p, v);
    else static_assert(sizeof(T) == 0, "no wire writer for this field type");
}

// The one query of a single reply field: the arguments go out in order, each
// little-endian at its own width, and the reply's first field is read as T.
// `out` is written only on success; it may be null to just run the request.
template <class T, class... Arg>
int32_t query(ControllerHandle& h, uint16_t command, T* out, Arg... args) {
    PacketArea a(command, static_cast<uint32_t>((sizeof(Arg) + ... + 0)));
    [[maybe_unused]] uint8_t* p = a.args();
    ((putField<Arg>(p, args), p += sizeof(Arg)), ...);
    const int32_t r = queryResult(lockedTransact(h, a), a);
    if (r == rc::ok && out) *out = getField<T>(a.data());
    return r;
}

// Copies all reply data to out; capacity 0 means unlimited. When the data
// are shorter than a non-zero capacity a 0 byte is written behind them.
int32_t queryData(ControllerHandle& h, uint16_t command, void* out, uint32_t capacity, uint16_t* outLength);
int32_t exchangeData(ControllerHandle& h, uint16_t command, const void* data, uint32_t n, void* out,
                     uint32_t capacity, uint16_t* outLength);
// The first 28 bytes of the reply packet of request 148, header included.
inline constexpr uint32_t kTransferStateBytes = 28;
int32_t queryTransferState(ControllerHandle& h, uint8_t* out28);

}  // namespace tvx
