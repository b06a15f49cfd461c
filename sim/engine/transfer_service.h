// The simulated controller's side of block transfers: downloads into its
// files and flash tables, uploads of files, log, firmware image and tables,
// listing, deletion, file state and the transfer state record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/file_store.h"
#include "engine/model.h"
#include "engine/program_store.h"

namespace tvx::sim {

struct TransferSettings {
    uint16_t largestBlock = 1024;  // announced in the download start reply
    uint16_t window = 100;         // blocks the host may send unacknowledged
    uint16_t uploadBlock = 2026;   // data bytes per upload block: the most a reply carries
};

// A download as the transfer state (request 148) reports it. Services with
// downloads of their own keep one and point the report at it while their
// transfer is the latest.
struct TransferRecord {
    uint32_t received = 0;
    uint32_t total = 0;
    uint32_t code = 0;
    uint32_t tag = 0;              // the file number of a RAM part
    uint16_t lastBlock = 0xFFFF;   // 0xFFFF when no transfer is under way
};

class TransferService {
public:
    using Bytes = std::vector<uint8_t>;

    TransferService();

    // True for the request codes this service answers.
    static bool handles(uint16_t command);
    // True for the codes of its downloads (blocks numbered from 1).
    static bool downloads(uint16_t command);
    // Answers one request: returns the reply status and fills `data` (at
    // most `room` bytes). Run requests and archives run from RAM act on
    // `model` (when given).
    int32_t handle(uint16_t command, const uint8_t* args, size_t n, size_t room, std::string& data,
                   ControllerModel* model = nullptr);

    FileStore& files() { return files_; }
    // Accepted program archives, the current project and the run requests.
    ProgramStore& programs() { return programs_; }
    TransferSettings& settings() { return settings_; }
    std::string& log() { return log_; }
    Bytes& firmwareImage() { return firmware_; }
    std::map<uint16_t, Bytes>& flashTables() { return tables_; }
    // Bytes all flash tables together may hold.
    static constexpr uint64_t kTableCapacity = uint64_t{4} << 20;
    // Counts of download blocks refused for a gap (a lost block).
    uint32_t refusedBlocks() const { return refused_; }
    // Request 148 reports `record` from now on (null: this service's own
    // download), until the next download starts here.
    void reportTransfer(const TransferRecord* record) { reported_ = record; }

private:
    struct Download {
        bool active = false;
        uint16_t code = 0;
        std::string name;
        uint32_t total = 0;
        uint16_t lastBlock = 0;  // 0xFFFF once complete
        uint32_t received = 0;   // stays when the data moves to its place
        Bytes data;
    };
    struct Upload {
        bool active = false;
        uint16_t code = 0;
        FileStore::Content content;  // set while active
        size_t position = 0;
        size_t lastChunkStart = 0;
        uint16_t lastNumber = 0;
    };

    int32_t startDownload(uint16_t command, const uint8_t* args, size_t n, std::string& data);
    int32_t downloadBlock(uint16_t command, const uint8_t* args, size_t n);
    int32_t finishDownload();
    // Whether a download of `total` bytes under `name` fits where it goes.
    bool fits(uint16_t command, const std::string& name, uint16_t table, uint32_t total) const;
    int32_t startUpload(uint16_t command, const uint8_t* args, size_t n, std::string& data);
    int32_t uploadBlock(uint16_t command, const uint8_t* args, size_t n, size_t room, std::string& data);
    int32_t listing(const uint8_t* args, size_t n, size_t room, std::string& data);
    int32_t transferState(std::string& data) const;

    FileStore files_;
    ProgramStore programs_;
    ControllerModel* model_ = nullptr;
    TransferSettings settings_;
    std::string log_;
    Bytes firmware_;
    std::map<uint16_t, Bytes> tables_;
    Download down_;
    // The memory of the file the latest download replaced: the next download
    // fills it rather than fresh pages, which cost a fault each.
    Bytes spare_;
    Upload up_;
    size_t listIndex_ = 0;
    uint32_t refused_ = 0;
    const TransferRecord* reported_ = nullptr;
};

}  // namespace tvx::sim
