// Texts generated from the command declarations: the usage line and --help
// of each command, the list of commands, the manual page tvx(1) and the
// bash completion script.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "command.h"

namespace tvx::tool {

// A declared command with its parser.
struct DeclaredCommand {
    const Command* command;
    const CLI::App* app;
};

std::string usageText(const Command& command, const CLI::App& app);
std::string helpText(const Command& command, const CLI::App& app);
// "usage: tvx [OPTIONS] COMMAND ...", one line.
std::string rootUsage(const CLI::App& root);
// The global usage with the command list and the global options.
std::string overviewText(const CLI::App& root, const std::vector<DeclaredCommand>& declared);
std::string manPage(const CLI::App& root, const std::vector<DeclaredCommand>& declared, const std::string& version);
std::string completionScript(const CLI::App& root, const std::vector<DeclaredCommand>& declared);

}  // namespace tvx::tool
