// The command table of tvx. Each command group lives in its own cmd_*.cpp
// file and registers itself with TVX_COMMAND: its name, its texts and a
// function that declares its arguments and options on a CLI11 parser. The
// same declarations give the parser, --help, the manual page and the bash
// completion, so none of them can drift from the others.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace tvx::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the library or the controller reported an error
inline constexpr int kExitUsage = 2;    // the command line is wrong

// Options given before the command name.
struct GlobalOptions {
    uint32_t timeoutMs = 0;   // transaction budget; 0 keeps the library's default
    uint32_t probeMs = 100;   // how long an open waits for the discovery answer
    bool trace = false;       // print every frame on standard error
    bool json = false;        // data as JSON on standard output
    bool adaptiveResend = false;  // resend after the measured round trip, not the fixed wait
};

struct Invocation {
    std::string_view command;       // the command's name
    std::vector<std::string> args;  // its arguments, in the order they were declared
    GlobalOptions global;
};

struct Command {
    const char* name;
    const char* summary;   // one line for the command list
    const char* details;   // shown by --help after the generated part
    bool json;             // prints data, and offers it as JSON with --json
    // Declares the arguments (addArgument) and options (options.h) on `app`.
    void (*declare)(CLI::App& app, Invocation& inv);
    int (*run)(const Invocation&);
    // Actions that the older form named before ADDRESS ("table read ADDRESS
    // ..."); such a command line is read as "table ADDRESS read ...".
    std::vector<std::string> actionsFirst = {};
};

const std::vector<const Command*>& commands();
const Command* findCommand(std::string_view name);

struct CommandRegistrar {
    explicit CommandRegistrar(const Command& command);
};

// "usage: tvx NAME ARGUMENTS" from the declarations (set by main).
std::string usageLine(const Command& command);
void setUsageSource(std::string (*source)(const Command&));
// Prints a usage error and the usage to stderr; returns kExitUsage.
int usageError(const Command& command, const std::string& message);

}  // namespace tvx::tool

#define TVX_COMMAND_JOIN2(a, b) a##b
#define TVX_COMMAND_JOIN(a, b) TVX_COMMAND_JOIN2(a, b)
// Registers a Command at start-up: TVX_COMMAND({"name", ...});
#define TVX_COMMAND(...) \
    static const ::tvx::tool::CommandRegistrar TVX_COMMAND_JOIN(tvxCommand_, __LINE__)(::tvx::tool::Command __VA_ARGS__)
