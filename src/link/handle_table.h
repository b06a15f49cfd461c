// The process-wide table of 256 handle records. The table owns the records:
// a closed record stays allocated (and refused by the validity test) until
// it is reaped by a later allocation or at unload.
#pragma once

#include <cstdint>

#include "base/debug_output.h"
#include "link/handle.h"

namespace tvx {

inline constexpr int kHandleSlots = 256;
inline constexpr uint32_t kReapAgeMs = 1200000;  // 20 minutes

// A fresh, zero-filled record placed in a table slot, or null when every
// slot holds an open record. The record is marked as being opened: no other
// allocation reaps it until the open clears the mark or releases it.
ControllerHandle* allocateHandle();
// Removes a record that was never handed to a caller, destroying it.
void releaseHandle(ControllerHandle* h);
// True while `p` is one of the table's records, open or not.
bool inHandleTable(const void* p);
// The validity test of every export: resolves the caller's token to its
// open record, or null. Constant time: one slot is looked at. A refusal is
// named in the debug output as the refusal of the function at `where`.
ControllerHandle* validHandle(TVX_HANDLE h, CallSite where = CallSite::current());

// Tokens: the slot number in the low bits, the slot's generation above.
// Each placement of a record in a slot takes the slot's next generation;
// generation 0 is never issued, so no token is null. The generation has
// 56 bits on 64-bit hosts and 24 bits on 32-bit hosts.
inline constexpr unsigned kTokenSlotBits = 8;
inline constexpr uintptr_t kGenerationMask = (~uintptr_t{0}) >> kTokenSlotBits;
static_assert(kHandleSlots == (1 << kTokenSlotBits));
// Sets the generation a slot's next placement follows (tests reach the
// wrap with it).
void setSlotGenerationForTests(int slot, uintptr_t generation);
// The result of the library's load as recorded by the frame: while it is
// not 0, opens are refused with it.
void setLoadResult(int32_t code);
int32_t loadResult();
// Destroys every record (library unload).
void destroyAllHandles();
// Tears down the link and closes every kernel object of the record.
void destroyHandle(ControllerHandle& h);

}  // namespace tvx
