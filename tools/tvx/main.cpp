// tvx: talk to Tavrix controllers from the command line.
#include <cstdio>
#include <string>

#include "args.h"
#include "command.h"
#include "frame/library_frame.h"
#include "session.h"
#include "tavrix.h"
#include "trace_print.h"

namespace {

using namespace tvx::tool;

void printUsage(FILE* out) {
    std::fprintf(out,
                 "usage: tvx [--timeout MS] [--probe-ms MS] [--trace] [--json] COMMAND [ARGS...]\n"
                 "       tvx --version\n"
                 "\n"
                 "Commands:\n");
    for (const Command* c : commands()) std::fprintf(out, "  %-8s %s\n", c->name, c->summary);
    std::fprintf(out,
                 "\n"
                 "Options:\n"
                 "  --timeout MS    time budget of each request (default 5000)\n"
                 "  --probe-ms MS   how long to wait for a controller to answer before opening (default 100)\n"
                 "  --trace         print every frame sent and received, decoded, on standard error\n"
                 "  --json          print data as one JSON document (search, info, io, ls)\n"
                 "  --version       the versions of tvx and of the library it carries\n"
                 "  -h, --help      this text; 'tvx COMMAND --help' describes one command\n"
                 "\n"
                 "ADDRESS is a controller's IPv4 address (a.b.c.d) or a serial port COMn (n from 1 to\n"
                 "1024). On Linux COMn is the device named by TAVRIX_COMn, or /dev/ttyS<n-1>.\n"
                 "\n"
                 "Exit status: 0 success, 1 an error from the controller or the link, 2 a wrong command line.\n");
}

// tvx carries the library linked in, once: it runs the library's load and
// unload steps itself, as the shared library's entry would.
class LibraryScope {
public:
    LibraryScope() : result_(tvx::libraryLoad()) {}
    ~LibraryScope() {
        if (result_ == 0) tvx::libraryUnload();
    }
    LibraryScope(const LibraryScope&) = delete;
    LibraryScope& operator=(const LibraryScope&) = delete;
    int32_t result() const { return result_; }

private:
    int32_t result_;
};

int printVersion() {
    char library[16];
    const int32_t r = TVX_GetDllVersion(library);
    if (r != TVX_OK) return reportFailure("tvx", r);
    std::printf("tvx %s\nlibrary %s\n", TVX_TOOL_VERSION, library);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> all(argv + 1, argv + argc);
    Invocation inv;
    size_t i = 0;
    while (i < all.size() && all[i].substr(0, 1) == "-") {
        std::string_view value;
        bool missing = false;
        uint64_t n;
        if (isHelp(all[i])) {
            printUsage(stdout);
            return kExitOk;
        }
        if (all[i] == "--version") return printVersion();
        if (takeOption(all, i, "--timeout", &value, &missing)) {
            if (missing || !parseUnsigned(value, 600000, &n) || n == 0) {
                std::fprintf(stderr, "tvx: --timeout needs milliseconds from 1 to 600000\n");
                return kExitUsage;
            }
            inv.global.timeoutMs = static_cast<uint32_t>(n);
        } else if (all[i] == "--json") {
            inv.global.json = true;
            ++i;
        } else if (all[i] == "--trace") {
            inv.global.trace = true;
            ++i;
        } else if (takeOption(all, i, "--probe-ms", &value, &missing)) {
            if (missing || !parseUnsigned(value, 60000, &n)) {
                std::fprintf(stderr, "tvx: --probe-ms needs milliseconds from 0 to 60000\n");
                return kExitUsage;
            }
            inv.global.probeMs = static_cast<uint32_t>(n);
        } else {
            std::fprintf(stderr, "tvx: unknown option '%.*s'\n", static_cast<int>(all[i].size()), all[i].data());
            printUsage(stderr);
            return kExitUsage;
        }
    }
    if (i == all.size()) {
        printUsage(stderr);
        return kExitUsage;
    }
    inv.command = all[i++];
    if (inv.command == "help") {
        if (i == all.size()) {
            printUsage(stdout);
            return kExitOk;
        }
        inv.command = all[i];
        i = all.size();
        inv.args.push_back("--help");
    }
    const Command* command = findCommand(inv.command);
    if (!command) {
        std::fprintf(stderr, "tvx: unknown command '%.*s'; 'tvx --help' lists the commands\n",
                     static_cast<int>(inv.command.size()), inv.command.data());
        return kExitUsage;
    }
    inv.args.insert(inv.args.end(), all.begin() + static_cast<std::ptrdiff_t>(i), all.end());
    for (std::string_view a : inv.args) {
        if (isHelp(a)) {
            printCommandHelp(*command);
            return kExitOk;
        }
    }
    LibraryScope library;
    if (library.result() != 0) return reportFailure("tvx", library.result());
    if (inv.global.trace) startTracePrinting();
    return command->run(inv);
}
