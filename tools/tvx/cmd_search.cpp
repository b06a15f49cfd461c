// tvx search: lists the controllers that answer the discovery broadcast.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "command.h"
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

TVX_COMMAND({"search", "[--time MS]", "list the controllers that answer on the local network",
             "Broadcasts the discovery probe to UDP port 502 and prints the address of every\n"
             "controller that answers within the time, one per line.\n"
             "\n"
             "  --time MS   how long to collect answers (default 500, at most 60000)\n"
             "\n"
             "Exit status 1 when no controller answered.\n",
             runSearch});

int runSearch(const Invocation& inv) {
    const Command& self = *findCommand("search");
    uint32_t timeMs = kDefaultSearchMs;
    for (size_t i = 0; i < inv.args.size();) {
        std::string_view value;
        bool missing = false;
        uint64_t n;
        if (takeOption(inv.args, i, "--time", &value, &missing)) {
            if (missing || !parseUnsigned(value, kMaxSearchMs, &n) || n == 0)
                return usageError(self, "--time needs milliseconds from 1 to 60000");
            timeMs = static_cast<uint32_t>(n);
        } else {
            return usageError(self, "unexpected argument '" + std::string(inv.args[i]) + "'");
        }
    }
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
        JsonArray list;
        for (const std::string& a : found) list.add(a);
        std::printf("%s\n", JsonObject().raw("controllers", list.text()).text().c_str());
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
