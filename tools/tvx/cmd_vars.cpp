// tvx var, array, lock and unlock: the controller's variables and arrays,
// and its user lock.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "args.h"
#include "command.h"
#include "json_text.h"
#include "options.h"
#include "session.h"
#include "tavrix.h"
#include "terminal.h"

namespace tvx::tool {
namespace {

constexpr uint32_t kMaxArrayCount = 1000000;
constexpr size_t kMaxPassword = 15;
constexpr uint32_t kAnswerWaitMs = 2000;

int runVar(const Invocation& inv);
int runArray(const Invocation& inv);
int runLock(const Invocation& inv);

void declareVar(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "NAME", Arity::many, "NAME or NAME(INDEX), then '= VALUE' to set it");
}
void declareArray(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "ACTION", Arity::one, "read or write", "read|write");
    addArgument(app, inv, "NAME", Arity::one, "the array");
    addArgument(app, inv, "START", Arity::one, "the first index");
    addArgument(app, inv, "COUNT", Arity::one, "how many elements, 0-1000000");
    addArgument(app, inv, "VALUES", Arity::any, "COUNT values to write");
}
void declareLock(CLI::App& app, Invocation& inv) { addAddress(app, inv); }

TVX_COMMAND({"var", "read or set a variable or array element",
             "Prints NAME = VALUE. With '= VALUE' the variable (by a command line) or the\n"
             "array element (by an array write) is set first.\n"
             "With tvx --json: {\"name\":\"VR(3)\",\"value\":2.5}.\n"
             "Example: tvx var 127.0.0.21 VR(3) = 2.5\n",
             true, declareVar, runVar});
TVX_COMMAND({"array", "read or write array elements",
             "read prints one line NAME(I) = VALUE per element; write takes COUNT values.\n"
             "Long ranges go out in several requests.\n"
             "With tvx --json: {\"name\",\"start\",\"values\":[...]} for read,\n"
             "{\"name\",\"start\",\"written\":COUNT} for write.\n"
             "Example: tvx array 127.0.0.21 write TABLE 10 3 1 2.5 -4\n",
             true, declareArray, runArray, {"read", "write"}});
TVX_COMMAND({"lock", "lock the controller with a password",
             "Reads the password (at most 15 characters) from the first line of standard\n"
             "input and prints the controller's answer, if any. A locked controller\n"
             "refuses file transfers and the debugger until it is unlocked with the same\n"
             "password.\n",
             false, declareLock, runLock});
TVX_COMMAND({"unlock", "unlock the controller", "Reads the password as 'tvx lock' does.\n", false, declareLock, runLock});

// NAME or NAME(INDEX): a name of letters, digits and '_', then an optional
// non-negative index in parentheses.
bool parseTarget(std::string_view text, std::string* name, int32_t* index, bool* element) {
    size_t i = 0;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_')) ++i;
    if (i == 0 || i > 64) return false;
    *name = std::string(text.substr(0, i));
    *element = false;
    if (i == text.size()) return true;
    if (text[i] != '(' || text.back() != ')') return false;
    uint64_t n = 0;
    if (!parseUnsigned(text.substr(i + 1, text.size() - i - 2), 0x7FFFFFFF, &n)) return false;
    *index = static_cast<int32_t>(n);
    *element = true;
    return true;
}

std::string valueText(double v) {
    char t[64];
    std::snprintf(t, sizeof t, "%.9g", v);
    return t;
}

// Values one array request carries on this link.
uint32_t chunkFor(TVX_HANDLE h) { return TVX_GetConnectType(h) == TVX_LINK_SERIAL ? 48 : 248; }

int runVar(const Invocation& inv) {
    const Command& self = *findCommand("var");
    // "NAME = VALUE", "NAME= VALUE", "NAME =VALUE" and "NAME=VALUE" all set.
    std::string joined;
    for (size_t k = 1; k < inv.args.size(); ++k) joined += inv.args[k];
    const size_t eq = joined.find('=');
    const std::string targetText = joined.substr(0, eq);
    std::string name;
    int32_t index = 0;
    bool element = false;
    if (!parseTarget(targetText, &name, &index, &element)) return usageError(self, "NAME or NAME(INDEX) expected");
    double value = 0;
    const bool set = eq != std::string::npos;
    if (set && !parseNumber(std::string_view(joined).substr(eq + 1), &value)) return usageError(self, "VALUE must be a number");

    Session s;
    if (int e = s.open(self, inv.args[0], inv.global)) return e;
    const std::string what = "var " + s.address() + " " + targetText;
    if (set) {
        int32_t r;
        if (element) {
            const float f = static_cast<float>(value);
            r = TVX_ArrayWritef(s.handle(), name.c_str(), static_cast<uint32_t>(index), 1, &f);
        } else {
            const std::string line = name + "=" + valueText(value) + "\n";
            char answer[512];
            r = TVX_Execute(s.handle(), line.c_str(), kAnswerWaitMs, answer, sizeof answer);
            if (r == TVX_OK && answer[0] != 0) {
                std::fputs(answer, stderr);
                return kExitFailure;
            }
        }
        if (r != TVX_OK) return reportFailure(what, r);
    }
    float v = 0;
    const int32_t r = element ? TVX_GlobalArrayGet(s.handle(), name.c_str(), index, &v)
                              : TVX_GlobalVarGet(s.handle(), name.c_str(), &v);
    if (r != TVX_OK) return reportFailure(what, r);
    if (inv.global.json)
        std::printf("%s\n", jsonLine({{"name", jsonText(targetText)}, {"value", jsonNumber(v)}}).c_str());
    else
        std::printf("%s = %s\n", targetText.c_str(), valueText(v).c_str());
    return kExitOk;
}

int runArray(const Invocation& inv) {
    const Command& self = *findCommand("array");
    const bool write = inv.args[1] == "write";
    if (!write && inv.args[1] != "read") return usageError(self, "the first argument is read or write");
    const std::string name(inv.args[2]);
    uint64_t start = 0, count = 0;
    if (!parseUnsigned(inv.args[3], 0xFFFFFFFF, &start)) return usageError(self, "START must be a whole number");
    if (!parseUnsigned(inv.args[4], kMaxArrayCount, &count) || start + count > 0x100000000ull)
        return usageError(self, "COUNT must be 0 to 1000000 and stay within the index range");
    std::vector<float> values;
    if (write) {
        if (inv.args.size() - 5 != count) return usageError(self, "write needs exactly COUNT values");
        for (size_t k = 5; k < inv.args.size(); ++k) {
            double v;
            if (!parseNumber(inv.args[k], &v)) return usageError(self, "values must be numbers");
            values.push_back(static_cast<float>(v));
        }
    } else if (inv.args.size() > 5) {
        return usageError(self, "read takes no values");
    }
    values.resize(count);

    Session s;
    if (int e = s.open(self, inv.args[0], inv.global)) return e;
    const uint32_t chunk = chunkFor(s.handle());
    for (uint64_t done = 0; done < count;) {
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(chunk, count - done));
        const uint32_t first = static_cast<uint32_t>(start + done);
        const int32_t r = write ? TVX_ArrayWritef(s.handle(), name.c_str(), first, n, values.data() + done)
                                : TVX_ArrayReadf(s.handle(), name.c_str(), first, n, values.data() + done);
        if (r != TVX_OK) return reportFailure("array " + std::string(inv.args[1]) + " " + s.address() + " " + name, r);
        done += n;
    }
    if (inv.global.json) {
        Json o = {{"name", jsonText(name)}, {"start", start}};
        if (write) {
            o["written"] = count;
        } else {
            Json shown = Json::array();
            for (uint64_t k = 0; k < count; ++k) shown.push_back(jsonNumber(values[k]));
            o["values"] = shown;
        }
        std::printf("%s\n", jsonLine(o).c_str());
        return kExitOk;
    }
    if (!write)
        for (uint64_t k = 0; k < count; ++k)
            std::printf("%s(%llu) = %s\n", name.c_str(), static_cast<unsigned long long>(start + k),
                        valueText(values[k]).c_str());
    return kExitOk;
}

int runLock(const Invocation& inv) {
    const Command& self = *findCommand(inv.command);
    const bool lock = inv.command == "lock";
    if (isTerminal(0)) std::fputs("password: ", stderr);
    std::string password;
    for (int c; (c = std::getchar()) != EOF && c != '\n';)
        if (password.size() <= kMaxPassword) password.push_back(static_cast<char>(c));
    if (!password.empty() && password.back() == '\r') password.pop_back();
    if (password.empty() || password.size() > kMaxPassword)
        return usageError(self, "the password has 1 to 15 characters");

    Session s;
    if (int e = s.open(self, inv.args[0], inv.global)) return e;
    const std::string what = std::string(inv.command) + " " + s.address();
    int32_t r = lock ? TVX_Lock(s.handle(), password.c_str()) : TVX_UnLock(s.handle(), password.c_str());
    if (r != TVX_OK) return reportFailure(what, r);
    // The lock text is sent without waiting; the controller's verdict is
    // its answer, if it gives one.
    std::string answer;
    char piece[512];
    uint8_t done = 0;
    for (int polls = 0; !done && polls < 100; ++polls) {
        uint32_t got = 0;
        r = TVX_ExecuteGetReceive(s.handle(), piece, sizeof piece - 1, &got, &done);
        if (r != TVX_OK) return reportFailure(what, r);
        answer.append(piece, got);
        if (!done && got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!answer.empty()) {
        std::fputs(answer.c_str(), stderr);
        return kExitFailure;
    }
    std::printf("%s\n", lock ? "locked" : "unlocked");
    return kExitOk;
}

}  // namespace
}  // namespace tvx::tool
