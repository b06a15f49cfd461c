// Profile (INI) file access as the Windows profile functions provide it.
// Windows uses the system functions; elsewhere a small implementation of
// our own behaves the same way: section and key names compare without
// regard to ASCII case, blanks around names and values are dropped, a value
// in matching quotes loses them, lines starting with ';' are comments, and
// writes change the one line concerned and keep the rest of the file.
#pragma once

#include <cstdint>

namespace tvx::platform {

// The value of `key` in `section`, or `defaultValue` (trailing blanks
// dropped; NULL reads as empty) when the file, section or key is absent.
// Copies at most size - 1 characters and a terminator; returns the count
// copied (size - 1 when the value was cut). Nothing is written at size 0.
uint32_t profileReadString(const char* path, const char* section, const char* key, const char* defaultValue,
                           char* out, uint32_t size);
// The lines of `section` as "key=value" texts, each zero-terminated, with an
// extra zero at the end; returns the count of characters before that extra
// zero (size - 2 when the list was cut).
uint32_t profileReadSection(const char* path, const char* section, char* out, uint32_t size);
// The names of all sections, in the same list form.
uint32_t profileReadSectionNames(const char* path, char* out, uint32_t size);
// Writes `value` for `key`; a NULL value deletes the key, a NULL key the
// whole section. Creates the file and the section when needed.
bool profileWriteString(const char* path, const char* section, const char* key, const char* value);
// Replaces every line of `section` with `lines` (a list of "key=value"
// texts, each zero-terminated, ended by an extra zero); NULL deletes the
// section.
bool profileWriteSection(const char* path, const char* section, const char* lines);

}  // namespace tvx::platform
