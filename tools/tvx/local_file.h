// Reading a whole local file for the commands that check or send it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tvx::tool {

// Appends the bytes of the file at `path` to `out`; false when it cannot be
// opened or read to its end.
bool readLocalFile(const std::string& path, std::vector<uint8_t>* out);

}  // namespace tvx::tool
