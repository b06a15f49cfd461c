// tvx store: the controller's three-file store of program files, and
// downloads into its RAM that can be run from there.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "args.h"
#include "command.h"
#include "json_text.h"
#include "options.h"
#include "local_file.h"
#include "progress_bar.h"
#include "progress_text.h"
#include "session.h"
#include "tavrix.h"

namespace tvx::tool {
namespace {

namespace fs = std::filesystem;

constexpr size_t kNameRoom = 2035;      // the longest listed name and its terminator
constexpr size_t kMaxListing = 100000;  // entries; a store that never ends its list is cut off
constexpr uint32_t kPartBytes = 64 * 1024;

int runStore(const Invocation& inv);

bool g_all = false;

void declareStore(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "ACTION", Arity::one, "what to do with the store", "ls|put|get|rm|ram");
    addArgument(app, inv, "ARGS", Arity::any, "the action's arguments", kFileKind);
    addFlag(app, "--all", &g_all, "rm: delete every file of the store");
}

TVX_COMMAND({"store", "the controller's three-file program store",
             "  ADDRESS ls                  lists the store's files with their sizes\n"
             "  ADDRESS put LOCAL [NAME]    copies a local file into the store\n"
             "  ADDRESS get NAME [LOCAL]    copies a file of the store to LOCAL\n"
             "  ADDRESS rm NAME... | --all  deletes files of the store, or all of them\n"
             "  ADDRESS ram LOCAL NUMBER [TASK]\n"
             "                              downloads LOCAL into RAM in parts as file\n"
             "                              NUMBER (0-65535), then runs it on TASK when given\n"
             "\n"
             "With tvx --json (ls only): {\"files\":[{\"name\",\"size\"},...]}.\n"
             "Example: tvx store 127.0.0.21 put main.bas && tvx store 127.0.0.21 ls\n",
             true, declareStore, runStore, {"ls", "put", "get", "rm", "ram"}});

const Command& self() { return *findCommand("store"); }

std::string printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return text;
}

int list(TVX_HANDLE h, const std::string& address, bool json) {
    std::vector<char> name(kNameRoom);
    uint32_t size = 0;
    Json files = Json::array();
    int32_t r = TVX_FindFirst3File(h, name.data(), &size);
    for (size_t n = 0; r == TVX_OK && name[0] != '\0' && n < kMaxListing; ++n) {
        if (json)
            files.push_back({{"name", jsonText(name.data())}, {"size", size}});
        else
            std::printf("%-24s %12u\n", printable(name.data()).c_str(), size);
        name[0] = '\0';
        r = TVX_FindNext3File(h, name.data(), &size);
    }
    if (json) {
        Json o = {{"files", files}};
        if (r != TVX_OK) o["error"] = jsonError(r);
        std::printf("%s\n", jsonLine(o).c_str());
    }
    return r == TVX_OK ? kExitOk : reportFailure("store ls " + address, r);
}

int put(TVX_HANDLE h, const std::string& address, const std::string& local, const std::string& name) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(local, ec);
    if (ec || size == 0 || size > UINT32_MAX) {
        std::fprintf(stderr, "tvx store put: '%s' %s\n", local.c_str(),
                     ec ? "is not a readable file" : size == 0 ? "is empty" : "is larger than 4 GiB");
        return kExitFailure;
    }
    const TimedResult t = runWithProgress(h, "store put " + name, size,
                                          [&] { return TVX_Down3File(h, local.c_str(), name.c_str()); });
    if (t.result != TVX_OK) return reportFailure("store put " + address + " " + printable(name), t.result);
    std::printf("%s\n", transferSummary("store put " + local + " -> " + printable(name), size, t.seconds).c_str());
    return kExitOk;
}

int get(TVX_HANDLE h, const std::string& address, const std::string& name, const std::string& local) {
    uint8_t exists = 0;
    uint32_t size = 0;
    int32_t r = TVX_Check3File(h, name.c_str(), &exists, &size);
    if (r == TVX_OK && !exists) r = TVX_ERR_FILE_NOT_FOUND;
    if (r != TVX_OK) return reportFailure("store get " + address + " " + printable(name), r);
    const TimedResult t = runWithProgress(h, "store get " + name, size,
                                          [&] { return TVX_Up3File(h, local.c_str(), name.c_str()); });
    if (t.result != TVX_OK) return reportFailure("store get " + address + " " + printable(name), t.result);
    std::printf("%s\n", transferSummary("store get " + printable(name) + " -> " + local, size, t.seconds).c_str());
    return kExitOk;
}

int remove(TVX_HANDLE h, const std::string& address, const std::vector<std::string_view>& names) {
    if (g_all) {
        const int32_t r = TVX_RemoveAll3Files(h);
        return r == TVX_OK ? kExitOk : reportFailure("store rm --all " + address, r);
    }
    for (std::string_view n : names) {
        const std::string name(n);
        const int32_t r = TVX_Delete3File(h, name.c_str());
        if (r != TVX_OK) return reportFailure("store rm " + address + " " + printable(name), r);
    }
    return kExitOk;
}

int ram(TVX_HANDLE h, const std::string& address, const std::string& local, uint16_t number, int task) {
    std::vector<uint8_t> data;
    if (!readLocalFile(local, &data) || data.empty() || data.size() > UINT32_MAX) {
        std::fprintf(stderr, "tvx store ram: '%s' is not a readable, non-empty file\n", local.c_str());
        return kExitFailure;
    }
    const std::string what = "store ram " + address + " " + std::to_string(number);
    const std::string name = fs::path(local).filename().string();
    int32_t r = TVX_3FileRamDownBegin(h, number, static_cast<uint32_t>(data.size()), name.c_str(), nullptr);
    if (r != TVX_OK) return reportFailure(what, r);
    const TimedResult t = runWithProgress(h, "store ram " + name, 0, [&] {
        int32_t result = TVX_OK;
        for (size_t at = 0; at < data.size() && result == TVX_OK; at += kPartBytes) {
            const uint32_t n = static_cast<uint32_t>(std::min<size_t>(kPartBytes, data.size() - at));
            result = TVX_3FileRamDownPart(h, number, data.data() + at, n, nullptr);
        }
        return result;
    });
    if (t.result != TVX_OK) return reportFailure(what, t.result);
    r = TVX_3FileRamDownEnd(h, number);
    if (r != TVX_OK) return reportFailure(what, r);
    std::printf("%s\n", transferSummary("store ram " + local + " -> RAM file " + std::to_string(number), data.size(),
                                        t.seconds).c_str());
    if (task < 0) return kExitOk;
    r = TVX_Run3FileRam(h, number, static_cast<uint16_t>(task));
    if (r != TVX_OK) return reportFailure(what + " run", r);
    std::printf("RAM file %u runs on task %d\n", static_cast<unsigned>(number), task);
    return kExitOk;
}

int runStore(const Invocation& inv) {
    // The action's words below count from the action: a[0] is the action, a[1] ADDRESS.
    std::vector<std::string> a = inv.args;
    std::swap(a[0], a[1]);
    const std::string action(a[0]);
    if (action != "ls" && action != "put" && action != "get" && action != "rm" && action != "ram")
        return usageError(self(), "unknown action '" + action + "'");
    const size_t n = a.size() - 2;  // arguments after ADDRESS
    uint64_t number = 0, task = 0;
    if (action == "ls" && n != 0) return usageError(self(), "ls takes no arguments");
    if (inv.global.json && action != "ls") return usageError(self(), "--json goes with ls: " + action + " prints no data");
    if ((action == "put" || action == "get") && (n < 1 || n > 2))
        return usageError(self(), action + (action == "put" ? " needs LOCAL [NAME]" : " needs NAME [LOCAL]"));
    if (action == "rm" && (n < 1) != g_all) return usageError(self(), "rm needs NAME... or --all");
    if (g_all && action != "rm") return usageError(self(), "--all goes with rm");
    if (action == "ram") {
        if (n < 2 || n > 3) return usageError(self(), "ram needs LOCAL NUMBER [TASK]");
        if (!parseUnsigned(a[3], 65535, &number)) return usageError(self(), "NUMBER must be from 0 to 65535");
        if (n == 3 && !parseUnsigned(a[4], 65535, &task)) return usageError(self(), "TASK must be from 0 to 65535");
    }
    Session s;
    if (int e = s.open(self(), a[1], inv.global)) return e;
    TVX_HANDLE h = s.handle();
    if (action == "ls") return list(h, s.address(), inv.global.json);
    if (action == "put") {
        const std::string local(a[2]);
        return put(h, s.address(), local, n == 2 ? std::string(a[3]) : fs::path(local).filename().string());
    }
    if (action == "get") {
        const std::string name(a[2]);
        return get(h, s.address(), name, n == 2 ? std::string(a[3]) : fs::path(name).filename().string());
    }
    if (action == "rm") return remove(h, s.address(), std::vector<std::string_view>(a.begin() + 2, a.end()));
    return ram(h, s.address(), std::string(a[2]), static_cast<uint16_t>(number), n == 3 ? static_cast<int>(task) : -1);
}

}  // namespace
}  // namespace tvx::tool
