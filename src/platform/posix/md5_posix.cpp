#include "platform/md5.h"

#include <openssl/evp.h>

namespace tvx::platform {

bool md5Digest(const uint8_t* data, size_t length, uint8_t digest[kMd5DigestBytes]) {
    unsigned int written = 0;
    static const uint8_t kNothing = 0;
    if (EVP_Digest(data ? data : &kNothing, length, digest, &written, EVP_md5(), nullptr) != 1) return false;
    return written == kMd5DigestBytes;
}

}  // namespace tvx::platform
