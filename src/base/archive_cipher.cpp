#include "base/archive_cipher.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "base/ascii.h"
#include "base/bytes.h"
#include "base/result_codes.h"

namespace tvx {
namespace {

constexpr int kColumns = 8;
constexpr int kRounds = 14;
constexpr int kScheduleWords = kColumns * (kRounds + 1);  // 120
constexpr size_t kKeyTextDigits = 64;

// Tables derived from GF(2^8) arithmetic at start-up; read-only afterwards.
struct CipherTables {
    uint8_t logTable[256];
    uint8_t antilog[256];
    uint8_t sbox[256];
    uint8_t inverseSbox[256];
    uint8_t roundConstants[30];
    uint32_t encipherTables[4][256];
    uint32_t decipherTables[4][256];
};

CipherTables g_tables;
RijndaelKeySchedule g_schedule;
std::once_flag g_tablesOnce;
std::once_flag g_keyOnce;
std::atomic<bool> g_ready{false};
std::atomic<const char*> g_keyTextOverride{nullptr};

// The built-in key is kept in pieces; the second one is stored with every
// character raised by one so that the whole key never appears as one string.
constexpr const char* kKeyPieceA = "DB1B996F79BC538B";
constexpr const char* kKeyPieceRaised = "E8D2GBE6D844:G1B";
constexpr const char* kKeyPieceC = "C22B9D083F7DADFF";
constexpr const char* kKeyPieceD = "088C2C887992AF7D";

uint32_t rotl(uint32_t v, int bits) { return (v << bits) | (v >> (32 - bits)); }

uint8_t multiply(const CipherTables& t, uint8_t a, uint8_t b) {
    if (a == 0 || b == 0) return 0;
    return t.antilog[(t.logTable[a] + t.logTable[b]) % 255];
}

uint8_t rotl8(uint8_t v, int bits) { return static_cast<uint8_t>((v << bits) | (v >> (8 - bits))); }

void buildTables(CipherTables& t) {
    // Powers of the generator 3 modulo x^8 + x^4 + x^3 + x + 1.
    uint8_t x = 1;
    for (int i = 0; i < 255; ++i) {
        t.antilog[i] = x;
        t.logTable[x] = static_cast<uint8_t>(i);
        const uint8_t doubled = static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0));
        x = static_cast<uint8_t>(doubled ^ x);
    }
    t.antilog[255] = t.antilog[0];
    t.logTable[0] = 0;

    for (int i = 0; i < 256; ++i) {
        const uint8_t inverse = i == 0 ? 0 : t.antilog[(255 - t.logTable[i]) % 255];
        const uint8_t s = static_cast<uint8_t>(inverse ^ rotl8(inverse, 1) ^ rotl8(inverse, 2) ^
                                               rotl8(inverse, 3) ^ rotl8(inverse, 4) ^ 0x63);
        t.sbox[i] = s;
        t.inverseSbox[s] = static_cast<uint8_t>(i);
    }

    uint8_t rc = 1;
    for (uint8_t& r : t.roundConstants) {
        r = rc;
        rc = static_cast<uint8_t>((rc << 1) ^ ((rc & 0x80) ? 0x1B : 0));
    }

    // Each table word is one state column, row 0 in the low byte. Table k is
    // table 0 rotated by k rows, matching the row the byte came from.
    for (int i = 0; i < 256; ++i) {
        const uint8_t s = t.sbox[i];
        const uint32_t e = static_cast<uint32_t>(multiply(t, s, 2)) | (static_cast<uint32_t>(s) << 8) |
                           (static_cast<uint32_t>(s) << 16) |
                           (static_cast<uint32_t>(multiply(t, s, 3)) << 24);
        const uint8_t v = t.inverseSbox[i];
        const uint32_t d = static_cast<uint32_t>(multiply(t, v, 0x0E)) |
                           (static_cast<uint32_t>(multiply(t, v, 0x09)) << 8) |
                           (static_cast<uint32_t>(multiply(t, v, 0x0D)) << 16) |
                           (static_cast<uint32_t>(multiply(t, v, 0x0B)) << 24);
        t.encipherTables[0][i] = e;
        t.decipherTables[0][i] = d;
        for (int k = 1; k < 4; ++k) {
            t.encipherTables[k][i] = rotl(e, 8 * k);
            t.decipherTables[k][i] = rotl(d, 8 * k);
        }
    }
}

const CipherTables& tables() {
    std::call_once(g_tablesOnce, [] { buildTables(g_tables); });
    return g_tables;
}

uint32_t subWord(const CipherTables& t, uint32_t w) {
    return static_cast<uint32_t>(t.sbox[w & 0xFF]) | (static_cast<uint32_t>(t.sbox[(w >> 8) & 0xFF]) << 8) |
           (static_cast<uint32_t>(t.sbox[(w >> 16) & 0xFF]) << 16) |
           (static_cast<uint32_t>(t.sbox[w >> 24]) << 24);
}

// InvMixColumns of one column, through the decipher table and the S-box
// (Td0[S[b]] is InvMixColumns of the column (b, 0, 0, 0)).
uint32_t inverseMixColumn(const CipherTables& t, uint32_t w) {
    return t.decipherTables[0][t.sbox[w & 0xFF]] ^ t.decipherTables[1][t.sbox[(w >> 8) & 0xFF]] ^
           t.decipherTables[2][t.sbox[(w >> 16) & 0xFF]] ^ t.decipherTables[3][t.sbox[w >> 24]];
}


// Joins the stored pieces into `text` (64 digits and a terminator).
void builtInKeyText(char text[kKeyTextDigits + 1]) {
    size_t n = 0;
    for (const char* p = kKeyPieceA; *p; ++p) text[n++] = *p;
    for (const char* p = kKeyPieceRaised; *p; ++p) text[n++] = static_cast<char>(*p - 1);
    for (const char* p = kKeyPieceC; *p; ++p) text[n++] = *p;
    for (const char* p = kKeyPieceD; *p; ++p) text[n++] = *p;
    text[n] = 0;
}

}  // namespace

int32_t parseCipherKeyText(const char* text, uint8_t key[kCipherKeyBytes]) {
    std::memset(key, 0, kCipherKeyBytes);
    for (size_t i = 0; i < kKeyTextDigits && text[i] != 0; ++i) {
        const int v = hexDigitValue(text[i]);
        if (v < 0) return rc::cipherKey;
        key[i / 2] = static_cast<uint8_t>(key[i / 2] | (i % 2 == 0 ? v << 4 : v));
    }
    return rc::ok;
}

void expandRijndaelKey(const uint8_t key[kCipherKeyBytes], RijndaelKeySchedule* schedule) {
    const CipherTables& t = tables();
    uint32_t* w = schedule->encrypt;
    for (int i = 0; i < kColumns; ++i) w[i] = getU32(key + 4 * i);
    for (int i = kColumns; i < kScheduleWords; ++i) {
        uint32_t temp = w[i - 1];
        if (i % kColumns == 0) {
            // RotWord moves row 1 to row 0: a right rotation of the word.
            temp = subWord(t, rotl(temp, 24)) ^ t.roundConstants[i / kColumns - 1];
        } else if (i % kColumns == 4) {
            temp = subWord(t, temp);
        }
        w[i] = w[i - kColumns] ^ temp;
    }
    // Equivalent inverse cipher: round keys reversed, the inner ones passed
    // through InvMixColumns.
    uint32_t* d = schedule->decrypt;
    for (int round = 0; round <= kRounds; ++round) {
        const uint32_t* src = w + (kRounds - round) * kColumns;
        for (int c = 0; c < kColumns; ++c) {
            const bool outer = round == 0 || round == kRounds;
            d[round * kColumns + c] = outer ? src[c] : inverseMixColumn(t, src[c]);
        }
    }
}

void rijndaelEncipher(const RijndaelKeySchedule& schedule, uint8_t* block) {
    const CipherTables& t = g_tables;
    const uint32_t* rk = schedule.encrypt;
    uint32_t s[kColumns];
    uint32_t n[kColumns];
    for (int c = 0; c < kColumns; ++c) s[c] = getU32(block + 4 * c) ^ rk[c];
    // Row shifts for 8 columns are 0, 1, 3 and 4.
#pragma GCC unroll 13
    for (int round = 1; round < kRounds; ++round) {
        rk += kColumns;
#pragma GCC unroll 8
        for (int c = 0; c < kColumns; ++c) {
            n[c] = t.encipherTables[0][s[c] & 0xFF] ^ t.encipherTables[1][(s[(c + 1) & 7] >> 8) & 0xFF] ^
                   t.encipherTables[2][(s[(c + 3) & 7] >> 16) & 0xFF] ^
                   t.encipherTables[3][s[(c + 4) & 7] >> 24] ^ rk[c];
        }
        std::memcpy(s, n, sizeof s);
    }
    rk += kColumns;
#pragma GCC unroll 8
    for (int c = 0; c < kColumns; ++c) {
        const uint32_t v = static_cast<uint32_t>(t.sbox[s[c] & 0xFF]) |
                           (static_cast<uint32_t>(t.sbox[(s[(c + 1) & 7] >> 8) & 0xFF]) << 8) |
                           (static_cast<uint32_t>(t.sbox[(s[(c + 3) & 7] >> 16) & 0xFF]) << 16) |
                           (static_cast<uint32_t>(t.sbox[s[(c + 4) & 7] >> 24]) << 24);
        putU32(block + 4 * c, v ^ rk[c]);
    }
    // The working state holds key-dependent data: clear it.
    std::memset(static_cast<void*>(s), 0, sizeof s);
    std::memset(static_cast<void*>(n), 0, sizeof n);
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

void rijndaelDecipher(const RijndaelKeySchedule& schedule, uint8_t* block) {
    const CipherTables& t = g_tables;
    const uint32_t* rk = schedule.decrypt;
    uint32_t s[kColumns];
    uint32_t n[kColumns];
    for (int c = 0; c < kColumns; ++c) s[c] = getU32(block + 4 * c) ^ rk[c];
#pragma GCC unroll 13
    for (int round = 1; round < kRounds; ++round) {
        rk += kColumns;
#pragma GCC unroll 8
        for (int c = 0; c < kColumns; ++c) {
            n[c] = t.decipherTables[0][s[c] & 0xFF] ^ t.decipherTables[1][(s[(c + 7) & 7] >> 8) & 0xFF] ^
                   t.decipherTables[2][(s[(c + 5) & 7] >> 16) & 0xFF] ^
                   t.decipherTables[3][s[(c + 4) & 7] >> 24] ^ rk[c];
        }
        std::memcpy(s, n, sizeof s);
    }
    rk += kColumns;
#pragma GCC unroll 8
    for (int c = 0; c < kColumns; ++c) {
        const uint32_t v = static_cast<uint32_t>(t.inverseSbox[s[c] & 0xFF]) |
                           (static_cast<uint32_t>(t.inverseSbox[(s[(c + 7) & 7] >> 8) & 0xFF]) << 8) |
                           (static_cast<uint32_t>(t.inverseSbox[(s[(c + 5) & 7] >> 16) & 0xFF]) << 16) |
                           (static_cast<uint32_t>(t.inverseSbox[s[(c + 4) & 7] >> 24]) << 24);
        putU32(block + 4 * c, v ^ rk[c]);
    }
    std::memset(static_cast<void*>(s), 0, sizeof s);
    std::memset(static_cast<void*>(n), 0, sizeof n);
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

int32_t initArchiveCipher() {
    tables();
    char builtIn[kKeyTextDigits + 1];
    const char* text = g_keyTextOverride.load(std::memory_order_acquire);
    if (text == nullptr) {
        builtInKeyText(builtIn);
        text = builtIn;
    }
    uint8_t key[kCipherKeyBytes];
    const int32_t parsed = parseCipherKeyText(text, key);
    if (parsed == rc::ok) {
        // Keyed once for the life of the process; never re-keyed.
        std::call_once(g_keyOnce, [&key] {
            expandRijndaelKey(key, &g_schedule);
            g_ready.store(true, std::memory_order_release);
        });
    }
    std::memset(key, 0, sizeof key);
    std::memset(builtIn, 0, sizeof builtIn);
    return parsed;
}

bool archiveCipherReady() { return g_ready.load(std::memory_order_acquire); }

int32_t encipherBlock(uint8_t* block) {
    rijndaelEncipher(g_schedule, block);
    return rc::ok;
}

int32_t decipherBlock(uint8_t* block) {
    rijndaelDecipher(g_schedule, block);
    return rc::ok;
}

namespace testing {
void overrideCipherKeyText(const char* text) { g_keyTextOverride.store(text, std::memory_order_release); }
}  // namespace testing

}  // namespace tvx
