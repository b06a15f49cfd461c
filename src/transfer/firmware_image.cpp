#include "transfer/firmware_image.h"

#include <cstring>

#include "base/archive_cipher.h"
#include "base/byte_transforms.h"
#include "base/bytes.h"
#include "base/result_codes.h"
#include "channel/request_codes.h"

namespace tvx {
namespace {

inline constexpr size_t kDescriptorFixed = firmware_section_header::name;

ImageCheck fail(int32_t code, const char* what) { return ImageCheck{code, what}; }

// The request code and attribute of each image type; false for a type the
// library does not know.
bool kindOf(uint32_t type, FirmwareImage& image, bool& enciphered) {
    enciphered = false;
    image.attribute = 0;
    switch (type) {
        case firmware_type::plain:
            image.code = req::firmwareDown;
            return true;
        case firmware_type::enciphered:
            image.code = req::firmwareDown;
            enciphered = true;
            return true;
        case firmware_type::plainAlternate:
            image.code = req::firmwareDownAlternate;
            return true;
        case firmware_type::sectioned:
            image.code = req::firmwareSection;
            return true;
        default:
            if (type < firmware_type::enciphered421First || type > firmware_type::enciphered421Last) return false;
            image.code = req::firmwarePartDown;
            image.attribute = static_cast<uint16_t>(type - firmware_type::enciphered421First);
            enciphered = true;
            return true;
    }
}

ImageCheck decipher(uint8_t* payload, uint32_t length) {
    const int32_t r = initArchiveCipher();
    if (r != rc::ok) return fail(r, "the built-in cipher could not be set up");
    for (uint32_t at = 0; at < length; at += kCipherBlockBytes) decipherBlock(payload + at);
    byteMirror(payload, length);
    return {};
}

// Walks the descriptor table of an unscrambled sectioned payload. Every
// descriptor with its name must lie inside the table, and the next one
// must start behind the name: a table cannot loop or overlap itself.
ImageCheck readSections(const uint8_t* payload, uint32_t payloadLength, uint32_t count, uint32_t tableSize,
                        FirmwareImage& image) {
    if (count == 0) return fail(rc::firmwareImage, "the image declares no section");
    if (tableSize < kDescriptorFixed || tableSize > payloadLength)
        return fail(rc::firmwareImage, "the section table does not fit the payload");
    // Each descriptor takes at least its fixed fields and a 0 byte.
    if (count > tableSize / (kDescriptorFixed + 1))
        return fail(rc::firmwareImage, "more sections than the section table can describe");
    image.sections.clear();
    image.sections.reserve(count);
    uint64_t at = 0;
    uint64_t dataAt = tableSize;
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (at + kDescriptorFixed > tableSize) return fail(rc::firmwareImage, "a section descriptor lies past the table");
        const uint8_t* d = payload + at;
        const char* name = reinterpret_cast<const char*>(d + firmware_section_header::name);
        const size_t room = tableSize - (at + kDescriptorFixed);
        const void* end = std::memchr(name, 0, room);
        if (!end) return fail(rc::nameTooLong, "a section name is not terminated inside the table");
        const size_t nameLength = static_cast<size_t>(static_cast<const char*>(end) - name);
        if (nameLength > kMaxSectionName) return fail(rc::nameTooLong, "a section name is longer than 1023 characters");
        FirmwareSection s;
        s.length = getU32(d + firmware_section_header::length);
        // A section goes as a transfer of its own, and a transfer carries data.
        if (s.length == 0) return fail(rc::firmwareImage, "a section is empty");
        s.attribute = getU32(d + firmware_section_header::attribute);
        s.checksum = getU32(d + firmware_section_header::checksum);
        s.name = name;
        s.nameLength = static_cast<uint32_t>(nameLength);
        s.offset = 0;  // set once the lengths are known to add up
        total += s.length;
        image.sections.push_back(s);
        if (i + 1 < count) {
            const uint64_t step = getU32(d + firmware_section_header::descriptorSize);
            if (step < kDescriptorFixed + nameLength + 1)
                return fail(rc::firmwareImage, "a section descriptor overlaps the next one");
            at += step;
        }
    }
    if (total + tableSize != payloadLength)
        return fail(rc::fileLength, "the section lengths do not add up to the payload length");
    for (FirmwareSection& s : image.sections) {
        s.offset = static_cast<uint32_t>(dataAt);
        dataAt += s.length;
        uint32_t sum = 0;
        for (uint32_t k = 0; k < s.length; ++k) sum += payload[s.offset + k];
        if (sum != s.checksum) return fail(rc::fileError, "a section's checksum does not match its data");
    }
    image.sectionTotal = total;
    image.tableSize = tableSize;
    return {};
}

}  // namespace

ImageCheck checkFirmwareHeader(const uint8_t* file, size_t size) {
    if (!file || size < firmware_header::bytes) return fail(rc::firmwareImage, "the file is shorter than the 32-byte header");
    const uint32_t declared = getU32(file + firmware_header::payloadLength);
    if (declared != size - firmware_header::bytes)
        return fail(rc::firmwareImage, declared < size - firmware_header::bytes
                                           ? "the header declares a payload shorter than the file holds"
                                           : "the header declares a payload longer than the file holds");
    return {};
}

ImageCheck prepareFirmwareImage(uint8_t* file, size_t size, FirmwareImage& image) {
    ImageCheck c = checkFirmwareHeader(file, size);
    if (!c) return c;
    image = FirmwareImage{};
    image.hardwareId = getU32(file + firmware_header::hardwareId);
    image.type = getU32(file + firmware_header::type);
    image.payload = file + firmware_header::bytes;
    image.payloadLength = getU32(file + firmware_header::payloadLength);
    bool enciphered = false;
    if (!kindOf(image.type, image, enciphered)) return fail(rc::firmwareImage, "the image type is not known");
    if (image.payloadLength == 0) return fail(rc::firmwareImage, "the image carries no payload");
    uint8_t* payload = file + firmware_header::bytes;
    if (enciphered) {
        if (image.payloadLength % kCipherBlockBytes != 0)
            return fail(rc::firmwareImage, "an enciphered payload is not a whole number of 32-byte blocks");
        c = decipher(payload, image.payloadLength);
        if (!c) return c;
    }
    if (image.type != firmware_type::sectioned) return {};
    firmwareXor(payload, image.payloadLength);
    return readSections(payload, image.payloadLength, getU32(file + firmware_header::sectionCount),
                        getU32(file + firmware_header::tableSize), image);
}

}  // namespace tvx
