// tvx lib: make library files and show their global declarations.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "command.h"
#include "json_text.h"
#include "options.h"
#include "session.h"
#include "tavrix.h"

namespace tvx::tool {
namespace {

int runLib(const Invocation& inv);

void declareLib(CLI::App& app, Invocation& inv) {
    addArgument(app, inv, "ACTION", Arity::one, "make a library, or list its globals", "make|globals");
    addArgument(app, inv, "FILES", Arity::many, "SOURCE OUT.nlb, or FILE.nlb", kFileKind);
}

TVX_COMMAND({"lib", "make library files and list their globals",
             "  make SOURCE OUT.nlb   a BASIC library from SOURCE.bas, or a PLC library from a\n"
             "                        compiled SOURCE.plc\n"
             "  globals FILE.nlb      prints the library's kind and its global declarations;\n"
             "                        with tvx --json: {\"kind\":\"BASIC\"|\"PLC\",\"globals\":[...]}\n",
             true, declareLib, runLib});

// The declarations one to a line, whatever line end each had.
std::vector<std::string> declarationLines(const char* text) {
    std::vector<std::string> lines(1);
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '\n')
            lines.emplace_back();
        else if (*c != '\r')
            lines.back() += *c;
    }
    if (lines.back().empty()) lines.pop_back();
    return lines;
}

int globals(const Command& self, const std::string& path, bool json) {
    int32_t type = 0;
    int32_t r = TVX_GetNlibFileType(path.c_str(), &type);
    if (r != TVX_OK) return reportFailure("lib globals " + path, r);
    // Declarations are never longer than twice the library plus a line.
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > 64u * 1024 * 1024) return usageError(self, "cannot size " + path);
    std::vector<char> text(static_cast<size_t>(size) * 2 + 64);
    r = TVX_GetNlibGlobalDefine(path.c_str(), text.data(), static_cast<uint32_t>(text.size()));
    if (r != TVX_OK) return reportFailure("lib globals " + path, r);
    const char* kind = type == 2 ? "BASIC" : "PLC";
    const std::vector<std::string> lines = declarationLines(text.data());
    if (json) {
        Json shown = Json::array();
        for (const std::string& line : lines) shown.push_back(jsonText(line));
        std::printf("%s\n", jsonLine({{"kind", kind}, {"globals", shown}}).c_str());
        return kExitOk;
    }
    std::printf("%s library\n", kind);
    for (const std::string& line : lines) std::printf("%s\n", line.c_str());
    return kExitOk;
}

int runLib(const Invocation& inv) {
    const Command& self = *findCommand("lib");
    if (inv.args.empty()) return usageError(self, "missing make or globals");
    if (inv.args[0] == "make") {
        if (inv.global.json) return usageError(self, "--json goes with globals: make prints no data");
        if (inv.args.size() != 3) return usageError(self, "make needs SOURCE and OUT.nlb");
        const std::string source(inv.args[1]), out(inv.args[2]);
        const int32_t r = TVX_MakeNlib(source.c_str(), out.c_str());
        if (r != TVX_OK) return reportFailure("lib make " + source, r);
        int32_t type = 0;
        TVX_GetNlibFileType(out.c_str(), &type);
        std::printf("%s: %s library\n", out.c_str(), type == 3 ? "PLC" : "BASIC");
        return kExitOk;
    }
    if (inv.args[0] == "globals") {
        if (inv.args.size() != 2) return usageError(self, "globals needs FILE.nlb");
        return globals(self, std::string(inv.args[1]), inv.global.json);
    }
    return usageError(self, "unknown action " + std::string(inv.args[0]));
}

}  // namespace
}  // namespace tvx::tool
