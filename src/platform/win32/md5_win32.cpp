#include "platform/md5.h"

#include "platform/win32/win32.h"

#include <bcrypt.h>

namespace tvx::platform {

bool md5Digest(const uint8_t* data, size_t length, uint8_t digest[kMd5DigestBytes]) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0) < 0) return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) >= 0;
    // BCryptHashData takes a 32-bit length: feed large inputs in pieces.
    size_t done = 0;
    while (ok && done < length) {
        const ULONG piece = static_cast<ULONG>(length - done > 0x40000000u ? 0x40000000u : length - done);
        ok = BCryptHashData(hash, const_cast<PUCHAR>(data + done), piece, 0) >= 0;
        done += piece;
    }
    if (ok) ok = BCryptFinishHash(hash, digest, static_cast<ULONG>(kMd5DigestBytes), 0) >= 0;
    if (hash != nullptr) BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return ok;
}

}  // namespace tvx::platform
