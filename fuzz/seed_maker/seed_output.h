// Where the seed maker puts its files: one folder per fuzz target under
// the root given on the command line, one file per seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tvx::seeds {

using Bytes = std::vector<uint8_t>;

// Writes `content` as seed `name` of `target`; false (and a message on
// stderr) when the file cannot be written.
bool writeSeed(const std::string& target, const std::string& name, const Bytes& content);

// Sets the root folder (created with the target folders as needed).
void setSeedRoot(const std::string& root);

// A selector byte, then the bytes.
inline Bytes led(uint8_t first, const Bytes& rest) {
    Bytes b{first};
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}
inline Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline void append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }
inline void appendU16(Bytes& to, size_t v) {
    to.push_back(static_cast<uint8_t>(v));
    to.push_back(static_cast<uint8_t>(v >> 8));
}

// The groups of seeds; each returns false when a builder failed.
bool makeFileSeeds();
bool makePictureSeeds();
bool makeWireSeeds();

}  // namespace tvx::seeds
