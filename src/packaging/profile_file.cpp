#include "packaging/profile_file.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/ascii.h"
#include "platform/profile.h"

namespace tvx {
namespace {

// Reads whose length is unknown start at 512 characters and grow by 512
// until the result fits; the ceiling only guards against a file that keeps
// growing while it is read.
constexpr size_t kReadStep = 512;
constexpr size_t kReadCeiling = 256u * 1024u * 1024u;

// The default a key-existence test reads with: no real value looks like it.
constexpr const char* kAbsentMarker = "{63788286-AE30-4D6B-95DF-3B451C1C79F9}";

constexpr int kMaxPrecision = 340;  // digits beyond this add nothing to a double

bool copyText(ProfileText* out, const char* text, size_t n) {
    if (!out->allocate(n)) return false;
    if (n) std::memcpy(out->data(), text, n);
    return true;
}

int checkedBase(int base) { return (base == 2 || base == 8 || base == 16) ? base : 10; }

// Binary digits of `value`, most significant first; 0 gives "0".
void binaryText(uint64_t value, char out[65]) {
    char reversed[64];
    int n = 0;
    do {
        reversed[n++] = static_cast<char>('0' + (value & 1));
        value >>= 1;
    } while (value != 0 && n < 64);
    for (int i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
    out[n] = 0;
}

const char* textOf(const ProfileText& t) { return t.data() ? reinterpret_cast<const char*>(t.data()) : ""; }

bool isTrimmed(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool ProfileFile::setPath(const char* path) {
    if (path == nullptr) {
        path_ = ProfileText();
        return true;
    }
    ProfileText copy;
    if (!copyText(&copy, path, std::strlen(path))) return false;
    path_ = std::move(copy);
    return true;
}

const char* ProfileFile::path() const { return path_.data() ? reinterpret_cast<const char*>(path_.data()) : ""; }

size_t ProfileFile::copyPath(char* buffer, size_t size) const {
    const char* p = path();
    const size_t n = std::strlen(p);
    if (buffer != nullptr && size > 0) {
        const size_t c = n < size - 1 ? n : size - 1;
        std::memcpy(buffer, p, c);
        buffer[c] = 0;
    }
    return n;
}

ProfileText ProfileFile::getString(const char* section, const char* key, const char* defaultValue) const {
    ProfileText result;
    if (section == nullptr || key == nullptr) {
        const char* d = defaultValue ? defaultValue : "";
        copyText(&result, d, std::strlen(d));
        return result;
    }
    for (size_t size = kReadStep; size <= kReadCeiling; size += kReadStep) {
        if (!result.allocate(size)) return ProfileText();
        char* text = reinterpret_cast<char*>(result.data());
        const uint32_t n = platform::profileReadString(path(), section, key, defaultValue, text,
                                                       static_cast<uint32_t>(size));
        if (n + 1 < size || size + kReadStep > kReadCeiling) {
            result.shrink(n);
            return result;
        }
    }
    return result;
}

size_t ProfileFile::getString(const char* section, const char* key, char* buffer, size_t size,
                              const char* defaultValue) const {
    const ProfileText value = getString(section, key, defaultValue);
    if (buffer != nullptr && size > 0) {
        const size_t c = value.size() < size - 1 ? value.size() : size - 1;
        if (c) std::memcpy(buffer, value.data(), c);
        buffer[c] = 0;
    }
    return value.size();
}

int32_t ProfileFile::getInt(const char* section, const char* key, int32_t defaultValue, int base) const {
    const ProfileText v = getString(section, key, "");
    if (v.size() == 0) return defaultValue;
    // Saturate to 32 bits so that the result does not depend on the width of long.
    const long long n = std::strtoll(reinterpret_cast<const char*>(v.data()), nullptr, checkedBase(base));
    if (n > INT32_MAX) return INT32_MAX;
    if (n < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(n);
}

uint32_t ProfileFile::getUnsigned(const char* section, const char* key, uint32_t defaultValue, int base) const {
    const ProfileText v = getString(section, key, "");
    if (v.size() == 0) return defaultValue;
    const unsigned long long n = std::strtoull(reinterpret_cast<const char*>(v.data()), nullptr, checkedBase(base));
    return static_cast<uint32_t>(n > UINT32_MAX ? UINT32_MAX : n);
}

double ProfileFile::getDouble(const char* section, const char* key, double defaultValue) const {
    const ProfileText v = getString(section, key, "");
    if (v.size() == 0) return defaultValue;
    return std::strtod(reinterpret_cast<const char*>(v.data()), nullptr);
}

bool ProfileFile::getBool(const char* section, const char* key, bool defaultValue) const {
    const ProfileText v = getString(section, key, "");
    if (v.size() == 0) return defaultValue;
    const char* t = reinterpret_cast<const char*>(v.data());
    if (equalsNoCase(t, "true") || equalsNoCase(t, "yes")) return true;
    return std::strtol(t, nullptr, 10) != 0;
}

char ProfileFile::getChar(const char* section, const char* key, char defaultValue) const {
    const ProfileText v = getString(section, key, "");
    return v.size() == 0 ? defaultValue : static_cast<char>(v.data()[0]);
}

size_t ProfileFile::getData(const char* section, const char* key, void* buffer, size_t size, size_t offset) const {
    const ProfileText v = getString(section, key, "");
    const char* t = reinterpret_cast<const char*>(v.data());
    if (v.size() % 2 != 0) return 0;
    for (size_t i = 0; i < v.size(); ++i)
        if (hexDigitValue(t[i]) < 0) return 0;
    const size_t bytes = v.size() / 2;
    if (offset >= bytes) return 0;
    const size_t available = bytes - offset;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    for (size_t i = 0; out != nullptr && i < size && i < available; ++i) {
        const size_t at = 2 * (offset + i);
        out[i] = static_cast<uint8_t>(hexDigitValue(t[at]) << 4 | hexDigitValue(t[at + 1]));
    }
    return available;
}

size_t ProfileFile::getArray(const char* section, const char* key, char* buffer, size_t size, const char* delimiter,
                             bool trim) const {
    // Room for at least one empty piece and the list's extra zero.
    if (buffer == nullptr || size < 2) {
        if (buffer != nullptr && size == 1) buffer[0] = 0;
        return 0;
    }
    const ProfileText v = getString(section, key, "");
    const char* delim = (delimiter && *delimiter) ? delimiter : ",";
    const size_t delimLength = std::strlen(delim);
    const char* p = reinterpret_cast<const char*>(v.data());
    const char* end = p + v.size();
    size_t used = 0;
    size_t pieces = 0;
    // Each piece takes its characters and a zero; one byte stays for the
    // list's final zero.
    while (used + 1 < size) {
        const char* cut = v.size() ? std::strstr(p, delim) : nullptr;
        const char* pieceEnd = cut ? cut : end;
        const char* a = p;
        const char* b = pieceEnd;
        if (trim) {
            while (a < b && isTrimmed(*a)) ++a;
            while (b > a && isTrimmed(b[-1])) --b;
        }
        const size_t room = size - 1 - used - 1;
        const size_t n = static_cast<size_t>(b - a) < room ? static_cast<size_t>(b - a) : room;
        if (n) std::memcpy(buffer + used, a, n);
        used += n;
        buffer[used++] = 0;
        ++pieces;
        if (cut == nullptr) break;
        p = cut + delimLength;
    }
    buffer[used] = 0;
    return pieces;
}

bool ProfileFile::writeString(const char* section, const char* key, const char* text) {
    if (section == nullptr || key == nullptr) return false;
    return platform::profileWriteString(path(), section, key, text ? text : "");
}

bool ProfileFile::writeFormatted(const char* section, const char* key, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    ProfileText text;
    bool ok = n >= 0 && text.allocate(static_cast<size_t>(n));
    if (ok) std::vsnprintf(reinterpret_cast<char*>(text.data()), static_cast<size_t>(n) + 1, format, again);
    va_end(again);
    return ok && writeString(section, key, reinterpret_cast<const char*>(text.data()));
}

bool ProfileFile::appendString(const char* section, const char* key, const char* text) {
    const ProfileText present = getString(section, key, "");
    return writeFormatted(section, key, "%s%s", textOf(present), text ? text : "");
}

bool ProfileFile::writeInt(const char* section, const char* key, int32_t value, int base) {
    switch (base) {
        case 8:
            return writeFormatted(section, key, "%o", static_cast<unsigned>(value));
        case 16:
            return writeFormatted(section, key, "%X", static_cast<unsigned>(value));
        case 2: {
            char digits[65];
            binaryText(static_cast<uint32_t>(value), digits);
            return writeString(section, key, digits);
        }
        default:
            return writeFormatted(section, key, "%d", static_cast<int>(value));
    }
}

bool ProfileFile::writeUnsigned(const char* section, const char* key, uint32_t value, int base) {
    if (checkedBase(base) == 10) return writeFormatted(section, key, "%u", static_cast<unsigned>(value));
    return writeInt(section, key, static_cast<int32_t>(value), base);
}

bool ProfileFile::increaseInt(const char* section, const char* key, int32_t increment, int base) {
    const int32_t present = getInt(section, key, 0, base);
    return writeInt(section, key, static_cast<int32_t>(static_cast<uint32_t>(present) + static_cast<uint32_t>(increment)),
                    base);
}

bool ProfileFile::increaseUnsigned(const char* section, const char* key, uint32_t increment, int base) {
    return writeUnsigned(section, key, getUnsigned(section, key, 0, base) + increment, base);
}

bool ProfileFile::increaseDouble(const char* section, const char* key, double increment, int precision) {
    return writeDouble(section, key, getDouble(section, key, 0.0) + increment, precision);
}

bool ProfileFile::writeBool(const char* section, const char* key, bool value) {
    return writeString(section, key, value ? "1" : "0");
}

bool ProfileFile::invertBool(const char* section, const char* key) {
    return writeBool(section, key, !getBool(section, key, false));
}

bool ProfileFile::writeDouble(const char* section, const char* key, double value, int precision) {
    // The text is sized to the value, so no precision can overrun it.
    if (precision >= 1)
        return writeFormatted(section, key, "%.*f", precision > kMaxPrecision ? kMaxPrecision : precision, value);
    return writeFormatted(section, key, "%f", value);
}

bool ProfileFile::writeChar(const char* section, const char* key, char c) {
    const char text[2] = {c, 0};
    return writeString(section, key, text);
}

bool ProfileFile::writeData(const char* section, const char* key, const void* bytes, size_t length) {
    if (bytes == nullptr && length > 0) return false;
    ProfileText text;
    if (length > (SIZE_MAX - 1) / 2 || !text.allocate(2 * length)) return false;
    static const char kDigits[] = "0123456789ABCDEF";
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    for (size_t i = 0; i < length; ++i) {
        text.data()[2 * i] = static_cast<uint8_t>(kDigits[b[i] >> 4]);
        text.data()[2 * i + 1] = static_cast<uint8_t>(kDigits[b[i] & 0x0F]);
    }
    return writeString(section, key, textOf(text));
}

bool ProfileFile::appendData(const char* section, const char* key, const void* bytes, size_t length) {
    if (bytes == nullptr && length > 0) return false;
    ProfileText hex;
    if (length > (SIZE_MAX - 1) / 2 || !hex.allocate(2 * length)) return false;
    static const char kDigits[] = "0123456789ABCDEF";
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    for (size_t i = 0; i < length; ++i) {
        hex.data()[2 * i] = static_cast<uint8_t>(kDigits[b[i] >> 4]);
        hex.data()[2 * i + 1] = static_cast<uint8_t>(kDigits[b[i] & 0x0F]);
    }
    return appendString(section, key, textOf(hex));
}

bool ProfileFile::writeArray(const char* section, const char* key, const char* const* texts, int count,
                             const char* delimiter) {
    if (texts == nullptr) return false;
    const char* delim = (delimiter && *delimiter) ? delimiter : ",";
    size_t n = 0;
    size_t total = 0;
    for (; count < 0 ? texts[n] != nullptr : n < static_cast<size_t>(count); ++n)
        total += (texts[n] ? std::strlen(texts[n]) : 0) + std::strlen(delim);
    ProfileText joined;
    if (!joined.allocate(total)) return false;
    char* out = reinterpret_cast<char*>(joined.data());
    size_t used = 0;
    for (size_t i = 0; i < n; ++i) {
        if (i) {
            std::memcpy(out + used, delim, std::strlen(delim));
            used += std::strlen(delim);
        }
        const size_t len = texts[i] ? std::strlen(texts[i]) : 0;
        if (len) std::memcpy(out + used, texts[i], len);
        used += len;
    }
    joined.shrink(used);
    return writeString(section, key, out);
}

ProfileText ProfileFile::readList(const char* section) const {
    ProfileText result;
    for (size_t size = kReadStep; size <= kReadCeiling; size += kReadStep) {
        if (!result.allocate(size)) return ProfileText();
        char* text = reinterpret_cast<char*>(result.data());
        const uint32_t n = section ? platform::profileReadSection(path(), section, text, static_cast<uint32_t>(size))
                                   : platform::profileReadSectionNames(path(), text, static_cast<uint32_t>(size));
        if (n + 2 < size || size + kReadStep > kReadCeiling) {
            // Keep the list's final zero inside the content.
            result.shrink(n + 1);
            result.data()[n] = 0;
            return result;
        }
    }
    return result;
}

ProfileText ProfileFile::keyLines(const char* section) const {
    if (section == nullptr) return ProfileText();
    return readList(section);
}

ProfileText ProfileFile::keyNames(const char* section) const {
    const ProfileText lines = keyLines(section);
    ProfileText names;
    if (!names.allocate(lines.size())) return ProfileText();
    const char* p = reinterpret_cast<const char*>(lines.data());
    const char* end = p + lines.size();
    char* out = reinterpret_cast<char*>(names.data());
    size_t used = 0;
    while (p < end && *p) {
        const size_t len = std::strlen(p);
        const char* eq = static_cast<const char*>(std::memchr(p, '=', len));
        const char* a = p;
        const char* b = eq ? eq : p + len;
        while (a < b && (*a == ' ' || *a == '\t')) ++a;
        while (b > a && (b[-1] == ' ' || b[-1] == '\t')) --b;
        std::memcpy(out + used, a, static_cast<size_t>(b - a));
        used += static_cast<size_t>(b - a);
        out[used++] = 0;
        p += len + 1;
    }
    out[used] = 0;
    names.shrink(used + 1);
    return names;
}

ProfileText ProfileFile::sectionNames() const { return readList(nullptr); }

bool ProfileFile::sectionExists(const char* section) const {
    if (section == nullptr) return false;
    const ProfileText names = sectionNames();
    const char* p = reinterpret_cast<const char*>(names.data());
    const char* end = p + names.size();
    for (; p && p < end && *p; p += std::strlen(p) + 1)
        if (equalsNoCase(p, section)) return true;
    return false;
}

bool ProfileFile::keyExists(const char* section, const char* key) const {
    if (section == nullptr || key == nullptr) return false;
    const ProfileText v = getString(section, key, kAbsentMarker);
    return std::strcmp(textOf(v), kAbsentMarker) != 0;
}

bool ProfileFile::deleteSection(const char* section) {
    if (section == nullptr) return false;
    return platform::profileWriteString(path(), section, nullptr, nullptr);
}

bool ProfileFile::deleteKey(const char* section, const char* key) {
    if (section == nullptr || key == nullptr) return false;
    return platform::profileWriteString(path(), section, key, nullptr);
}

bool ProfileFile::copySection(const char* source, const char* target, bool failIfExists) {
    if (source == nullptr || target == nullptr || equalsNoCase(source, target)) return false;
    if (!sectionExists(source)) return false;
    if (failIfExists && sectionExists(target)) return false;
    const ProfileText lines = keyLines(source);
    deleteSection(target);
    // An empty source section still leaves an (empty) target section.
    const char* list = lines.size() ? textOf(lines) : "\0";
    return platform::profileWriteSection(path(), target, list);
}

bool ProfileFile::moveSection(const char* source, const char* target) {
    return copySection(source, target, false) && deleteSection(source);
}

bool ProfileFile::copyKey(const char* sourceSection, const char* sourceKey, const char* targetSection,
                          const char* targetKey, bool failIfExists) {
    if (!sourceSection || !sourceKey || !targetSection || !targetKey) return false;
    if (equalsNoCase(sourceSection, targetSection) && equalsNoCase(sourceKey, targetKey)) return false;
    if (!keyExists(sourceSection, sourceKey)) return false;
    if (failIfExists && keyExists(targetSection, targetKey)) return false;
    const ProfileText value = getString(sourceSection, sourceKey, "");
    return writeString(targetSection, targetKey, textOf(value));
}

bool ProfileFile::moveKey(const char* sourceSection, const char* sourceKey, const char* targetSection,
                          const char* targetKey) {
    return copyKey(sourceSection, sourceKey, targetSection, targetKey, false) && deleteKey(sourceSection, sourceKey);
}

}  // namespace tvx
