// The archive cipher: Rijndael with a 256-bit block and a 256-bit key
// (8 columns, 14 rounds), used block by block (ECB) on archives, library
// files, firmware and the first block of compiled PLC programs.
#pragma once

#include <cstdint>

namespace tvx {

inline constexpr uint32_t kCipherBlockBytes = 32;
inline constexpr uint32_t kCipherKeyBytes = 32;

// Builds the tables once and keys the cipher with the built-in key. Returns
// 0, or 3212 when the key text holds a character that is not a hexadecimal
// digit. The first successful call keys the cipher for the life of the
// process; later calls only re-check the key text and change nothing. Safe
// to call from several threads.
int32_t initArchiveCipher();
// True once initArchiveCipher has succeeded.
bool archiveCipherReady();

// Encipher / decipher 32 bytes in place; always 0. The cipher must be ready.
// Read-only shared state: any number of threads may call these at once.
int32_t encipherBlock(uint8_t* block);
int32_t decipherBlock(uint8_t* block);

// Parses up to 64 hexadecimal digits (either case) into `key`, stopping at a
// terminating zero; a shorter text leaves the remaining bytes zero. Nothing
// after the 64th character is read. 0, or 3212 for a non-hexadecimal
// character.
int32_t parseCipherKeyText(const char* text, uint8_t key[kCipherKeyBytes]);

// A Rijndael-256/256 key schedule independent of the built-in key, for
// callers (and tests) that need the block transform under another key.
struct RijndaelKeySchedule {
    uint32_t encrypt[120];
    uint32_t decrypt[120];
};
void expandRijndaelKey(const uint8_t key[kCipherKeyBytes], RijndaelKeySchedule* schedule);
void rijndaelEncipher(const RijndaelKeySchedule& schedule, uint8_t* block);
void rijndaelDecipher(const RijndaelKeySchedule& schedule, uint8_t* block);

namespace testing {
// Replaces the built-in key text for the next initArchiveCipher calls
// (nullptr restores it). Lets tests drive the failing start-up path.
void overrideCipherKeyText(const char* text);
}  // namespace testing

}  // namespace tvx
