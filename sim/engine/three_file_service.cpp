#include "engine/three_file_service.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "channel/request_codes.h"
#include "engine/controller.h"

namespace tvx::sim {
namespace {

inline constexpr int32_t kStatusNoSuchFile = 20014;
inline constexpr uint32_t kMissing = 0xFFFFFFFF;
inline constexpr uint16_t kListFirst = 0;
inline constexpr uint16_t kListCurrent = 0xFFFE;
inline constexpr size_t kUploadBlock = 2026;

// Engine start and block packets (arguments).
inline constexpr size_t kStartTotal = 4;  // u32
inline constexpr size_t kStartName = 8;
inline constexpr size_t kUploadName = 2;
inline constexpr size_t kBlockCount = 2;
inline constexpr size_t kBlockData = 4;
// RAM part packets (arguments).
inline constexpr size_t kPartFile = 4;       // u16
inline constexpr size_t kPartAnnounced = 6;  // u32, start
inline constexpr size_t kPartName = 10;      // start
inline constexpr size_t kPartData = 6;       // blocks

std::string textAt(const uint8_t* p, size_t n) {
    return std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), n));
}

}  // namespace

bool ThreeFileService::serves(uint16_t c) const {
    return (c >= req::threeFileExists && c <= req::threeFileRamSpace);
}

bool ThreeFileService::streamsBlocks(uint16_t c) const {
    return c == req::threeFileDown || c == req::threeFileRamDown || c == req::threeFileRamPart;
}

uint32_t ThreeFileService::ramLeft() const {
    uint64_t used = 0;
    for (const auto& [name, data] : ramByName_) used += data.size();
    for (const auto& [number, file] : ramByNumber_) used += file.data.size();
    return used >= ramCapacity ? 0 : static_cast<uint32_t>(ramCapacity - used);
}

void ThreeFileService::serve(ServiceRequest& r) {
    int32_t status = 0;
    switch (r.command) {
        case req::threeFileExists:
            status = exists(r);
            break;
        case req::threeFileListing:
            status = listing(r);
            break;
        case req::threeFileRemoveAll:
            files_.clear();
            break;
        case req::threeFileDelete:
            status = files_.erase(std::string(reinterpret_cast<const char*>(r.args), r.n)) ? 0 : kStatusNoSuchFile;
            break;
        case req::threeFileDown:
        case req::threeFileRamDown:
            status = download(r);
            break;
        case req::threeFileUp:
            status = upload(r);
            break;
        case req::threeFileRamRun:
            status = run(r);
            break;
        case req::threeFileRamPart:
            status = ramPart(r);
            break;
        default:  // remaining RAM space
            r.reply.u32(ramLeft());
            break;
    }
    r.reply.status(status);
}

int32_t ThreeFileService::exists(ServiceRequest& r) {
    const auto it = files_.find(std::string(reinterpret_cast<const char*>(r.args), r.n));
    r.reply.u32(it == files_.end() ? kMissing : static_cast<uint32_t>(it->second.size()));
    return 0;
}

int32_t ThreeFileService::listing(ServiceRequest& r) {
    if (r.n < 2) return kStatusBadRequest;
    const uint16_t mode = getU16(r.args);
    if (mode == kListFirst)
        listIndex_ = 0;
    else if (mode != kListCurrent)
        ++listIndex_;
    // After the last entry the answer is an empty name.
    if (listIndex_ >= files_.size()) {
        r.reply.u32(0);
        return 0;
    }
    auto it = files_.begin();
    std::advance(it, static_cast<long>(listIndex_));
    r.reply.u32(static_cast<uint32_t>(it->second.size()));
    r.reply.bytes(it->first.data(), std::min(it->first.size(), r.room - 4));
    return 0;
}

int32_t ThreeFileService::download(ServiceRequest& r) {
    if (r.n < kBlockData) return kStatusBadRequest;
    const uint16_t number = getU16(r.args);
    if (number == 0) {
        if (r.n < kStartName + 1) return kStatusBadRequest;
        const uint32_t total = getU32(r.args + kStartTotal);
        downloadName_ = textAt(r.args + kStartName, r.n - kStartName);
        if (total == 0 || downloadName_.empty()) return kStatusBadRequest;
        if (!fits(r.command, downloadName_, total)) return kStatusStoreFull;
        receiver_.start(r.command, total);
        r.controller.transfers().reportTransfer(&receiver_.record());
        const TransferSettings& t = r.controller.transfers().settings();
        r.reply.u16(t.largestBlock);
        r.reply.u16(t.window);
        return 0;
    }
    const int32_t s = receiver_.blockRequest(r.command, r.args, r.n);
    if (s != 0 || !receiver_.complete()) return s;
    receiver_.finish();
    // Another download may have filled the store since this one started.
    if (!fits(r.command, downloadName_, static_cast<uint32_t>(receiver_.data().size()))) return kStatusStoreFull;
    if (r.command == req::threeFileDown)
        files_[downloadName_] = receiver_.data();
    else
        ramByName_[downloadName_] = receiver_.data();
    return 0;
}

bool ThreeFileService::fits(uint16_t command, const std::string& name, uint32_t total) const {
    const bool ram = command == req::threeFileRamDown;
    const auto& files = ram ? ramByName_ : files_;
    const auto it = files.find(name);
    if (it == files.end() && files.size() >= kMaxFiles) return false;
    const uint64_t replaced = it == files.end() ? 0 : it->second.size();
    if (ram) return total <= uint64_t{ramLeft()} + replaced;
    uint64_t used = 0;
    for (const auto& [n, data] : files_) used += data.size();
    return used - replaced <= storeCapacity && total <= storeCapacity - (used - replaced);
}

int32_t ThreeFileService::upload(ServiceRequest& r) {
    if (r.n < 2) return kStatusBadRequest;
    const uint16_t number = getU16(r.args);
    if (number == 0) {
        const auto it = files_.find(textAt(r.args + kUploadName, r.n - kUploadName));
        if (it == files_.end()) return kStatusNoSuchFile;
        upload_ = it->second;
        uploadAt_ = uploadChunkAt_ = 0;
        uploadNumber_ = 0;
        uploading_ = true;
        r.reply.u32(0);
        r.reply.u32(static_cast<uint32_t>(upload_.size()));
        return 0;
    }
    if (!uploading_) return kStatusBlockRefused;
    if (number == kFinalBlock) {
        uploading_ = false;
        return 0;
    }
    // A repeated request for the same block gets the same data again.
    if (number == uploadNumber_) uploadAt_ = uploadChunkAt_;
    const size_t chunk = std::min({kUploadBlock, r.room - 4, upload_.size() - uploadAt_});
    const bool last = uploadAt_ + chunk == upload_.size();
    r.reply.u16(last ? kFinalBlock : number);
    r.reply.u16(static_cast<uint16_t>(chunk));
    r.reply.bytes(upload_.data() + uploadAt_, chunk);
    uploadChunkAt_ = uploadAt_;
    uploadAt_ += chunk;
    uploadNumber_ = number;
    if (last) uploading_ = false;
    return 0;
}

int32_t ThreeFileService::ramPart(ServiceRequest& r) {
    if (r.n < kPartData) return kStatusBadRequest;
    const uint16_t number = getU16(r.args);
    const uint16_t file = getU16(r.args + kPartFile);
    if (number == 0) {
        if (r.n < kPartName + 1) return kStatusBadRequest;
        if (!ramByNumber_.contains(file) && ramByNumber_.size() >= kMaxFiles) return kStatusStoreFull;
        RamFile& f = ramByNumber_[file];
        f = RamFile{};
        f.name = textAt(r.args + kPartName, r.n - kPartName);
        f.announced = getU32(r.args + kPartAnnounced);
        partFile_ = file;
        receiver_.start(r.command, f.announced, file);
        r.controller.transfers().reportTransfer(&receiver_.record());
        r.reply.u32(0);
        r.reply.u32(ramLeft());
        return 0;
    }
    if (!receiver_.active() || file != partFile_) return kStatusBlockRefused;
    if (number == kFinalBlock) {
        receiver_.finish();
        RamFile& f = ramByNumber_[file];
        f.data = receiver_.data();
        f.complete = true;
        return 0;
    }
    const uint16_t count = getU16(r.args + kBlockCount);
    if (count > r.n - kPartData) return kStatusBadRequest;
    // The file under way counts against the RAM only once it ends.
    const uint32_t received = static_cast<uint32_t>(receiver_.data().size());
    const uint32_t left = ramLeft() - std::min(ramLeft(), received);
    if (count > left) return kStatusBadRequest;  // the RAM area is full
    const int32_t s = receiver_.partBlock(r.command, number, r.args + kPartData, count);
    if (s != 0) return s;
    r.reply.u16(partBlockSize);
    r.reply.u16(partWindow);
    r.reply.u32(left - count);
    return 0;
}

int32_t ThreeFileService::run(ServiceRequest& r) {
    if (r.n < 4) return kStatusBadRequest;
    RamRun run{getU16(r.args), getU16(r.args + 2)};
    // The first value names the RAM file, the second the task it runs on.
    const auto it = ramByNumber_.find(run.first);
    if (it == ramByNumber_.end() || !it->second.complete || run.second >= kTasks) return kStatusBadRequest;
    ControllerModel& m = r.controller.model();
    m.tasks[run.second].state = kRunRunning;
    m.tasks[run.second].text = it->second.name;
    m.runState = kRunRunning;
    runs_.push_back(run);
    return 0;
}

}  // namespace tvx::sim
