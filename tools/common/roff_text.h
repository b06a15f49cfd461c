// Text for the manual pages the tools write of themselves (roff).
#pragma once

#include <string>

namespace tvx::tool {

// Backslashes escaped, hyphens as minus signs (option names), and lines that
// would read as roff requests (a leading dot or quote) kept literal.
inline std::string roff(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

}  // namespace tvx::tool
