// The simulated controller's files: kept in memory and, when a directory is
// given, mirrored to it so a user can see and seed the controller's files.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tvx::sim {

class FileStore {
public:
    using Bytes = std::vector<uint8_t>;

    // Mirrors the store to `directory` and loads the files already there;
    // false when the directory cannot be read.
    bool attachDirectory(const std::string& directory);

    // Controller file names are flat: no separators, no leading dot, 1 to 255
    // printable characters.
    static bool validName(const std::string& name);

    // Stores `content` under `name`; a file it replaces goes to `replaced`
    // when given (its memory can serve the next download).
    bool put(const std::string& name, Bytes content, Bytes* replaced = nullptr);
    const Bytes* get(const std::string& name) const;
    bool remove(const std::string& name);
    // Entries in name order.
    const std::map<std::string, Bytes>& files() const { return files_; }

private:
    std::map<std::string, Bytes> files_;
    std::string directory_;
};

}  // namespace tvx::sim
