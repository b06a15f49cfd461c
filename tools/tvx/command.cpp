#include "command.h"

#include <algorithm>
#include <cstdio>
#include <deque>

namespace tvx::tool {
namespace {

std::vector<const Command*>& table() {
    static std::vector<const Command*> t;
    return t;
}

// Registered commands are copies: a deque keeps their addresses stable.
std::deque<Command>& storage() {
    static std::deque<Command> s;
    return s;
}

}  // namespace

CommandRegistrar::CommandRegistrar(const Command& command) {
    const Command* kept = &storage().emplace_back(command);
    auto& t = table();
    t.insert(std::upper_bound(t.begin(), t.end(), kept,
                              [](const Command* a, const Command* b) { return std::string_view(a->name) < b->name; }),
             kept);
}

const std::vector<const Command*>& commands() { return table(); }

const Command* findCommand(std::string_view name) {
    for (const Command* c : table())
        if (name == c->name) return c;
    return nullptr;
}

void printCommandHelp(const Command& c) {
    std::printf("usage: tvx %s %s\n\n%s\n", c.name, c.synopsis, c.summary);
    if (c.details && *c.details) std::printf("\n%s", c.details);
}

int usageError(const Command& c, const std::string& message) {
    std::fprintf(stderr, "tvx %s: %s\nusage: tvx %s %s\n", c.name, message.c_str(), c.name, c.synopsis);
    return kExitUsage;
}

}  // namespace tvx::tool
