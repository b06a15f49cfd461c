// The two plain string exports (C calling convention, C-library names).
// strupr folds ASCII letters only, as the cycle-upload item names are
// folded; strlwr follows the C library's character classes.
#include <cctype>

#include "tavrix.h"

extern "C" {

TVX_API char* TVX_CDECL strupr(char* text) {
    if (!text) return text;
    for (char* p = text; *p; ++p)
        if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
    return text;
}

TVX_API char* TVX_CDECL strlwr(char* text) {
    if (!text) return text;
    // The classes take the byte as unsigned: bytes above 0x7F are valid input.
    for (char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (std::isupper(c)) *p = static_cast<char>(std::tolower(c));
    }
    return text;
}

}  // extern "C"
