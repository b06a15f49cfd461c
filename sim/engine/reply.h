// A reply packet under construction: header, status and data fields
// appended in order, never past its capacity.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/bytes.h"

namespace tvx::sim {

class Reply {
public:
    Reply(uint8_t* p, size_t capacity, uint16_t command, uint16_t sequence) : p_(p), cap_(capacity) {
        putU16(p_ + 2, command);
        putU16(p_ + 4, sequence);
        putI32(p_ + 6, 0);
    }
    void status(int32_t s) { putI32(p_ + 6, s); }
    void u8(uint8_t v) {
        if (len_ + 1 <= cap_) p_[len_++] = v;
    }
    void u16(uint16_t v) {
        if (len_ + 2 <= cap_) putU16(p_ + len_, v), len_ += 2;
    }
    void u32(uint32_t v) {
        if (len_ + 4 <= cap_) putU32(p_ + len_, v), len_ += 4;
    }
    void f32(float v) {
        if (len_ + 4 <= cap_) putF32(p_ + len_, v), len_ += 4;
    }
    void bytes(const void* d, size_t n) {
        n = std::min(n, cap_ - len_);
        std::memcpy(p_ + len_, d, n);
        len_ += n;
    }
    // A text field of exactly `width` bytes, 0-padded.
    void text(const std::string& s, size_t width) {
        for (size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    }
    size_t finish() {
        putU16(p_, static_cast<uint16_t>(len_));
        return len_;
    }

private:
    uint8_t* p_;
    size_t cap_;
    size_t len_ = 10;
};

}  // namespace tvx::sim
