// The process-wide table of 256 handle records. The table owns the records:
// a closed record stays allocated (and refused by the validity test) until
// it is reaped by a later allocation or at unload.
#pragma once

#include <cstdint>

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
// The validity test of every export: the pointer is one of the table's
// records and the record is open.
bool isValidHandle(const void* h);
// True while `p` is one of the table's records, open or not.
bool inHandleTable(const void* p);
// Resolves an API handle to an open record, or null.
ControllerHandle* validHandle(TVX_HANDLE h);
// The result of the library's load as recorded by the frame: while it is
// not 0, opens are refused with it.
void setLoadResult(int32_t code);
int32_t loadResult();
// Destroys every record (library unload).
void destroyAllHandles();
// Tears down the link and closes every kernel object of the record.
void destroyHandle(ControllerHandle& h);

}  // namespace tvx
