// tvx: talk to Tavrix controllers from the command line.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <deque>
#include <map>
#include <string>

#include "args.h"
#include "command.h"
#include "command_text.h"
#include "options.h"
#include "session.h"
#include "tavrix.h"
#include "tools/tool_interface.h"
#include "trace_print.h"

namespace {

using namespace tvx::tool;

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

// The whole command line as declared: the global options on the root, one
// subcommand per command. At most one command is chosen, so that a word
// such as "info" among a command's arguments stays an argument.
struct Parser {
    CLI::App root{"talk to Tavrix controllers", "tvx"};
    GlobalOptions global;
    uint64_t timeoutMs = 0, probeMs = 100;
    bool version = false;
    std::string manPath, completionPath, resend = "fixed";
    std::deque<Invocation> invocations;
    std::vector<DeclaredCommand> declared;
    std::map<const CLI::App*, const Command*> byApp;

    Parser() {
        root.set_help_flag("-h,--help", "this text");
        root.require_subcommand(0, 1);
        addNumber(root, "--timeout", &timeoutMs, 1, 600000, "MS", "time budget of each request (default 5000)",
                  "--timeout needs milliseconds from 1 to 600000");
        addNumber(root, "--probe-ms", &probeMs, 0, 60000, "MS",
                  "how long to wait for a controller to answer before opening (default 100)",
                  "--probe-ms needs milliseconds from 0 to 60000");
        addChoice(root, "--resend", &resend, "fixed|adaptive",
                  "resend an unanswered request after the link's fixed wait, doubling (default), or after the "
                  "measured round trip, 1 to 1000 ms (adaptive: fast Ethernet networks)",
                  "--resend needs fixed or adaptive");
        addFlag(root, "--trace", &global.trace, "print every frame sent and received, decoded, on standard error");
        addFlag(root, "--json", &global.json, "print data as JSON (the commands that print data)");
        addFlag(root, "--version", &version, "the versions of tvx and of the library it carries");
        // Build steps: the manual page and the completion script.
        root.add_option("--man", manPath, "write the manual page tvx(1) to FILE (- for stdout)")->type_name("FILE")->group("");
        root.add_option("--completion-script", completionPath, "write the bash completion script to FILE (- for stdout)")
            ->type_name("FILE")
            ->group("");
        for (const Command* c : commands()) {
            CLI::App* app = root.add_subcommand(c->name, c->summary);
            app->set_help_flag("-h,--help", "this text");
            app->positionals_at_end(false);
            // The global options may also follow the command (tvx info ADDRESS --json).
            app->fallthrough();
            Invocation& inv = invocations.emplace_back();
            inv.command = c->name;
            c->declare(*app, inv);
            declared.push_back({c, app});
            byApp[app] = c;
        }
    }

    const Command* chosen(const CLI::App** app = nullptr) const {
        for (const CLI::App* sub : root.get_subcommands()) {
            auto it = byApp.find(sub);
            if (it != byApp.end()) {
                if (app) *app = sub;
                return it->second;
            }
        }
        return nullptr;
    }
    Invocation& invocationOf(const Command& c) {
        for (Invocation& inv : invocations)
            if (inv.command == c.name) return inv;
        return invocations.front();
    }
};

Parser* g_parser = nullptr;

std::string usageFromDeclarations(const Command& c) {
    for (const DeclaredCommand& d : g_parser->declared)
        if (d.command == &c) return usageText(c, *d.app);
    return "usage: tvx " + std::string(c.name);
}

// Writes a generated text to `path`, or to stdout for "-".
int writeText(const std::string& path, const std::string& text) {
    if (path == "-") return std::fputs(text.c_str(), stdout) >= 0 ? kExitOk : kExitFailure;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if ((f && std::fclose(f) != 0) || !ok) {
        std::fprintf(stderr, "tvx: cannot write %s\n", path.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

// The index of the command name in args (after the global options), or args.size().
size_t commandIndex(const std::vector<std::string>& args) {
    size_t i = 0;
    while (i < args.size() && args[i].size() > 1 && args[i][0] == '-') {
        if (args[i] == "--") return i + 1;
        i += (args[i] == "--timeout" || args[i] == "--probe-ms" || args[i] == "--resend") ? 2 : 1;
    }
    return i;
}

}  // namespace

int main(int argc, char** argv) {
    Parser parser;
    g_parser = &parser;
    setUsageSource(usageFromDeclarations);

    std::vector<std::string> args(argv + 1, argv + argc);
    size_t at = commandIndex(args);
    // "tvx help COMMAND" is "tvx COMMAND --help".
    if (at < args.size() && args[at] == "help") {
        if (at + 1 >= args.size()) {
            std::fputs(overviewText(parser.root, parser.declared).c_str(), stdout);
            return kExitOk;
        }
        args = {args[at + 1], "--help"};
        at = 0;
    }
    // The older order "COMMAND ACTION ADDRESS ..." is read as "COMMAND ADDRESS ACTION ...".
    if (at + 2 < args.size()) {
        if (const Command* c = findCommand(args[at])) {
            for (const std::string& action : c->actionsFirst)
                if (args[at + 1] == action) {
                    std::swap(args[at + 1], args[at + 2]);
                    break;
                }
        }
    }

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        parser.root.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        const CLI::App* app = nullptr;
        const Command* c = parser.chosen(&app);
        std::fputs(c ? helpText(*c, *app).c_str() : overviewText(parser.root, parser.declared).c_str(), stdout);
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        const Command* c = parser.chosen();
        if (!c && at < args.size() && args[at][0] != '-' && !findCommand(args[at])) {
            std::fprintf(stderr, "tvx: unknown command '%s'; 'tvx --help' lists the commands\n", args[at].c_str());
            return kExitUsage;
        }
        std::string message = e.what();
        // "ADDRESS is required" reads as "missing ADDRESS".
        const std::string required = " is required";
        if (message.size() > required.size() && message.find(' ') == message.size() - required.size())
            message = "missing " + message.substr(0, message.size() - required.size());
        if (c) return usageError(*c, message);
        std::fprintf(stderr, "tvx: %s\n%s\n", message.c_str(), rootUsage(parser.root).c_str());
        return kExitUsage;
    }
    if (!parser.manPath.empty())
        return writeText(parser.manPath, manPage(parser.root, parser.declared, TVX_TOOL_VERSION));
    if (!parser.completionPath.empty())
        return writeText(parser.completionPath, completionScript(parser.root, parser.declared));
    if (parser.version) return printVersion();
    const Command* command = parser.chosen();
    if (!command) {
        std::fputs(overviewText(parser.root, parser.declared).c_str(), stderr);
        return kExitUsage;
    }
    Invocation& inv = parser.invocationOf(*command);
    inv.global = parser.global;
    inv.global.timeoutMs = static_cast<uint32_t>(parser.timeoutMs);
    inv.global.probeMs = static_cast<uint32_t>(parser.probeMs);
    inv.global.adaptiveResend = parser.resend == "adaptive";
    if (inv.global.json && !command->json)
        return usageError(*command, "--json: this command prints no data to give as JSON");

    LibraryScope library;
    if (library.result() != 0) return reportFailure("tvx", library.result());
    if (inv.global.trace) startTracePrinting();
    return command->run(inv);
}
