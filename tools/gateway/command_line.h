// tavrix-gateway's options: one set of declarations behind --help and the
// generated manual page.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

namespace tvx::gateway {

struct CommandLine {
    std::string config;
    bool check = false;
    std::string metrics;
    bool man = false;
};

std::unique_ptr<CLI::App> makeCommandLine(CommandLine* values);

// The manual page tavrix-gateway(1) in roff, its OPTIONS section taken
// from the declarations of `app`.
std::string manPage(const CLI::App& app);

}  // namespace tvx::gateway
