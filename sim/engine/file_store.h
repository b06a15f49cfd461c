// The simulated controller's files: kept in memory and, when a directory is
// given, mirrored to it so a user can see and seed the controller's files.
// The store has a capacity, as a controller's flash does: a request can
// make the simulator hold no more than that, whatever length it announces.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tvx::sim {

// The controller's answer to a download that does not fit the store meant
// to keep it: the same status it gives when its RAM area is full.
inline constexpr int32_t kStatusStoreFull = 3204;

class FileStore {
public:
    using Bytes = std::vector<uint8_t>;
    // A file's content is never changed in place: a put replaces it whole.
    // A reader that holds it (an upload under way) keeps reading what it
    // started with, without a copy, whatever happens to the file meanwhile.
    using Content = std::shared_ptr<const Bytes>;

    // Large enough for the biggest transfers the benchmarks make.
    static constexpr uint64_t kDefaultCapacity = uint64_t{256} << 20;
    // Files at most, so that many tiny files cannot fill memory with names.
    static constexpr size_t kMaxFiles = 4096;

    // Mirrors the store to `directory` and loads the files already there;
    // false when the directory cannot be read.
    bool attachDirectory(const std::string& directory);

    // Controller file names are flat: no separators, no leading dot, 1 to 255
    // printable characters.
    static bool validName(const std::string& name);

    // Bytes of content the store may hold.
    void setCapacity(uint64_t bytes) { capacity_ = bytes; }
    uint64_t capacity() const { return capacity_; }
    uint64_t used() const { return used_; }
    // Whether `size` bytes under `name` fit, the file of that name (if any)
    // being replaced.
    bool fits(const std::string& name, uint64_t size) const;

    // Stores `content` under `name`; the memory of a file it replaces goes
    // to `replaced` when given and nobody else holds that file (it can serve
    // the next download). False for an invalid name, content that does not
    // fit, or a mirror write failure.
    bool put(const std::string& name, Bytes content, Bytes* replaced = nullptr);
    const Bytes* get(const std::string& name) const;
    // The content of `name` for a reader that may outlive a replacement;
    // null when there is no such file.
    Content share(const std::string& name) const;
    bool remove(const std::string& name);
    // Entries in name order.
    const std::map<std::string, Content>& files() const { return files_; }

private:
    std::map<std::string, Content> files_;
    std::string directory_;
    uint64_t capacity_ = kDefaultCapacity;
    uint64_t used_ = 0;
};

}  // namespace tvx::sim
