// Feeds arbitrary bytes to the firmware image reader, once as a whole file
// and once as the payload of a sectioned image whose header is consistent
// (so that the section table itself is what varies). The file sits in a
// buffer of exactly its size, so any read past it is caught; an accepted
// image must describe sections inside its payload that add up to it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/bytes.h"
#include "transfer/firmware_image.h"

namespace {

using namespace tvx;

void checkAccepted(const FirmwareImage& image, const uint8_t* file, size_t size) {
    const uint8_t* payloadEnd = image.payload + image.payloadLength;
    if (image.payload != file + firmware_header::bytes || payloadEnd != file + size) std::abort();
    if (image.type != firmware_type::sectioned) return;
    if (image.sections.empty()) std::abort();
    uint64_t total = image.tableSize;
    for (const FirmwareSection& s : image.sections) {
        if (s.length == 0 || uint64_t{s.offset} + s.length > image.payloadLength) std::abort();
        if (s.nameLength > kMaxSectionName || s.name[s.nameLength] != 0) std::abort();
        if (reinterpret_cast<const uint8_t*>(s.name) < image.payload ||
            reinterpret_cast<const uint8_t*>(s.name) + s.nameLength >= image.payload + image.tableSize)
            std::abort();
        total += s.length;
    }
    if (total != image.payloadLength || total - image.tableSize != image.sectionTotal) std::abort();
}

void readImage(std::vector<uint8_t> file) {
    // An exact-size heap copy: reading one byte beyond is an error the
    // sanitizer reports.
    uint8_t* exact = static_cast<uint8_t*>(std::malloc(file.size() ? file.size() : 1));
    if (!file.empty()) std::memcpy(exact, file.data(), file.size());
    FirmwareImage image;
    if (prepareFirmwareImage(exact, file.size(), image)) checkAccepted(image, exact, file.size());
    (void)checkFirmwareHeader(exact, file.size());
    std::free(exact);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    readImage(std::vector<uint8_t>(data, data + size));
    if (size < 8) return 0;
    // data: u32 section count, u32 table size, then the plain payload.
    std::vector<uint8_t> file(firmware_header::bytes + size - 8, 0);
    putU32(file.data() + firmware_header::hardwareId, 1);
    putU32(file.data() + firmware_header::type, firmware_type::sectioned);
    putU32(file.data() + firmware_header::payloadLength, static_cast<uint32_t>(size - 8));
    putU32(file.data() + firmware_header::sectionCount, getU32(data));
    putU32(file.data() + firmware_header::tableSize, getU32(data + 4));
    for (size_t i = 8; i < size; ++i) file[firmware_header::bytes + i - 8] = static_cast<uint8_t>(data[i] ^ 0x3C);
    readImage(std::move(file));
    return 0;
}
