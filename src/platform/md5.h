// MD5 (RFC 1321) from the platform's own library: OpenSSL's libcrypto on
// POSIX, BCrypt on Windows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx::platform {

inline constexpr size_t kMd5DigestBytes = 16;

// False when the platform library fails (the digest is then unspecified).
bool md5Digest(const uint8_t* data, size_t length, uint8_t digest[kMd5DigestBytes]);

}  // namespace tvx::platform
