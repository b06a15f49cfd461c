// tvx nar: build program archives, inspect them, and download and run them.
//
// Building, downloading and running go through the public exports only.
// Inspecting needs the archive cipher, which the library does not export:
// that one action links the library's internal archive reader (the static
// tavrix_internal), keyed here with the same built-in key.
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "command.h"
#include "json_text.h"
#include "options.h"
#include "session.h"
#include "tavrix.h"
#include "tools/tool_interface.h"

namespace tvx::tool {

void printRunState(TVX_HANDLE h, bool json);  // cmd_run.cpp

namespace {

int runNar(const Invocation& inv);

std::string g_password;
bool g_ram = false;

// The auto-run byte of a member that starts no task.
constexpr uint8_t kNoAutoRun = 255;

void declareNar(CLI::App& app, Invocation& inv) {
    addArgument(app, inv, "WORDS", Arity::many, "build|inspect and their files, or ADDRESS run and a file", kFileKind);
    app.add_option("--password", g_password, "the archive's password (build, run)")->type_name("P")->group(kPlainKind);
    addFlag(app, "--ram", &g_ram, "run: load the project into RAM and run it from there");
}

TVX_COMMAND({"nar", "build, inspect, download and run program archives",
             "  build PROJECT.npj OUT.nar [--password P]\n"
             "        builds the enciphered archive of a project text file\n"
             "  inspect FILE.nar\n"
             "        lists the archive's header and members (name, type, auto-run task,\n"
             "        slot size, hash) and checks every slot; exit status 1 when damaged.\n"
             "        With tvx --json: {\"form\",\"length\",\"fileBytes\",\"version\",\"password\",\n"
             "        \"word\",\"members\":[{\"name\",\"type\",\"typeName\",\"task\",\"slot\",\"hash\",\n"
             "        \"hashOk\"},...]} (and \"fault\" when damaged)\n"
             "  ADDRESS run PROJECT.npj [--ram] [--password P]\n"
             "        builds the project's archive, downloads it as the controller's project\n"
             "        and starts it; --ram loads it into RAM and runs it from there\n"
             "  ADDRESS run FILE.nar\n"
             "        downloads an enciphered archive into RAM and runs it\n",
             true, declareNar, runNar, {"run"}});

const Command& self() { return *findCommand("nar"); }

bool endsWith(const std::string& s, const char* tail) {
    const std::string t(tail);
    if (s.size() <= t.size()) return false;
    for (size_t i = 0; i < t.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - t.size() + i])) != t[i]) return false;
    return true;
}

const char* typeName(uint8_t type) {
    switch (type) {
        case 1: return "BASIC";
        case 2: return "BASIC library";
        case 3: return "PLC library";
        case 4: return "PLC";
        case 5: return "HMI";
        case 6: return "n3p";
        case 7: return "CNC";
        case 19: return "nml";
        case 40: return "font";
        case 41: return "TrueType font";
        default: return type >= 20 && type <= 29 ? "picture" : "other";
    }
}

// A project record read from a project text file, with its directory.
struct Project {
    std::vector<uint8_t> record = std::vector<uint8_t>(TVX_PROJECT_RECORD_MAX_BYTES);
    char directory[TVX_PATH_BYTES] = {};
};

int loadProject(const std::string& path, const std::string& action, Project* p) {
    if (!endsWith(path, ".npj")) return usageError(self(), "PROJECT must be a .npj project file");
    const int32_t r = TVX_MakeMultiFileNpj(p->record.data(), p->directory, path.c_str());
    return r == TVX_OK ? kExitOk : reportFailure("nar " + action + " " + path, r);
}

int build(const Invocation& inv) {
    if (inv.args.size() != 3) return usageError(self(), "build needs PROJECT.npj and OUT.nar");
    if (g_ram) return usageError(self(), "--ram goes with run");
    const std::string& password = g_password;
    const std::string project(inv.args[1]), out(inv.args[2]);
    Project p;
    if (int e = loadProject(project, "build", &p)) return e;
    const int32_t r = TVX_MakeNar2(p.record.data(), p.directory, out.c_str(), password.c_str(), 0);
    if (r != TVX_OK) return reportFailure("nar build " + project, r);
    const unsigned count = p.record[12] | (p.record[13] << 8);
    std::printf("%s: %u member%s\n", out.c_str(), count, count == 1 ? "" : "s");
    return kExitOk;
}

// The header, and the members when the project record could be read.
void printInspectionText(const ArchiveReader& reader, size_t fileBytes, bool withMembers) {
    std::printf("form       %s\n", reader.form() == ArchiveForm::enciphered ? "enciphered" : "mirrored");
    std::printf("length     %u (file %zu)\n", reader.lengthField(), fileBytes);
    std::printf("version    %u\n", reader.version());
    std::printf("password   %s\n", reader.hasPassword() ? "yes" : "no");
    std::printf("word       0x%08X\n", reader.word());
    if (!withMembers) return;
    std::printf("members    %u\n\n", reader.entryCount());
    std::printf("%3s  %-25s  %-13s  %4s  %10s  %10s  %s\n", "#", "name", "type", "task", "slot", "hash", "check");
    for (uint16_t i = 0; i < reader.entryCount(); ++i) {
        const ArchiveEntryInfo e = reader.entry(i);
        char task[8];
        if (e.autoRun == kNoAutoRun)
            std::snprintf(task, sizeof task, "-");
        else
            std::snprintf(task, sizeof task, "%u", e.autoRun);
        std::printf("%3u  %-25s  %-13s  %4s  %10u  0x%08X  %s\n", i, e.name, typeName(e.type), task, e.slotSize,
                    e.hash, e.hashMatches ? "ok" : "BAD");
    }
}

// The same as one JSON document; a member that runs no task has "task":null.
void printInspection(const ArchiveReader& reader, size_t fileBytes, bool withMembers) {
    Json o = {{"form", reader.form() == ArchiveForm::enciphered ? "enciphered" : "mirrored"},
              {"length", reader.lengthField()},
              {"fileBytes", fileBytes},
              {"version", reader.version()},
              {"password", reader.hasPassword()},
              {"word", reader.word()}};
    if (withMembers) {
        Json members = Json::array();
        for (uint16_t i = 0; i < reader.entryCount(); ++i) {
            const ArchiveEntryInfo e = reader.entry(i);
            members.push_back({{"name", jsonText(e.name)},
                               {"type", e.type},
                               {"typeName", typeName(e.type)},
                               {"task", e.autoRun == kNoAutoRun ? Json(nullptr) : Json(e.autoRun)},
                               {"slot", e.slotSize},
                               {"hash", e.hash},
                               {"hashOk", e.hashMatches}});
        }
        o["members"] = members;
    }
    if (reader.fault() != ArchiveFault::none) o["fault"] = archiveFaultText(reader.fault());
    std::printf("%s\n", jsonLine(o).c_str());
}

int inspect(const Invocation& inv) {
    if (inv.args.size() != 2 || g_ram || !g_password.empty()) return usageError(self(), "inspect needs FILE.nar only");
    const std::string path(inv.args[1]);
    const bool json = inv.global.json;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return reportFailure("nar inspect " + path, TVX_ERR_FILE_NOT_FOUND);
    std::vector<uint8_t> data;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
    std::fclose(f);

    ArchiveReader reader;
    const int32_t r = reader.open(data.data(), data.size());
    if (r != TVX_OK) return reportFailure("nar inspect " + path, r);
    const ArchiveFault fault = reader.fault();
    if (fault == ArchiveFault::tooShort || fault == ArchiveFault::badMagic) {
        std::fprintf(stderr, "tvx nar inspect %s: %s\n", path.c_str(), archiveFaultText(fault));
        return kExitFailure;
    }
    const bool recordReadable = fault != ArchiveFault::badLength && fault != ArchiveFault::badProject;
    if (json)
        printInspection(reader, data.size(), recordReadable);
    else
        printInspectionText(reader, data.size(), recordReadable);
    if (fault != ArchiveFault::none) {
        std::fflush(stdout);
        std::fprintf(stderr, "tvx nar inspect %s: %s\n", path.c_str(), archiveFaultText(fault));
        return kExitFailure;
    }
    if (!json) std::printf("\narchive ok\n");
    return kExitOk;
}

int run(const Invocation& inv) {
    if (inv.args.size() != 3) return usageError(self(), "run needs ADDRESS and PROJECT.npj or FILE.nar");
    const std::string& password = g_password;
    const bool ram = g_ram;
    const std::string source(inv.args[2]);
    const bool archive = endsWith(source, ".nar");
    Project p;
    if (!archive) {
        if (int e = loadProject(source, "run", &p)) return e;
    }
    Session s;
    if (int e = s.open(self(), inv.args[1], inv.global)) return e;
    const std::string what = "nar run " + s.address() + " " + source;
    int32_t r;
    if (archive) {
        r = TVX_DownNarToRamAndRun(s.handle(), source.c_str());
    } else if (ram) {
        r = TVX_MakeNarAndRamRun2(s.handle(), p.record.data(), p.directory, password.c_str(), 0);
    } else {
        r = TVX_MakeNarAndDown2(s.handle(), p.record.data(), p.directory, password.c_str(), 0);
        if (r == TVX_OK) r = TVX_Resume(s.handle());
    }
    if (r != TVX_OK) return reportFailure(what, r);
    printRunState(s.handle(), false);
    return kExitOk;
}

int runNar(const Invocation& given) {
    // "ADDRESS run FILE" is handled below as "run ADDRESS FILE".
    Invocation inv = given;
    if (inv.args.size() >= 2 && inv.args[1] == "run") std::swap(inv.args[0], inv.args[1]);
    if (inv.global.json && (inv.args[0] == "build" || inv.args[0] == "run"))
        return usageError(self(), "--json goes with inspect: " + inv.args[0] + " prints no data");
    if (inv.args[0] == "build") return build(inv);
    if (inv.args[0] == "inspect") return inspect(inv);
    if (inv.args[0] == "run") return run(inv);
    return usageError(self(), "unknown action " + std::string(inv.args[0]));
}

}  // namespace
}  // namespace tvx::tool
