// The command line of tavrix-sim.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/faults.h"

namespace tvx::sim {

inline constexpr uint16_t kDefaultCardPort = 5502;

struct SimOptions {
    std::string address = "127.0.0.1";
    uint32_t ip = 0x7F000001;  // host byte order
    uint16_t port = 502;
    bool broadcast = true;     // also listen for broadcast discovery probes
    bool trace = false;
    bool exitWithParent = false;
    std::string configFile;
    std::vector<std::string> settings;  // KEY=VALUE, applied after the file
    std::string filesDirectory;         // backs the controller's file store when set
    uint32_t storeMiB = 0;              // file store capacity; 0 keeps the default
    int32_t blockSize = -1;             // largest transfer block announced; -1 keeps the default
    int32_t window = -1;                // download window announced; -1 keeps the default
    std::vector<std::string> cameraFiles;  // PNG pictures served as camera images 1, 2, ...
    bool portGiven = false;
    // --pci: cards behind the stand-in card driver on TCP instead of UDP.
    bool pci = false;
    int32_t pciCards = 2;
    int32_t pcieCards = 1;
    int32_t maxPacket = 256;
    FaultPlan faults;
    // Serial line on a pseudo-terminal instead of UDP.
    bool serial = false;
    std::string ptyLink;         // a symbolic link to the terminal's device
    uint32_t comNumber = 1;      // n of the TAVRIX_COMn line printed at start
    int32_t station = -1;        // -1 keeps the controller's default (1)
    int32_t baud = -1;           // -1 keeps the controller's default (38400)
    uint32_t splitGapMs = 0;     // each reply sent in two parts this far apart
};

enum class ParseOutcome { run, help, listSettings, manPage, error };

// Parses argv[1..]; on error `message` says what is wrong.
ParseOutcome parseSimArguments(int argc, const char* const* argv, SimOptions* options, std::string* message);
// The help text and the manual page, both made from one table of options.
std::string simUsage();
std::string simManPage(std::string_view version);

}  // namespace tvx::sim
