// tvx search: lists the controllers that answer the discovery broadcast.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "command.h"
#include "options.h"
#include "json_text.h"
#include "session.h"
#include "tavrix.h"

namespace tvx::tool {
namespace {

constexpr uint32_t kDefaultSearchMs = 500;
constexpr uint32_t kMaxSearchMs = 60000;
// 16 bytes per answer (address and blank): room for about a thousand.
constexpr size_t kResultBytes = 16 * 1024;

int runSearch(const Invocation& inv);

uint64_t g_timeMs = kDefaultSearchMs;
uint32_t g_firstPort = 0, g_lastPort = 0;

void declareSearch(CLI::App& app, Invocation&) {
    addNumber(app, "--time", &g_timeMs, 1, kMaxSearchMs, "MS", "how long to collect answers (default 500, at most 60000)",
              "--time needs milliseconds from 1 to 60000");
    app.add_option_function<std::string>(
           "--serial",
           [](const std::string& text) {
               if (!parseRange(text, 1024, &g_firstPort, &g_lastPort) || g_firstPort == 0)
                   throw BadValue("--serial needs ports FIRST-LAST from 1 to 1024");
           },
           "serial ports to scan, 1 to 1024 (\"N\" for one port)")
        ->type_name("FIRST-LAST")
        ->group(kPlainKind);
}

TVX_COMMAND({"search", "list the controllers that answer on the local network or serial ports",
             "Broadcasts the discovery probe to UDP port 502 and prints the address of every\n"
             "controller that answers within the time, one per line. With --serial, tries the\n"
             "serial ports COMFIRST to COMLAST in turn instead (about 300 ms each) and prints\n"
             "the first that answers as COMn.\n"
             "\n"
             "Exit status 1 when no controller answered.\n"
             "With tvx --json: {\"controllers\":[\"a.b.c.d\",...]}.\n",
             true, declareSearch, runSearch});

int searchSerial(uint32_t first, uint32_t last, bool json) {
    TVX_HANDLE handle = nullptr;
    uint32_t found = 0;
    const int32_t r = TVX_SearchAndOpenCom(first, last, &found, 0, &handle);
    if (r == TVX_ERR_SERIAL) {
        std::fprintf(stderr, "tvx search: no controller answered on COM%u to COM%u\n", first, last);
        return kExitFailure;
    }
    if (r != TVX_OK) return reportFailure("search", r);
    TVX_Close(handle);
    const std::string port = "COM" + std::to_string(found);
    if (json)
        std::printf("%s\n", jsonLine({{"controllers", {port}}}).c_str());
    else
        std::printf("%s\n", port.c_str());
    return kExitOk;
}

int runSearch(const Invocation& inv) {
    const uint32_t timeMs = static_cast<uint32_t>(g_timeMs);
    if (g_firstPort != 0) return searchSerial(g_firstPort, g_lastPort, inv.global.json);
    std::vector<char> buffer(kResultBytes, 0);
    const int32_t r = TVX_SearchEth(buffer.data(), static_cast<uint32_t>(buffer.size()), timeMs);
    if (r != TVX_OK) return reportFailure("search", r);
    buffer.back() = 0;

    // The library lists every answer; a controller that answered twice is
    // shown once.
    std::vector<std::string> found;
    std::string text(buffer.data());
    for (size_t pos = 0; pos < text.size();) {
        const size_t blank = text.find(' ', pos);
        const std::string address = text.substr(pos, blank == std::string::npos ? std::string::npos : blank - pos);
        if (!address.empty() && std::find(found.begin(), found.end(), address) == found.end()) found.push_back(address);
        if (blank == std::string::npos) break;
        pos = blank + 1;
    }
    if (inv.global.json) {
        std::printf("%s\n", jsonLine({{"controllers", found}}).c_str());
        return found.empty() ? kExitFailure : kExitOk;
    }
    if (found.empty()) {
        std::fprintf(stderr, "tvx search: no controller answered within %u ms\n", timeMs);
        return kExitFailure;
    }
    for (const std::string& a : found) std::printf("%s\n", a.c_str());
    return kExitOk;
}

}  // namespace
}  // namespace tvx::tool
