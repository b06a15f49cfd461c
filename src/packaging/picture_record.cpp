#include "packaging/picture_record.h"

#include <cctype>
#include <cstring>

#include "base/ascii.h"
#include "base/bytes.h"
#include "base/result_codes.h"
#include "packaging/bmp_decoder.h"
#include "base/whole_file.h"

namespace tvx {
namespace {

using platform::DecodedPicture;
using platform::DecodeResult;

constexpr uint8_t kPictureMagic[4] = {'P', 'I', 'C', 0};
constexpr uint32_t kMaxField = 0xFFFF;

enum class SourceKind { unknown, bmp, jpeg, gif };

SourceKind kindOfExtension(const char* extension) {
    char lower[8] = {};
    size_t n = 0;
    for (; extension[n] != 0; ++n) {
        if (n + 1 >= sizeof lower) return SourceKind::unknown;
        lower[n] = lowerAscii(extension[n]);
    }
    if (std::strcmp(lower, "bmp") == 0) return SourceKind::bmp;
    if (std::strcmp(lower, "jpg") == 0 || std::strcmp(lower, "jpe") == 0 || std::strcmp(lower, "jpeg") == 0) {
        return SourceKind::jpeg;
    }
    if (std::strcmp(lower, "gif") == 0) return SourceKind::gif;
    return SourceKind::unknown;
}

// The text after the last '.' of the file name; empty when there is none
// (a dot in a directory name does not count).
const char* extensionOf(const char* path) {
    const char* dot = nullptr;
    for (const char* p = path; *p; ++p) {
        if (*p == '.') dot = p;
        if (*p == '/' || *p == '\\') dot = nullptr;
    }
    return dot ? dot + 1 : "";
}

class DecodedHolder {
public:
    ~DecodedHolder() { platform::releaseDecodedPicture(&picture); }
    DecodedPicture picture;
};

}  // namespace

int32_t buildPictureRecord(const DecodedPicture& p, ByteBuffer* record) {
    const uint16_t bits = p.bitsPerPixel;
    if (bits != 1 && bits != 8 && bits != 24 && bits != 32) return rc::fileError;
    // A zero height would divide by zero and larger values do not fit the
    // 16-bit header fields: such pictures are refused.
    if (p.width == 0 || p.height == 0 || p.width > kMaxField || p.height > kMaxField) return rc::fileError;
    const uint64_t rowBytes = p.pixelBytes / p.height;
    if (rowBytes > kMaxField) return rc::fileError;
    const uint64_t length = kPictureHeaderBytes + 4ull * p.paletteEntries + p.pixelBytes;
    if (length > UINT32_MAX) return rc::fileError;

    ByteBuffer out;
    if (!out.allocate(static_cast<size_t>(length))) return rc::osError;
    uint8_t* r = out.data();
    std::memcpy(r, kPictureMagic, sizeof kPictureMagic);
    putU32(r + 4, static_cast<uint32_t>(length));
    putU16(r + 8, static_cast<uint16_t>(rowBytes));
    putU16(r + 10, static_cast<uint16_t>(p.width));
    putU16(r + 12, static_cast<uint16_t>(p.height));
    putU16(r + 14, bits);
    putU16(r + 16, static_cast<uint16_t>(p.xPixelsPerMetre));
    putU16(r + 18, static_cast<uint16_t>(p.yPixelsPerMetre));
    putU32(r + 20, p.paletteEntries);
    putU32(r + 24, static_cast<uint32_t>(p.pixelBytes));
    putU32(r + 28, 0);
    uint8_t* palette = r + kPictureHeaderBytes;
    for (uint32_t i = 0; i < p.paletteEntries; ++i) {
        // DIB palettes are blue, green, red; the record wants red first.
        palette[4 * i] = p.palette[4 * i + 2];
        palette[4 * i + 1] = p.palette[4 * i + 1];
        palette[4 * i + 2] = p.palette[4 * i];
        palette[4 * i + 3] = 0;
    }
    if (p.pixelBytes > 0) std::memcpy(palette + 4ull * p.paletteEntries, p.pixels, p.pixelBytes);
    *record = std::move(out);
    return rc::ok;
}

int32_t convertPictureFromMemory(const uint8_t* data, size_t size, const char* extension, ByteBuffer* record) {
    const SourceKind kind = kindOfExtension(extension);
    if (kind == SourceKind::unknown) return rc::fileError;
    DecodedHolder decoded;
    DecodeResult result;
    if (kind == SourceKind::bmp) {
        result = decodeBmp(data, size, &decoded.picture);
    } else {
        const auto codecKind = kind == SourceKind::jpeg ? platform::PictureKind::jpeg : platform::PictureKind::gif;
        result = platform::decodePicture(data, size, codecKind, &decoded.picture);
    }
    if (result == DecodeResult::outOfMemory) return rc::osError;
    if (result != DecodeResult::ok) return rc::fileError;
    return buildPictureRecord(decoded.picture, record);
}

int32_t convertPicture(const char* path, ByteBuffer* record) {
    if (path == nullptr) return rc::fileNotFound;
    const char* extension = extensionOf(path);
    if (*extension == 0 || kindOfExtension(extension) == SourceKind::unknown) return rc::fileError;
    ByteBuffer file;
    const int32_t read = readWholeFile(path, &file);
    if (read != rc::ok) return read;
    return convertPictureFromMemory(file.data(), file.size(), extension, record);
}

}  // namespace tvx
