#include "engine/file_store.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace tvx::sim {

namespace fs = std::filesystem;

bool FileStore::validName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name[0] == '.') return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':') return false;
    return true;
}

bool FileStore::attachDirectory(const std::string& directory) {
    std::error_code ec;
    fs::create_directories(directory, ec);
    if (!fs::is_directory(directory, ec)) return false;
    directory_ = directory;
    for (const auto& entry : fs::directory_iterator(directory, ec)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file(ec) || !validName(name)) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        Content& slot = files_[name];
        if (slot) used_ -= slot->size();
        slot = std::make_shared<Bytes>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        used_ += slot->size();
    }
    return !ec;
}

bool FileStore::fits(const std::string& name, uint64_t size) const {
    const auto it = files_.find(name);
    const uint64_t replacedBytes = it == files_.end() ? 0 : it->second->size();
    if (it == files_.end() && files_.size() >= kMaxFiles) return false;
    const uint64_t others = used_ - replacedBytes;
    return others <= capacity_ && size <= capacity_ - others;
}

bool FileStore::put(const std::string& name, Bytes content, Bytes* replaced) {
    if (!validName(name) || !fits(name, content.size())) return false;
    if (!directory_.empty()) {
        std::ofstream out(fs::path(directory_) / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
        if (!out) return false;
    }
    Content& slot = files_[name];
    used_ = used_ - (slot ? slot->size() : 0) + content.size();
    // The store made every content it holds (as non-const Bytes), so when it
    // holds the only reference the memory is free to take.
    if (replaced && slot && slot.use_count() == 1) *replaced = std::move(const_cast<Bytes&>(*slot));
    slot = std::make_shared<Bytes>(std::move(content));
    return true;
}

const FileStore::Bytes* FileStore::get(const std::string& name) const {
    auto it = files_.find(name);
    return it == files_.end() ? nullptr : it->second.get();
}

FileStore::Content FileStore::share(const std::string& name) const {
    auto it = files_.find(name);
    return it == files_.end() ? nullptr : it->second;
}

bool FileStore::remove(const std::string& name) {
    const auto it = files_.find(name);
    if (it == files_.end()) return false;
    used_ -= it->second->size();
    files_.erase(it);
    if (!directory_.empty()) {
        std::error_code ec;
        fs::remove(fs::path(directory_) / name, ec);
    }
    return true;
}

}  // namespace tvx::sim
