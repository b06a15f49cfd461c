// The shared request functions: check the handle, build one request packet,
// run one locked transaction, and deliver reply fields on success.
#pragma once

#include <atomic>
#include <cstdint>

#include "tavrix.h"

namespace tvx {

// Locked entry points of the channel: test the handle, take its
// transaction lock, run the transaction with the handle's budget.
int32_t lockedTransact(TVX_HANDLE handle, uint8_t* request, uint8_t* replyOut);
// With `keepWaiting`, the wait for the lock gives up (20009) once the flag
// clears: link threads use it so that a close never waits on them.
int32_t lockedSendOnly(TVX_HANDLE handle, uint8_t* request, const std::atomic<uint8_t>* keepWaiting = nullptr);

int32_t requestSimple(TVX_HANDLE handle, uint16_t command);
int32_t requestWithInt(TVX_HANDLE handle, uint16_t command, int32_t value);
int32_t requestWithData(TVX_HANDLE handle, uint16_t command, const void* data, uint32_t n);
int32_t queryByte(TVX_HANDLE handle, uint16_t command, uint8_t* out);
int32_t queryWord(TVX_HANDLE handle, uint16_t command, uint16_t* out);
int32_t queryInt(TVX_HANDLE handle, uint16_t command, int32_t* out);
int32_t queryIntWithWord(TVX_HANDLE handle, uint16_t command, uint16_t word, int32_t* out);
int32_t queryIntWithByte(TVX_HANDLE handle, uint16_t command, uint8_t byte, int32_t* out);
// Copies all reply data to out; capacity 0 means unlimited. When the data
// are shorter than a non-zero capacity a 0 byte is written behind them.
int32_t queryData(TVX_HANDLE handle, uint16_t command, void* out, uint32_t capacity, uint16_t* outLength);
int32_t exchangeData(TVX_HANDLE handle, uint16_t command, const void* data, uint32_t n, void* out,
                     uint32_t capacity, uint16_t* outLength);
// The first 28 bytes of the reply packet of request 148, header included.
int32_t queryTransferState(TVX_HANDLE handle, uint8_t* out28);
// Runs a caller-built packet; the whole reply packet lands in `reply`
// (a zero-filled area of packet::areaSize bytes).
int32_t transactStatus(TVX_HANDLE handle, uint8_t* request, uint8_t* reply);

}  // namespace tvx
