// Firmware image files: a 32-byte header and the payload, plain, enciphered
// or scrambled, in one piece or in sections. Every check of an image is
// made here, on the bytes in memory, before anything goes to a controller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tvx {

// Header fields (u32 each).
namespace firmware_header {
inline constexpr size_t hardwareId = 0;
inline constexpr size_t type = 8;
inline constexpr size_t payloadLength = 12;
inline constexpr size_t sectionCount = 16;
inline constexpr size_t tableSize = 20;
inline constexpr size_t bytes = 32;
}  // namespace firmware_header

// A section descriptor of a sectioned image.
namespace firmware_section_header {
inline constexpr size_t length = 0;          // u32 data bytes
inline constexpr size_t descriptorSize = 4;  // u32 distance to the next descriptor
inline constexpr size_t attribute = 8;       // u32 passed to the controller
inline constexpr size_t checksum = 12;       // u32 sum of the data bytes
inline constexpr size_t name = 16;           // text with its 0 byte
}  // namespace firmware_section_header

inline constexpr uint32_t kMaxSectionName = 1023;

// Image types.
namespace firmware_type {
inline constexpr uint32_t plain = 0;
inline constexpr uint32_t enciphered = 1234;
inline constexpr uint32_t plainAlternate = 1235;
inline constexpr uint32_t sectioned = 2234;
inline constexpr uint32_t enciphered421First = 3234;
inline constexpr uint32_t enciphered421Last = 3241;
}  // namespace firmware_type

struct FirmwareSection {
    uint32_t offset = 0;  // of the data in the payload
    uint32_t length = 0;
    uint32_t attribute = 0;
    uint32_t checksum = 0;
    const char* name = nullptr;  // inside the payload, terminated there
    uint32_t nameLength = 0;
};

// An image checked and prepared for sending. Pointers refer to the file
// buffer it was prepared in.
struct FirmwareImage {
    uint32_t hardwareId = 0;
    uint32_t type = 0;
    uint16_t code = 0;       // request code the payload goes with
    uint16_t attribute = 0;  // attribute word of the transfer
    const uint8_t* payload = nullptr;
    uint32_t payloadLength = 0;
    uint32_t tableSize = 0;
    std::vector<FirmwareSection> sections;  // sectioned images only
    uint64_t sectionTotal = 0;              // bytes of all sections
};

// The outcome of a check: the result code and, when it failed, what was
// wrong in words a user can act on.
struct ImageCheck {
    int32_t code = 0;
    const char* what = "";
    explicit operator bool() const { return code == 0; }
};

// The checks of the header alone: a whole header (20018), a payload length
// equal to the bytes after it (20018).
ImageCheck checkFirmwareHeader(const uint8_t* file, size_t size);

// Checks a whole image file in memory and prepares its payload in place:
// the header checks, a known type and a payload (20018), whole 32-byte
// blocks for enciphered types (20018), then deciphering or unscrambling,
// and for sectioned images the section table (20018, names 20013), the
// section lengths against the payload (20012) and each section's checksum
// (20011). Reads nothing outside [file, file + size). The archive cipher's
// own result when it cannot be set up.
ImageCheck prepareFirmwareImage(uint8_t* file, size_t size, FirmwareImage& image);

}  // namespace tvx
