// The simulated controller's firmware update: it judges image headers
// against its hardware identifier, takes images of every download request
// (whole payloads and sections), and switches between its boot loader and
// its application, which the state query (request 1) shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/block_receiver.h"
#include "engine/service.h"

namespace tvx::sim {

// The run state byte the state query shows while the boot loader runs.
inline constexpr uint8_t kRunBootLoader = 0x80;

class FirmwareService : public Service {
public:
    using Bytes = std::vector<uint8_t>;

    struct Section {
        uint32_t index = 0;
        uint32_t attribute = 0;
        std::string name;
        Bytes data;
        uint32_t checksum = 0;  // sum of the bytes received, as the image's descriptor holds it
    };
    // A firmware image as it arrived.
    struct Image {
        uint16_t code = 0;
        uint16_t attribute = 0;
        Bytes payload;                  // whole-payload downloads
        std::vector<Section> sections;  // sectioned downloads
    };

    // The most an image may hold (payload, or all its sections) and the
    // most sections it may have; images kept for inspection, newest last.
    static constexpr uint32_t kImageCapacity = 16u << 20;
    static constexpr size_t kMaxSections = 64;
    static constexpr size_t kKeptImages = 8;

    bool serves(uint16_t command) const override;
    bool streamsBlocks(uint16_t command) const override;
    void serve(ServiceRequest& request) override;
    void reset() override { *this = FirmwareService{}; }

    // Whether the check request (199) judges headers; when false it answers
    // 3205 and leaves the comparison to the host.
    bool judgesHeaders = true;
    bool bootLoader() const { return bootLoader_; }
    const std::vector<Image>& images() const { return images_; }
    uint32_t hardwareTests() const { return hardwareTests_; }

private:
    int32_t check(ServiceRequest& r);
    int32_t whole(ServiceRequest& r);
    int32_t section(ServiceRequest& r);
    void keep(Image image);

    bool bootLoader_ = false;
    std::vector<Image> images_;
    Image pending_;  // a sectioned image until its last section arrives
    uint32_t nextIndex_ = 0;
    Section current_;
    BlockReceiver receiver_;
    uint16_t attribute_ = 0;
    uint32_t hardwareTests_ = 0;
};

}  // namespace tvx::sim
