// tvx lib: make library files and show their global declarations.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "command.h"
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
             "  globals FILE.nlb      prints the library's kind and its global declarations\n",
             false, declareLib, runLib});

int globals(const Command& self, const std::string& path) {
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
    std::printf("%s library\n", type == 2 ? "BASIC" : "PLC");
    std::string lines(text.data());
    // Show every declaration on a line of its own, whatever line end it had.
    std::string out;
    for (char c : lines)
        if (c != '\r') out += c;
    if (!out.empty() && out.back() != '\n') out += '\n';
    std::fputs(out.c_str(), stdout);
    return kExitOk;
}

int runLib(const Invocation& inv) {
    const Command& self = *findCommand("lib");
    if (inv.args.empty()) return usageError(self, "missing make or globals");
    if (inv.args[0] == "make") {
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
        return globals(self, std::string(inv.args[1]));
    }
    return usageError(self, "unknown action " + std::string(inv.args[0]));
}

}  // namespace
}  // namespace tvx::tool
