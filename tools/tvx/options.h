// Declaring a command's arguments and options on its CLI11 parser. Values
// are read with tvx's strict parsers (args.h) rather than CLI11's own
// conversions, which would take "010" as octal; a value that does not read
// fails the parse with the message given here, which becomes the one-line
// usage error.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "command.h"

namespace tvx::tool {

// A value on the command line that does not read; exit status 2.
class BadValue : public CLI::ParseError {
public:
    explicit BadValue(std::string message) : CLI::ParseError("BadValue", std::move(message), CLI::ExitCodes::ValidationError) {}
};

enum class Arity {
    one,       // NAME
    optional,  // [NAME]
    many,      // NAME...
    any,       // [NAME...]
};

// What a value is, for completion, kept as the option's group: a local file,
// one of a choice of words ("read|write"), or anything else.
inline constexpr const char* kFileKind = "FILE";
inline constexpr const char* kPlainKind = "VALUE";

// A positional argument, kept in inv.args in declaration order. `kind` is
// kFileKind, a choice "w1|w2" or kPlainKind.
CLI::Option* addArgument(CLI::App& app, Invocation& inv, const std::string& name, Arity arity, const std::string& help,
                         const std::string& kind = kPlainKind);
// The controller's address: the first argument of every command that talks
// to a controller.
CLI::Option* addAddress(CLI::App& app, Invocation& inv);
// --name N: decimal (or 0x... when allowHex) from min to max; `error` is
// the message when the value does not read.
CLI::Option* addNumber(CLI::App& app, const std::string& name, uint64_t* out, uint64_t min, uint64_t max,
                       const std::string& valueName, const std::string& help, const std::string& error);
// --name TEXT; an empty value is refused with "NAME needs VALUENAME".
CLI::Option* addText(CLI::App& app, const std::string& name, std::string* out, const std::string& valueName,
                     const std::string& help, const std::string& kind = kPlainKind);
// --name WORD, one of `words` ("w1|w2" for completion); anything else is
// refused with `error`.
CLI::Option* addChoice(CLI::App& app, const std::string& name, std::string* out, const std::string& words,
                       const std::string& help, const std::string& error);
CLI::Option* addFlag(CLI::App& app, const std::string& name, bool* out, const std::string& help);

}  // namespace tvx::tool
