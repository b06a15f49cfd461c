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

std::string (*g_usageSource)(const Command&) = nullptr;

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

void setUsageSource(std::string (*source)(const Command&)) { g_usageSource = source; }

std::string usageLine(const Command& c) {
    return g_usageSource ? g_usageSource(c) : "usage: tvx " + std::string(c.name) + " ...";
}

int usageError(const Command& c, const std::string& message) {
    std::fprintf(stderr, "tvx %s: %s\n%s\n", c.name, message.c_str(), usageLine(c).c_str());
    return kExitUsage;
}

}  // namespace tvx::tool
