// The simulated controller's three-file store: program files apart from
// its file system, whole-file transfers, RAM downloads (whole or in parts
// under a file number) and programs run from RAM.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/block_receiver.h"
#include "engine/service.h"

namespace tvx::sim {

class ThreeFileService : public Service {
public:
    using Bytes = std::vector<uint8_t>;

    // A file in RAM: downloaded whole under a composed name (the caller's
    // name, the byte 0x13, the number) or in parts under its file number.
    struct RamFile {
        std::string name;
        uint32_t announced = 0;
        Bytes data;
        bool complete = false;
    };
    struct RamRun {
        uint16_t first = 0;
        uint16_t second = 0;
    };

    bool serves(uint16_t command) const override;
    bool streamsBlocks(uint16_t command) const override;
    void serve(ServiceRequest& request) override;
    void reset() override { *this = ThreeFileService{}; }

    std::map<std::string, Bytes>& files() { return files_; }
    std::map<std::string, Bytes>& ramByName() { return ramByName_; }
    std::map<uint16_t, RamFile>& ramByNumber() { return ramByNumber_; }
    const std::vector<RamRun>& runs() const { return runs_; }
    // RAM the store offers for downloads in parts and whole RAM downloads.
    uint32_t ramCapacity = 1u << 20;
    // Bytes the store's program files may hold, and files (or numbered RAM
    // files) at most.
    uint32_t storeCapacity = 16u << 20;
    static constexpr size_t kMaxFiles = 1024;
    // Block size and window the first block of a part is answered with.
    uint16_t partBlockSize = 1024;
    uint16_t partWindow = 100;
    // The value start and part replies carry: the RAM left.
    uint32_t ramLeft() const;

private:
    int32_t exists(ServiceRequest& r);
    int32_t listing(ServiceRequest& r);
    int32_t download(ServiceRequest& r);
    int32_t upload(ServiceRequest& r);
    int32_t ramPart(ServiceRequest& r);
    int32_t run(ServiceRequest& r);
    // Whether a whole download of `total` bytes under `name` fits its store.
    bool fits(uint16_t command, const std::string& name, uint32_t total) const;

    std::map<std::string, Bytes> files_;
    std::map<std::string, Bytes> ramByName_;
    std::map<uint16_t, RamFile> ramByNumber_;
    std::vector<RamRun> runs_;
    size_t listIndex_ = 0;
    BlockReceiver receiver_;
    std::string downloadName_;
    uint16_t partFile_ = 0;
    Bytes upload_;
    size_t uploadAt_ = 0;
    size_t uploadChunkAt_ = 0;
    uint16_t uploadNumber_ = 0;
    bool uploading_ = false;
};

}  // namespace tvx::sim
