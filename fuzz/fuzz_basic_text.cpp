// BASIC compaction and the hashes over member contents: the compacted text
// never grows, and hashing reads only the bytes it is given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "packaging/source_hashes.h"
#include "tavrix.h"

using namespace tvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> text(data, data + size);
    text.push_back(0);
    const size_t n = compactBasicText(text.data(), size);
    if (n > size) std::abort();
    volatile uint32_t sink = stringHash(data, size) ^ sourceHash(data, size) ^ stringHash(text.data(), n);
    int32_t hash = 0;
    if (TVX_CalStringHash(data, static_cast<uint32_t>(size), &hash) != 0) std::abort();
    (void)sink;
    return 0;
}
