// tvx ls, get, put, rm, log and table: the controller's files, its log and
// its flash tables.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "args.h"
#include "command.h"
#include "options.h"
#include "json_text.h"
#include "progress_bar.h"
#include "progress_text.h"
#include "session.h"
#include "tavrix.h"

namespace tvx::tool {
namespace {

namespace fs = std::filesystem;

constexpr size_t kNameRoom = 2035;            // the longest listed name and its terminator
constexpr size_t kMaxListing = 100000;        // entries; a controller that never ends its list is cut off
constexpr size_t kNameColumn = 40;            // widest name column before names push sizes right
constexpr uint32_t kFirstLogRoom = 64 * 1024;
constexpr uint32_t kMaxLogRoom = 64 * 1024 * 1024;
constexpr uint64_t kMaxTableValues = 1u << 22;

int runLs(const Invocation& inv);
int runGet(const Invocation& inv);
int runPut(const Invocation& inv);
int runRm(const Invocation& inv);
int runLog(const Invocation& inv);
int runTable(const Invocation& inv);

void declareLs(CLI::App& app, Invocation& inv) { addAddress(app, inv); }
void declareGet(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "NAME", Arity::one, "the controller's file");
    addArgument(app, inv, "LOCAL", Arity::optional, "where to write it (a file or a directory)", kFileKind);
}
void declarePut(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "LOCAL", Arity::one, "the local file", kFileKind);
    addArgument(app, inv, "NAME", Arity::optional, "its name on the controller");
}
void declareRm(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "NAME", Arity::many, "the controller's files");
}
void declareLog(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "LOCAL", Arity::optional, "a file to write the log to", kFileKind);
}
void declareTable(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "ACTION", Arity::one, "read or write", "read|write");
    addArgument(app, inv, "N", Arity::one, "the table, 0-65535");
    addArgument(app, inv, "VALUES", Arity::many, "COUNT to read, or the values to write");
}

TVX_COMMAND({"ls", "list the controller's files with their sizes",
             "Prints one line per file: its name and its size in bytes.\n"
             "With tvx --json: {\"files\":[{\"name\",\"size\"},...]} (and \"error\" when the list broke off).\n",
             true, declareLs, runLs});
TVX_COMMAND({"get", "copy a file from the controller",
             "Copies the controller's file NAME to LOCAL (default: NAME in the current\n"
             "directory; a directory puts the file inside it). On a terminal a progress bar\n"
             "shows on stderr; a summary line follows on stdout.\n",
             false, declareGet, runGet});
TVX_COMMAND({"put", "copy a file to the controller",
             "Copies the local file LOCAL to the controller as NAME (default: LOCAL's file\n"
             "name). Empty files cannot be sent. On a terminal a progress bar shows on\n"
             "stderr; a summary line follows on stdout.\n",
             false, declarePut, runPut});
TVX_COMMAND({"rm", "delete files on the controller",
             "Deletes each NAME; stops at the first that cannot be deleted.\n", false, declareRm, runRm});
TVX_COMMAND({"log", "fetch the controller's log",
             "Writes the controller's log to stdout, or to the file LOCAL.\n"
             "With tvx --json: {\"log\":\"...\"}, or {\"file\":LOCAL,\"bytes\":N}.\n",
             true, declareLog, runLog});
TVX_COMMAND({"table", "read and write flash tables of numbers",
             "  ADDRESS read N COUNT     prints the first COUNT values of table N, one a line\n"
             "                          (fewer when the table is shorter)\n"
             "  ADDRESS write N VALUE... replaces table N with the VALUEs\n"
             "\n"
             "N is 0-65535; values are single-precision numbers; COUNT is at most 4194304.\n"
             "With tvx --json: {\"table\":N,\"values\":[...]} for read, {\"table\":N,\"written\":K} for write.\n"
             "Example: tvx table 127.0.0.21 write 3 0.5 1 1.5 && tvx table 127.0.0.21 read 3 3\n",
             true, declareTable, runTable, {"read", "write"}});

const Command& command(const char* name) { return *findCommand(name); }

// Controller names go to the terminal as they are, less control characters.
std::string printable(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

struct Entry {
    std::string name;
    uint32_t size;
};

// The whole listing; `result` is the first failure, with the entries read before it.
std::vector<Entry> listFiles(TVX_HANDLE h, int32_t* result) {
    std::vector<Entry> entries;
    std::vector<char> name(kNameRoom);
    uint32_t size = 0;
    int32_t r = TVX_FindFirstFile(h, name.data(), &size);
    while (r == TVX_OK && name[0] != '\0' && entries.size() < kMaxListing) {
        entries.push_back({std::string(name.data()), size});
        name[0] = '\0';
        r = TVX_FindNextFile(h, name.data(), &size);
    }
    *result = r;
    return entries;
}

int runLs(const Invocation& inv) {
    const Command& self = command("ls");
    Session s;
    if (int e = s.open(self, inv.args[0], inv.global)) return e;
    int32_t r;
    const std::vector<Entry> entries = listFiles(s.handle(), &r);
    if (inv.global.json) {
        // A failure part way is reported beside the entries read before it.
        Json files = Json::array();
        for (const Entry& e : entries) files.push_back({{"name", jsonText(e.name)}, {"size", e.size}});
        Json o = {{"files", files}};
        if (r != TVX_OK) o["error"] = jsonError(r);
        std::printf("%s\n", jsonLine(o).c_str());
        if (r != TVX_OK) return reportFailure("ls " + s.address(), r);
        return kExitOk;
    }
    size_t width = 4;
    for (const Entry& e : entries) width = std::max(width, std::min(kNameColumn, e.name.size()));
    for (const Entry& e : entries)
        std::printf("%-*s %12u\n", static_cast<int>(width), printable(e.name).c_str(), e.size);
    if (r != TVX_OK) {
        std::fflush(stdout);
        return reportFailure("ls " + s.address(), r);
    }
    return kExitOk;
}

// The size the listing gives for `name`; 0 when it is not listed.
uint64_t listedSize(TVX_HANDLE h, const std::string& name) {
    int32_t r;
    for (const Entry& e : listFiles(h, &r))
        if (e.name == name) return e.size;
    return 0;
}

int runGet(const Invocation& inv) {
    const Command& self = command("get");
    const std::string name(inv.args[1]);
    if (name.empty()) return usageError(self, "NAME is empty");
    fs::path local = inv.args.size() == 3 ? fs::path(std::string(inv.args[2])) : fs::path(name).filename();
    std::error_code ec;
    if (local.empty() || fs::is_directory(local, ec)) local /= fs::path(name).filename();
    if (local.filename().empty() || local.filename() == "." || local.filename() == "..")
        return usageError(self, "give LOCAL: '" + printable(name) + "' makes no local file name");

    Session s;
    if (int e = s.open(self, inv.args[0], inv.global)) return e;
    TVX_HANDLE h = s.handle();
    const std::string label = "get " + printable(name);
    const std::string path = local.string();
    const TimedResult t = runWithProgress(h, label, listedSize(h, name),
                                          [&] { return TVX_UpFile(h, path.c_str(), name.c_str()); });
    if (t.result != TVX_OK) return reportFailure("get " + s.address() + " " + printable(name), t.result);
    const uintmax_t bytes = fs::file_size(local, ec);
    std::printf("%s\n", transferSummary(label + " -> " + path, ec ? 0 : bytes, t.seconds).c_str());
    return kExitOk;
}

int runPut(const Invocation& inv) {
    const Command& self = command("put");
    const fs::path local(std::string(inv.args[1]));
    const std::string name = inv.args.size() == 3 ? std::string(inv.args[2]) : local.filename().string();
    if (name.empty()) return usageError(self, "NAME is empty");
    // Local problems are told before any traffic, in words the library's codes cannot give.
    std::error_code ec;
    const std::string path = local.string();
    if (!fs::is_regular_file(local, ec)) {
        std::fprintf(stderr, "tvx put: '%s' is not a readable file\n", path.c_str());
        return kExitFailure;
    }
    const uintmax_t size = fs::file_size(local, ec);
    if (ec || size == 0 || size > UINT32_MAX) {
        std::fprintf(stderr, "tvx put: '%s' %s\n", path.c_str(),
                     ec ? "cannot be read" : size == 0 ? "is empty; the controller takes no empty files"
                                                       : "is larger than 4 GiB");
        return kExitFailure;
    }

    Session s;
    if (int e = s.open(self, inv.args[0], inv.global)) return e;
    TVX_HANDLE h = s.handle();
    const TimedResult t = runWithProgress(h, "put " + local.filename().string(), size,
                                          [&] { return TVX_DownFile(h, path.c_str(), name.c_str()); });
    if (t.result != TVX_OK) return reportFailure("put " + s.address() + " " + printable(name), t.result);
    std::printf("%s\n", transferSummary("put " + path + " -> " + printable(name), size, t.seconds).c_str());
    return kExitOk;
}

int runRm(const Invocation& inv) {
    const Command& self = command("rm");
    Session s;
    if (int e = s.open(self, inv.args[0], inv.global)) return e;
    for (size_t i = 1; i < inv.args.size(); ++i) {
        const std::string name(inv.args[i]);
        const int32_t r = TVX_DeleteFile(s.handle(), name.c_str());
        if (r != TVX_OK) return reportFailure("rm " + s.address() + " " + printable(name), r);
    }
    return kExitOk;
}

int runLog(const Invocation& inv) {
    const Command& self = command("log");
    Session s;
    if (int e = s.open(self, inv.args[0], inv.global)) return e;
    TVX_HANDLE h = s.handle();
    if (inv.args.size() == 2) {
        const std::string path(inv.args[1]);
        const int32_t r = TVX_UpLog(h, path.c_str());
        if (r != TVX_OK) return reportFailure("log " + s.address(), r);
        std::error_code ec;
        const uintmax_t bytes = fs::file_size(path, ec);
        if (inv.global.json)
            std::printf("%s\n", jsonLine({{"file", jsonText(path)}, {"bytes", ec ? 0 : bytes}}).c_str());
        else
            std::printf("%s\n", transferSummary("log -> " + path, ec ? 0 : bytes, 0).c_str());
        return kExitOk;
    }
    // The log's length is unknown here: a buffer that is too small is grown
    // and the upload repeated.
    std::vector<char> buffer;
    uint32_t received = 0;
    int32_t r = TVX_ERR_BUFFER_TOO_SMALL;
    for (uint32_t room = kFirstLogRoom; r == TVX_ERR_BUFFER_TOO_SMALL && room <= kMaxLogRoom; room *= 4) {
        buffer.resize(room);
        received = 0;
        r = TVX_UpLogToMem(h, buffer.data(), room, &received);
    }
    if (r != TVX_OK) return reportFailure("log " + s.address(), r);
    const size_t length = std::min<size_t>(received, buffer.size());
    if (inv.global.json)
        std::printf("%s\n", jsonLine({{"log", jsonText(std::string_view(buffer.data(), length))}}).c_str());
    else
        std::fwrite(buffer.data(), 1, length, stdout);
    return kExitOk;
}

bool parseTable(std::string_view text, uint16_t* table) {
    uint64_t v;
    if (!parseUnsigned(text, 65535, &v)) return false;
    *table = static_cast<uint16_t>(v);
    return true;
}

int runTable(const Invocation& inv) {
    const Command& self = command("table");
    const auto& a = inv.args;
    const std::string_view action = a[1];
    if (action != "read" && action != "write") return usageError(self, "unknown action '" + std::string(action) + "'");
    if (a.size() < 4) return usageError(self, action == "read" ? "read needs N COUNT" : "write needs N VALUE...");
    uint16_t table;
    if (!parseTable(a[2], &table)) return usageError(self, "N must be a table number from 0 to 65535");

    std::vector<float> values;
    uint64_t count = 0;
    if (action == "read") {
        if (a.size() != 4) return usageError(self, "read takes N COUNT");
        if (!parseUnsigned(a[3], kMaxTableValues, &count) || count == 0)
            return usageError(self, "COUNT must be from 1 to 4194304");
        values.resize(count);
    } else {
        if (a.size() - 3 > kMaxTableValues) return usageError(self, "at most 4194304 values");
        for (size_t i = 3; i < a.size(); ++i) {
            double v;
            if (!parseNumber(a[i], &v) || std::fabs(v) > FLT_MAX)
                return usageError(self, "'" + std::string(a[i]) + "' is not a single-precision number");
            values.push_back(static_cast<float>(v));
        }
    }

    Session s;
    if (int e = s.open(self, a[0], inv.global)) return e;
    const std::string what = "table " + std::string(action) + " " + s.address() + " " + std::to_string(table);
    if (action == "write") {
        const int32_t r = TVX_FlashWritef(s.handle(), table, static_cast<uint32_t>(values.size()), values.data());
        if (r != TVX_OK) return reportFailure(what, r);
        if (inv.global.json)
            std::printf("%s\n", jsonLine({{"table", table}, {"written", values.size()}}).c_str());
        else
            std::printf("table %u: %zu values written\n", table, values.size());
        return kExitOk;
    }
    uint32_t got = 0;
    const int32_t r = TVX_FlashReadf(s.handle(), table, static_cast<uint32_t>(count), values.data(), &got);
    // A table longer than COUNT fills the buffer: that is the COUNT values asked for.
    if (r != TVX_OK && r != TVX_ERR_BUFFER_TOO_SMALL) return reportFailure(what, r);
    if (inv.global.json) {
        Json shown = Json::array();
        for (uint32_t i = 0; i < got && i < values.size(); ++i) shown.push_back(jsonNumber(values[i]));
        std::printf("%s\n", jsonLine({{"table", table}, {"values", shown}}).c_str());
        return kExitOk;
    }
    for (uint32_t i = 0; i < got && i < values.size(); ++i) std::printf("%.9g\n", static_cast<double>(values[i]));
    return kExitOk;
}

}  // namespace
}  // namespace tvx::tool
