// The command table of tvx. Each command group lives in its own cmd_*.cpp
// file and registers itself with TVX_COMMAND; the dispatcher in main.cpp
// only looks commands up by name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tvx::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the library or the controller reported an error
inline constexpr int kExitUsage = 2;    // the command line is wrong

// Options given before the command name.
struct GlobalOptions {
    uint32_t timeoutMs = 0;   // transaction budget; 0 keeps the library's default
    uint32_t probeMs = 100;   // how long an open waits for the discovery answer
    bool trace = false;       // print every frame on standard error
    bool json = false;        // data as one JSON document on standard output
};

struct Invocation {
    std::string_view command;           // the name the user typed
    std::vector<std::string_view> args; // everything after it
    GlobalOptions global;
};

struct Command {
    const char* name;
    const char* synopsis;  // arguments, e.g. "[--time MS]"
    const char* summary;   // one line for the command list
    const char* details;   // shown by --help, after the synopsis
    int (*run)(const Invocation&);
};

const std::vector<const Command*>& commands();
const Command* findCommand(std::string_view name);

struct CommandRegistrar {
    explicit CommandRegistrar(const Command& command);
};

// Prints "usage: tvx NAME SYNOPSIS" and the details to stdout.
void printCommandHelp(const Command& command);
// Prints a usage error and the synopsis to stderr; returns kExitUsage.
int usageError(const Command& command, const std::string& message);

}  // namespace tvx::tool

#define TVX_COMMAND_JOIN2(a, b) a##b
#define TVX_COMMAND_JOIN(a, b) TVX_COMMAND_JOIN2(a, b)
// Registers a Command at start-up: TVX_COMMAND({"name", ...});
#define TVX_COMMAND(...) \
    static const ::tvx::tool::CommandRegistrar TVX_COMMAND_JOIN(tvxCommand_, __LINE__)(::tvx::tool::Command __VA_ARGS__)
