// Shared by the fuzz targets whose parsers read a path: the input goes into
// an in-memory file (memfd) that the library opens by its /proc path, so a
// run costs no disk write. The file is rewritten in place for every run.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace tvx::fuzzing {

class MemoryFile {
public:
    // `name` only labels the file in /proc listings.
    explicit MemoryFile(const char* name) : fd_(::memfd_create(name, MFD_CLOEXEC)) {
        if (fd_ < 0) std::abort();
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // A path the library's file functions open like any regular file.
    const std::string& path() const { return path_; }

    // Makes the file hold exactly `size` bytes of `data`; false on failure.
    bool write(const uint8_t* data, size_t size) {
        if (::ftruncate(fd_, 0) != 0) return false;
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

private:
    int fd_;
    std::string path_;
};

}  // namespace tvx::fuzzing
