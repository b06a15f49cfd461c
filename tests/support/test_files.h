// Test data and scratch files: seeded random bytes, per-process temporary
// paths, whole-file writes and reads.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "support/frames.h"

namespace tvx::testing {

// `n` bytes from a generator seeded with `seed`: the same every run.
inline Bytes randomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    return b;
}

// A path in the test's temporary folder that no other test process uses.
inline std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "tvx_" + std::to_string(::getpid()) + "_" + name;
}

inline void writeFile(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// The whole file; empty when it cannot be read.
inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tvx::testing
