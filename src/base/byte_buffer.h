// A heap buffer owned by one object, allocated without exceptions. Prepared
// member contents travel in these; they always keep one zero byte after
// their `size` bytes so that text contents are terminated in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tvx {

class ByteBuffer {
public:
    ByteBuffer() = default;
    ~ByteBuffer() { std::free(data_); }
    ByteBuffer(ByteBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    ByteBuffer& operator=(ByteBuffer&& other) noexcept {
        if (this != &other) {
            std::free(data_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    // Allocates `size` zero bytes plus the trailing zero; false when memory
    // runs out (the buffer is then empty).
    bool allocate(size_t size) {
        std::free(data_);
        data_ = nullptr;
        size_ = 0;
        if (size == SIZE_MAX) return false;
        data_ = static_cast<uint8_t*>(std::calloc(size + 1, 1));
        if (data_ == nullptr) return false;
        size_ = size;
        return true;
    }
    // Shortens the content (never grows it) and re-terminates it.
    void shrink(size_t size) {
        if (size < size_) {
            size_ = size;
            data_[size_] = 0;
        }
    }
    // Grows or shortens the content to `size`, keeping what fits; new bytes
    // are zero. False when memory runs out (the buffer is then unchanged).
    bool resize(size_t size) {
        if (size <= size_) {
            shrink(size);
            return true;
        }
        if (size == SIZE_MAX) return false;
        uint8_t* grown = static_cast<uint8_t*>(std::realloc(data_, size + 1));
        if (grown == nullptr) return false;
        std::memset(grown + size_, 0, size + 1 - size_);
        data_ = grown;
        size_ = size;
        return true;
    }
    // Hands the allocation to the caller, who frees it with std::free.
    uint8_t* release() {
        size_ = 0;
        return std::exchange(data_, nullptr);
    }

    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace tvx
