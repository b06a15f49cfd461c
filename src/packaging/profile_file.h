// Typed access to one profile (INI) file over the platform's profile
// functions. Project text files are read with it; the rest is general use.
// Nothing is reported as an error: a missing file, section or key reads as
// absent (the default), and failed writes return false at most.
// One object is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_buffer.h"

namespace tvx {

// Owned text: `size()` characters and a terminating zero (an empty text
// when memory runs out).
using ProfileText = ByteBuffer;

class ProfileFile {
public:
    ProfileFile() = default;
    explicit ProfileFile(const char* path) { setPath(path); }
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    // Replaces the path; NULL empties it. False when memory runs out.
    bool setPath(const char* path);
    // The path, or "" when there is none.
    const char* path() const;
    // Copies the path cut to `size` with a terminator; returns its full length.
    size_t copyPath(char* buffer, size_t size) const;

    // ---- reads --------------------------------------------------------
    ProfileText getString(const char* section, const char* key, const char* defaultValue) const;
    // Copies the value cut to `size` (terminated; nothing written at size 0);
    // returns the value's full length.
    size_t getString(const char* section, const char* key, char* buffer, size_t size,
                     const char* defaultValue) const;
    // Base 2, 8 or 16 when asked, otherwise 10; an empty value gives the default.
    int32_t getInt(const char* section, const char* key, int32_t defaultValue, int base = 10) const;
    uint32_t getUnsigned(const char* section, const char* key, uint32_t defaultValue, int base = 10) const;
    double getDouble(const char* section, const char* key, double defaultValue) const;
    // "true" and "yes" in any case, or a non-zero decimal number.
    bool getBool(const char* section, const char* key, bool defaultValue) const;
    char getChar(const char* section, const char* key, char defaultValue) const;
    // The value as hexadecimal text, two digits a byte (any other character
    // makes the block empty). Copies up to `size` bytes from byte `offset`;
    // returns the bytes available from `offset` (0 beyond the block).
    size_t getData(const char* section, const char* key, void* buffer, size_t size, size_t offset) const;
    // Splits the value at `delimiter` ("," when NULL); `trim` removes blanks,
    // CRs and LFs around each piece. Writes the pieces as zero-terminated
    // texts ended by an extra zero, each cut to the room left, all within
    // `size`; returns the number of pieces stored.
    size_t getArray(const char* section, const char* key, char* buffer, size_t size, const char* delimiter,
                    bool trim) const;

    // ---- writes -------------------------------------------------------
    bool writeString(const char* section, const char* key, const char* text);
    bool appendString(const char* section, const char* key, const char* text);
    // Base 10 "%d", 8 "%o", 16 "%X", 2 binary digits (most significant first).
    bool writeInt(const char* section, const char* key, int32_t value, int base = 10);
    bool writeUnsigned(const char* section, const char* key, uint32_t value, int base = 10);
    bool increaseInt(const char* section, const char* key, int32_t increment, int base = 10);
    bool increaseUnsigned(const char* section, const char* key, uint32_t increment, int base = 10);
    bool increaseDouble(const char* section, const char* key, double increment, int precision = 0);
    bool writeBool(const char* section, const char* key, bool value);
    bool invertBool(const char* section, const char* key);
    // `precision` >= 1 writes that many decimals, otherwise "%f".
    bool writeDouble(const char* section, const char* key, double value, int precision = 0);
    bool writeChar(const char* section, const char* key, char c);
    bool writeData(const char* section, const char* key, const void* bytes, size_t length);
    bool appendData(const char* section, const char* key, const void* bytes, size_t length);
    // Joins the first `count` texts (all of a NULL-ended array when count < 0).
    bool writeArray(const char* section, const char* key, const char* const* texts, int count,
                    const char* delimiter);

    // ---- sections and keys -------------------------------------------
    // Lists of zero-terminated texts with an extra zero at the end.
    ProfileText keyLines(const char* section) const;
    ProfileText keyNames(const char* section) const;
    ProfileText sectionNames() const;
    bool sectionExists(const char* section) const;
    bool keyExists(const char* section, const char* key) const;
    bool deleteSection(const char* section);
    bool deleteKey(const char* section, const char* key);
    bool copySection(const char* source, const char* target, bool failIfExists);
    bool moveSection(const char* source, const char* target);
    bool copyKey(const char* sourceSection, const char* sourceKey, const char* targetSection,
                 const char* targetKey, bool failIfExists);
    bool moveKey(const char* sourceSection, const char* sourceKey, const char* targetSection,
                 const char* targetKey);

private:
    ProfileText readList(const char* section) const;
    bool writeFormatted(const char* section, const char* key, const char* format, ...);

    ProfileText path_;
};

}  // namespace tvx
