#include "command_text.h"

#include "common/roff_text.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "options.h"

namespace tvx::tool {
namespace {

// Options that take a value all name it (type_name); flags name none.
bool isFlag(const CLI::Option* o) { return o->get_type_name().empty(); }
bool hidden(const CLI::Option* o) { return o->get_group().empty(); }
bool repeats(const CLI::Option* o) { return o->get_items_expected_max() > 1; }

// "-h, --help" or "--time MS".
std::string optionName(const CLI::Option* o, bool withValue = true) {
    std::string t;
    for (const std::string& s : o->get_snames()) t += (t.empty() ? "-" : ", -") + s;
    for (const std::string& l : o->get_lnames()) t += (t.empty() ? "--" : ", --") + l;
    if (withValue && !isFlag(o)) t += " " + o->get_type_name();
    return t;
}

std::string longestName(const CLI::Option* o) {
    if (!o->get_lnames().empty()) return "--" + o->get_lnames().front();
    return "-" + o->get_snames().front();
}

std::vector<const CLI::Option*> options(const CLI::App& app) {
    std::vector<const CLI::Option*> out;
    for (const CLI::Option* o : app.get_options())
        if (o->nonpositional() && !hidden(o) && o != app.get_help_ptr()) out.push_back(o);
    return out;
}

std::vector<const CLI::Option*> positionals(const CLI::App& app) {
    std::vector<const CLI::Option*> out;
    for (const CLI::Option* o : app.get_options())
        if (o->get_positional()) out.push_back(o);
    return out;
}

std::string argumentSynopsis(const CLI::Option* o) {
    std::string t = o->get_name();
    if (repeats(o)) t += "...";
    return o->get_required() ? t : "[" + t + "]";
}

std::string synopsis(const CLI::App& app) {
    std::string t;
    for (const CLI::Option* o : options(app)) t += " [" + optionName(o) + "]";
    for (const CLI::Option* o : positionals(app)) t += " " + argumentSynopsis(o);
    return t;
}

// Rows of "  NAME   description", the names padded to one column.
std::string table(const std::vector<std::pair<std::string, std::string>>& rows) {
    size_t width = 0;
    for (const auto& r : rows) width = std::max(width, r.first.size());
    std::string t;
    for (const auto& r : rows) {
        t += "  " + r.first + std::string(width - r.first.size() + 3, ' ') + r.second + "\n";
    }
    return t;
}

std::string choiceText(const std::string& kind) {
    std::string t = kind;
    std::replace(t.begin(), t.end(), '|', ' ');
    return t;
}

bool isChoice(const std::string& kind) { return kind.find('|') != std::string::npos; }


}  // namespace

std::string usageText(const Command& c, const CLI::App& app) { return "usage: tvx " + std::string(c.name) + synopsis(app); }

std::string helpText(const Command& c, const CLI::App& app) {
    std::string t = usageText(c, app) + "\n\n" + c.summary + "\n";
    std::vector<std::pair<std::string, std::string>> rows;
    for (const CLI::Option* o : positionals(app)) {
        std::string d = o->get_description();
        if (isChoice(o->get_group())) d += (d.empty() ? "" : ": ") + choiceText(o->get_group());
        rows.emplace_back(o->get_name(), d);
    }
    if (!rows.empty()) t += "\nArguments:\n" + table(rows);
    rows.clear();
    for (const CLI::Option* o : options(app)) rows.emplace_back(optionName(o), o->get_description());
    if (c.json) rows.emplace_back("--json", "print the data as JSON");
    rows.emplace_back("-h, --help", "this text");
    t += "\nOptions:\n" + table(rows);
    if (c.details && *c.details) t += "\n" + std::string(c.details);
    return t;
}

std::string rootUsage(const CLI::App& root) { return "usage: tvx" + synopsis(root) + " COMMAND ADDRESS [ARGS...]"; }

std::string overviewText(const CLI::App& root, const std::vector<DeclaredCommand>& declared) {
    std::string t = rootUsage(root) + "\n       tvx --version\n\nCommands:\n";
    std::vector<std::pair<std::string, std::string>> rows;
    for (const DeclaredCommand& d : declared) rows.emplace_back(d.command->name, d.command->summary);
    t += table(rows);
    rows.clear();
    for (const CLI::Option* o : options(root)) rows.emplace_back(optionName(o), o->get_description());
    rows.emplace_back("-h, --help", "this text; 'tvx COMMAND --help' describes one command");
    t += "\nOptions:\n" + table(rows);
    t +=
        "\n"
        "ADDRESS is a controller's IPv4 address (a.b.c.d), a serial port COMn (n from 1 to\n"
        "1024) or a card PCI<n>; it comes right after the command. On Linux COMn is the\n"
        "device named by TAVRIX_COMn, or /dev/ttyS<n-1>.\n"
        "\n"
        "Exit status: 0 success, 1 an error from the controller or the link, 2 a wrong command line.\n";
    return t;
}

std::string manPage(const CLI::App& root, const std::vector<DeclaredCommand>& declared, const std::string& version) {
    std::ostringstream m;
    m << ".TH TVX 1 \"\" \"tavrix " << version << "\" \"User Commands\"\n";
    m << ".SH NAME\ntvx \\- talk to Tavrix motion controllers from the command line\n";
    m << ".SH SYNOPSIS\n.B tvx\n" << roff(synopsis(root).substr(1)) << " \\fICOMMAND\\fR \\fIADDRESS\\fR [\\fIARGS\\fR...]\n";
    m << ".SH DESCRIPTION\n"
         "Each command opens the controller at ADDRESS, does one thing and prints the result.\n"
         "ADDRESS is an IPv4 address (a.b.c.d), a serial port COMn (n from 1 to 1024) or a card\n"
         "PCI<n>, and comes right after the command name.\n"
         "Commands with actions also take the older order (\\fBtvx table read\\fR \\fIADDRESS\\fR ...).\n";
    m << ".SH OPTIONS\nGiven before or after the command.\n";
    for (const CLI::Option* o : options(root)) m << ".TP\n.B " << roff(optionName(o)) << "\n" << roff(o->get_description()) << "\n";
    m << ".SH COMMANDS\n";
    for (const DeclaredCommand& d : declared) {
        const Command& c = *d.command;
        m << ".SS tvx " << c.name << "\n";
        const std::string args = synopsis(*d.app);
        m << ".B tvx " << c.name << "\n" << roff(args.empty() ? args : args.substr(1)) << "\n.PP\n" << roff(c.summary) << ".\n";
        for (const CLI::Option* o : positionals(*d.app)) {
            std::string desc = o->get_description();
            if (isChoice(o->get_group())) desc += (desc.empty() ? "" : ": ") + choiceText(o->get_group());
            m << ".TP\n.I " << o->get_name() << "\n" << roff(desc) << "\n";
        }
        for (const CLI::Option* o : options(*d.app))
            m << ".TP\n.B " << roff(optionName(o)) << "\n" << roff(o->get_description()) << "\n";
        if (c.json) m << ".TP\n.B \\-\\-json\nprints the data as JSON.\n";
        if (c.details && *c.details) m << ".PP\n.nf\n" << roff(c.details) << ".fi\n";
    }
    m << ".SH EXIT STATUS\n0 success, 1 an error from the controller or the link, 2 a wrong command line.\n";
    m << ".SH ENVIRONMENT\n.TP\n.B TAVRIX_COM\\fIn\\fR\nthe device of serial port COMn (default /dev/ttyS<n\\-1>).\n"
         ".TP\n.B TAVRIX_TRACE\na file that receives a capture of every frame.\n";
    m << ".SH SEE ALSO\n.BR tavrix-sim (1)\n";
    return m.str();
}

std::string completionScript(const CLI::App& root, const std::vector<DeclaredCommand>& declared) {
    std::ostringstream s;
    auto valueOptions = [](const CLI::App& app) {
        std::string t;
        for (const CLI::Option* o : options(app))
            if (!isFlag(o)) {
                for (const std::string& l : o->get_lnames()) t += (t.empty() ? "--" : "|--") + l;
                for (const std::string& n : o->get_snames()) t += (t.empty() ? "-" : "|-") + n;
            }
        return t;
    };
    auto optionWords = [](const CLI::App& app) {
        std::string t;
        for (const CLI::Option* o : app.get_options()) {
            if (!o->nonpositional() || hidden(o)) continue;
            t += (t.empty() ? "" : " ") + longestName(o);
        }
        return t;
    };
    std::string commandNames;
    for (const DeclaredCommand& d : declared) commandNames += std::string(d.command->name) + " ";
    commandNames += "help";

    s << "# bash completion for tvx, generated from its command declarations (tvx --completion-script).\n"
         "_tvx() {\n"
         "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
         "    local i w command=\"\" position=0 kinds=() rest=\"\"\n"
         "    COMPREPLY=()\n"
         "    # The command is the first word that is neither an option nor an option's value;\n"
         "    # position counts the arguments after it before the word completed.\n"
         "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "        w=${COMP_WORDS[i]}\n"
         "        if [[ -z $command ]]; then\n"
         "            case $w in\n";
    const std::string rootValues = valueOptions(root);
    if (!rootValues.empty()) s << "                " << rootValues << ") ((i++)) ;;\n";
    s << "                -*) ;;\n"
         "                *) command=$w ;;\n"
         "            esac\n"
         "            continue\n"
         "        fi\n"
         "        case \"$command $w\" in\n";
    for (const DeclaredCommand& d : declared)
        for (const CLI::Option* o : options(*d.app))
            if (!isFlag(o))
                for (const std::string& l : o->get_lnames()) s << "            \"" << d.command->name << " --" << l << "\") ((i++)); continue ;;\n";
    s << "        esac\n"
         "        [[ $w == -* ]] || ((position++))\n"
         "    done\n"
         "\n"
         "    if [[ -z $command ]]; then\n";
    if (!rootValues.empty()) s << "        case $prev in " << rootValues << ") return ;; esac\n";
    s << "        if [[ $cur == -* ]]; then\n"
         "            COMPREPLY=($(compgen -W \"" << optionWords(root) << " --help\" -- \"$cur\"))\n"
         "        else\n"
         "            COMPREPLY=($(compgen -W \"" << commandNames << "\" -- \"$cur\"))\n"
         "        fi\n"
         "        return\n"
         "    fi\n"
         "\n"
         "    # The value of an option: a file where it names one, else nothing to offer.\n"
         "    case \"$command $prev\" in\n";
    for (const DeclaredCommand& d : declared)
        for (const CLI::Option* o : options(*d.app)) {
            if (isFlag(o)) continue;
            for (const std::string& l : o->get_lnames()) {
                s << "        \"" << d.command->name << " --" << l << "\") ";
                if (o->get_group() == kFileKind)
                    s << "compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
                else if (isChoice(o->get_group()))
                    s << "COMPREPLY=($(compgen -W \"" << choiceText(o->get_group()) << "\" -- \"$cur\")); return ;;\n";
                else
                    s << "return ;;\n";
            }
        }
    s << "    esac\n"
         "\n"
         "    # Each command's arguments in order: FILE, a choice of words, or - for anything;\n"
         "    # rest is what the last one repeats as.\n"
         "    case $command in\n";
    for (const DeclaredCommand& d : declared) {
        s << "        " << d.command->name << ")\n";
        if (d.command->name == std::string("help")) continue;
        std::string kinds, rest;
        const auto args = positionals(*d.app);
        for (const CLI::Option* o : args) {
            const std::string& g = o->get_group();
            const std::string k = g == kFileKind ? "FILE" : isChoice(g) ? g : "-";
            kinds += (kinds.empty() ? "" : " ") + std::string("\"") + k + "\"";
            if (repeats(o)) rest = k;
        }
        s << "            kinds=(" << kinds << ") rest=\"" << rest << "\"\n"
          << "            if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W \"" << optionWords(*d.app)
          << "\" -- \"$cur\")); return; fi ;;\n";
    }
    s << "        help) [[ $position -eq 0 ]] && COMPREPLY=($(compgen -W \"" << commandNames << "\" -- \"$cur\")); return ;;\n"
         "        *) return ;;\n"
         "    esac\n"
         "    local kind=$rest\n"
         "    ((position < ${#kinds[@]})) && kind=${kinds[position]}\n"
         "    case $kind in\n"
         "        FILE) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\")) ;;\n"
         "        *\\|*) COMPREPLY=($(compgen -W \"${kind//|/ }\" -- \"$cur\")) ;;\n"
         "    esac\n"
         "}\n"
         "complete -F _tvx tvx\n";
    return s.str();
}

}  // namespace tvx::tool
