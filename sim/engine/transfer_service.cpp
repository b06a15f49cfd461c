#include "engine/transfer_service.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "channel/request_codes.h"

namespace tvx::sim {
namespace {


// Controller results of this service.
inline constexpr int32_t kBlockRefused = 213;
inline constexpr int32_t kNoSuchFile = 20014;
inline constexpr int32_t kBadRequest = 3204;
inline constexpr uint16_t kLast = 0xFFFF;
// Memory set aside when a download starts; beyond it the data grows as
// blocks arrive, so an announced length alone costs nothing.
inline constexpr uint32_t kMostReserved = 1u << 20;

bool isDownload(uint16_t c) {
    return c == req::flashTableDown || c == req::fileDown || ProgramStore::isArchiveDownload(c);
}
bool isUpload(uint16_t c) {
    return c == req::flashTableUp || c == req::firmwareUp || c == req::fileUp || c == req::logUp ||
           c == req::currentProject;
}

std::string nameAt(const uint8_t* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), n)); }

bool tableNumber(const std::string& name, uint16_t& table) {
    if (name.empty() || name.size() > 5) return false;
    uint32_t v = 0;
    for (char c : name) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    if (v > 0xFFFF) return false;
    table = static_cast<uint16_t>(v);
    return true;
}

void appendU16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v));
    s.push_back(static_cast<char>(v >> 8));
}
void appendU32(std::string& s, uint32_t v) {
    appendU16(s, static_cast<uint16_t>(v));
    appendU16(s, static_cast<uint16_t>(v >> 16));
}

uint16_t nextNumber(uint16_t n) { return n >= 0xFFFE ? 1 : static_cast<uint16_t>(n + 1); }

}  // namespace

TransferService::TransferService() {
    log_ = "0000.000 controller started\n0000.010 simulated hardware ready\n";
    firmware_.resize(4096);
    for (size_t i = 0; i < firmware_.size(); ++i) firmware_[i] = static_cast<uint8_t>(i * 7 + 3);
}

bool TransferService::downloads(uint16_t command) { return isDownload(command); }

bool TransferService::handles(uint16_t command) {
    return isDownload(command) || isUpload(command) || command == req::transferState || command == req::listing ||
           command == req::fileDelete || command == req::fileState || ProgramStore::isRunRequest(command);
}

int32_t TransferService::handle(uint16_t command, const uint8_t* args, size_t n, size_t room, std::string& data,
                                ControllerModel* model) {
    if (model) model_ = model;
    if (ProgramStore::isRunRequest(command)) return programs_.request(command, args, n, model_, &files_);
    if (command == req::transferState) return transferState(data);
    if (command == req::listing) return listing(args, n, room, data);
    if (command == req::fileDelete) return files_.remove(std::string(reinterpret_cast<const char*>(args), n)) ? 0 : kNoSuchFile;
    if (command == req::fileState) {
        data = "READY";
        data.resize(26, '\0');
        return 0;
    }
    if (n < 2) return kBadRequest;
    const uint16_t number = getU16(args);
    if (isDownload(command)) return number == 0 ? startDownload(command, args, n, data) : downloadBlock(command, args, n);
    return number == 0 ? startUpload(command, args, n, data) : uploadBlock(command, args, n, room, data);
}

int32_t TransferService::startDownload(uint16_t command, const uint8_t* args, size_t n, std::string& data) {
    if (n < 9) return kBadRequest;
    const uint32_t total = getU32(args + 4);
    const std::string name = nameAt(args + 8, n - 8);
    uint16_t table = 0;
    // Archives for storing and running come without a name.
    const bool nameOk = command == req::flashTableDown              ? tableNumber(name, table)
                        : ProgramStore::isArchiveDownload(command) ? name.empty() || FileStore::validName(name)
                                                                   : FileStore::validName(name);
    if (total == 0 || !nameOk) return kBadRequest;
    if (!fits(command, name, table, total)) return kStatusStoreFull;
    down_ = Download{};
    down_.data = std::move(spare_);
    down_.data.clear();
    spare_ = Bytes{};
    reported_ = nullptr;
    down_.active = true;
    down_.code = command;
    down_.name = name;
    down_.total = total;
    down_.data.reserve(std::min(total, kMostReserved));
    appendU16(data, settings_.largestBlock);
    appendU16(data, settings_.window);
    return 0;
}

bool TransferService::fits(uint16_t command, const std::string& name, uint16_t table, uint32_t total) const {
    if (command == req::flashTableDown) {
        uint64_t others = 0;
        for (const auto& [number, values] : tables_)
            if (number != table) others += values.size();
        return others <= kTableCapacity && total <= kTableCapacity - others;
    }
    const std::string stored = ProgramStore::isArchiveDownload(command) ? ProgramStore::storedName(command, name) : name;
    return files_.fits(stored, total);
}

int32_t TransferService::downloadBlock(uint16_t command, const uint8_t* args, size_t n) {
    if (n < 4) return kBadRequest;
    const uint16_t number = getU16(args);
    const uint16_t length = getU16(args + 2);
    if (length > n - 4) return kBadRequest;
    if (!down_.active || down_.code != command || down_.lastBlock == kLast) return kBlockRefused;
    const size_t received = down_.received;
    // Exactly the next block is taken; a gap means a block was lost, and the
    // host resumes from the position the transfer state reports.
    const bool fits = received + length <= down_.total;
    const bool expected = number == kLast ? received + length == down_.total
                                          : number == nextNumber(down_.lastBlock) && received + length < down_.total;
    if (!fits || !expected || length == 0) {
        ++refused_;
        return kBlockRefused;
    }
    down_.data.insert(down_.data.end(), args + 4, args + 4 + length);
    down_.received += length;
    down_.lastBlock = number;
    return number == kLast ? finishDownload() : 0;
}

int32_t TransferService::finishDownload() {
    down_.active = false;
    uint16_t table = 0;
    if (down_.code == req::flashTableDown) tableNumber(down_.name, table);
    // Another download may have filled the store since this one started.
    if (!fits(down_.code, down_.name, table, down_.received)) return kStatusStoreFull;
    if (down_.code == req::flashTableDown) {
        tables_[table] = std::move(down_.data);
        return 0;
    }
    if (ProgramStore::isArchiveDownload(down_.code)) return programs_.accept(down_.code, down_.name, down_.data, files_, model_);
    // The data moves to the store: a copy of a large file costs as much as
    // receiving it.
    return files_.put(down_.name, std::move(down_.data), &spare_) ? 0 : kBadRequest;
}

int32_t TransferService::startUpload(uint16_t command, const uint8_t* args, size_t n, std::string& data) {
    const std::string name = nameAt(args + 2, n - 2);
    // A stored file is shared with the store, not copied: a download that
    // replaces it meanwhile makes a new content. The others are copied (a
    // later write may change them), which costs little at their sizes.
    FileStore::Content content;
    const Bytes* source = nullptr;
    if (command == req::fileUp) {
        content = files_.share(name);
    } else if (command == req::logUp) {
        content = std::make_shared<Bytes>(log_.begin(), log_.end());
    } else if (command == req::firmwareUp) {
        source = &firmware_;
    } else if (command == req::currentProject) {
        if (!programs_.currentProject().empty()) source = &programs_.currentProject();
    } else {
        uint16_t table = 0;
        if (tableNumber(name, table)) {
            auto it = tables_.find(table);
            if (it != tables_.end()) source = &it->second;
        }
    }
    if (source) content = std::make_shared<Bytes>(*source);
    if (!content) return kNoSuchFile;
    up_ = Upload{};
    up_.active = true;
    up_.code = command;
    up_.content = std::move(content);
    appendU32(data, 0);
    appendU32(data, static_cast<uint32_t>(up_.content->size()));
    return 0;
}

int32_t TransferService::uploadBlock(uint16_t command, const uint8_t* args, size_t n, size_t room, std::string& data) {
    const uint16_t number = getU16(args);
    (void)n;
    if (!up_.active || up_.code != command) return kBlockRefused;
    if (number == kLast) {
        up_ = Upload{};
        return 0;
    }
    // A repeated request for the same block gets the same data again.
    if (number == up_.lastNumber) up_.position = up_.lastChunkStart;
    const Bytes& content = *up_.content;
    const size_t chunk = std::min<size_t>({settings_.uploadBlock, room - 4, content.size() - up_.position});
    const bool last = up_.position + chunk == content.size();
    appendU16(data, last ? kLast : number);
    appendU16(data, static_cast<uint16_t>(chunk));
    data.append(reinterpret_cast<const char*>(content.data() + up_.position), chunk);
    up_.lastChunkStart = up_.position;
    up_.position += chunk;
    up_.lastNumber = number;
    // An ended upload lets go of its content: the store may then reuse it.
    if (last) up_ = Upload{};
    return 0;
}

int32_t TransferService::listing(const uint8_t* args, size_t n, size_t room, std::string& data) {
    if (n < 2) return kBadRequest;
    const uint16_t mode = getU16(args);
    listIndex_ = mode == 0 ? 0 : listIndex_ + 1;
    // After the last entry the answer is an empty name.
    if (listIndex_ >= files_.files().size()) {
        appendU32(data, 0);
        return 0;
    }
    auto it = files_.files().begin();
    std::advance(it, static_cast<long>(listIndex_));
    appendU32(data, static_cast<uint32_t>(it->second->size()));
    data.append(it->first.substr(0, room - 4));
    return 0;
}

int32_t TransferService::transferState(std::string& data) const {
    if (reported_) {
        appendU32(data, reported_->received);
        appendU32(data, reported_->total);
        appendU32(data, reported_->code);
        appendU32(data, reported_->tag);
        appendU16(data, reported_->lastBlock);
        return 0;
    }
    appendU32(data, down_.received);
    appendU32(data, down_.total);
    appendU32(data, down_.code);
    appendU32(data, 0);
    appendU16(data, down_.active ? down_.lastBlock : kLast);
    return 0;
}

}  // namespace tvx::sim
