#include "options.h"

#include "args.h"

namespace tvx::tool {

CLI::Option* addArgument(CLI::App& app, Invocation& inv, const std::string& name, Arity arity, const std::string& help,
                         const std::string& kind) {
    // Each argument appends its words to inv.args when the parse completes;
    // callbacks run in declaration order, so the words keep that order.
    CLI::Option* o;
    if (arity == Arity::one || arity == Arity::optional) {
        o = app.add_option_function<std::string>(name, [&inv](const std::string& word) { inv.args.push_back(word); },
                                                  help);
        if (arity == Arity::one) o->required();
    } else {
        o = app.add_option_function<std::vector<std::string>>(
            name,
            [&inv](const std::vector<std::string>& words) { inv.args.insert(inv.args.end(), words.begin(), words.end()); },
            help);
        if (arity == Arity::many) o->required();
    }
    o->type_name(name)->group(kind);
    return o;
}

CLI::Option* addAddress(CLI::App& app, Invocation& inv) {
    return addArgument(app, inv, "ADDRESS", Arity::one,
                       "the controller: a.b.c.d[:port], COMn (n from 1 to 1024) or PCI<n>");
}

CLI::Option* addNumber(CLI::App& app, const std::string& name, uint64_t* out, uint64_t min, uint64_t max,
                       const std::string& valueName, const std::string& help, const std::string& error) {
    CLI::Option* o = app.add_option_function<std::string>(
        name,
        [out, min, max, error](const std::string& text) {
            uint64_t v = 0;
            if (!parseUnsigned(text, max, &v) || v < min) throw BadValue(error);
            *out = v;
        },
        help);
    o->type_name(valueName)->group(kPlainKind);
    return o;
}

CLI::Option* addChoice(CLI::App& app, const std::string& name, std::string* out, const std::string& words,
                       const std::string& help, const std::string& error) {
    CLI::Option* o = app.add_option_function<std::string>(
        name,
        [out, words, error](const std::string& text) {
            // Matched as a whole word of the '|'-separated list.
            const std::string padded = "|" + words + "|";
            if (text.empty() || text.find('|') != std::string::npos || padded.find("|" + text + "|") == std::string::npos)
                throw BadValue(error);
            *out = text;
        },
        help);
    o->type_name(words)->group(words);
    return o;
}

CLI::Option* addText(CLI::App& app, const std::string& name, std::string* out, const std::string& valueName,
                     const std::string& help, const std::string& kind) {
    CLI::Option* o = app.add_option_function<std::string>(
        name,
        [out, name, valueName](const std::string& text) {
            if (text.empty()) throw BadValue(name + " needs " + valueName);
            *out = text;
        },
        help);
    o->type_name(valueName)->group(kind);
    return o;
}

CLI::Option* addFlag(CLI::App& app, const std::string& name, bool* out, const std::string& help) {
    return app.add_flag(name, *out, help)->group(kPlainKind);
}

}  // namespace tvx::tool
