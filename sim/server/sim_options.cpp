#include "server/sim_options.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/platform.h"
#include "server/text_values.h"

namespace tvx::sim {

namespace {

// The options as the help text and the manual page show them, in order.
// An entry without a name starts a group; its text is the group's heading.
struct OptionDoc {
    const char* name;      // "--address", or nullptr for a group heading
    const char* argument;  // "IP", or "" for a flag
    const char* text;      // one paragraph
};

constexpr OptionDoc kOptionDocs[] = {
    {nullptr, "", ""},
    {"--address", "IP", "loopback address to serve on, 127.0.0.0/8 only (default 127.0.0.1)"},
    {"--port", "N", "UDP port (default 502; the library always talks to 502)"},
    {"--no-broadcast", "", "do not listen for broadcast discovery probes"},
    {"--config", "FILE", "controller settings, one KEY = VALUE per line"},
    {"--set", "KEY=VALUE", "one controller setting (repeatable, applied after --config)"},
    {"--list-settings", "", "list the setting keys and exit"},
    {"--files", "DIR",
     "keep the controller's files in DIR (created if missing; files already there are the controller's files)"},
    {"--store-mib", "N", "capacity of the controller's file store in MiB, 1-65536 (default 256); a download beyond it is refused"},
    {"--block-size", "N", "largest block of a file transfer, 1-65535 (default 1024)"},
    {"--window", "N", "blocks the host may send before an acknowledgement, 0-65535 (default 100)"},
    {"--camera", "FILE.png",
     "serve the picture as the next camera image (repeatable; image 0 is a built-in test picture, the first "
     "file is image 1)"},
    {nullptr, "", "PCI cards (the library reaches them with TAVRIX_PCI_DRIVER=sim:ADDRESS:PORT):"},
    {"--pci", "",
     "serve simulated PCI and PCIe cards on TCP ADDRESS:PORT (default port 5502) for the library's stand-in card "
     "driver, instead of UDP"},
    {"--pci-cards", "N", "cards of the PCI class, 0-16 (default 2)"},
    {"--pcie-cards", "N", "cards of the PCIe class, 0-16 (default 1)"},
    {"--max-packet", "N", "packet size the driver reports, 16-4096 (default 256)"},
    {nullptr, "", ""},
    {"--trace", "", "log every datagram received and sent to stderr, in hex"},
    {"--exit-with-parent", "", "stop when the starting process ends"},
    {"--man-page", "", "print this text as a manual page (roff) and exit"},
    {nullptr, "", "Serial line (RTU framing with CRC-16 on a pseudo-terminal instead of UDP):"},
    {"--serial", "",
     "serve on a new pseudo-terminal; prints TAVRIX_COMn=DEVICE on stdout, the line that lets the library open "
     "it as COMn"},
    {"--pty", "PATH", "also make PATH a symbolic link to the device (implies --serial)"},
    {"--com", "N", "the n of the printed TAVRIX_COMn line, 1-1024 (default 1)"},
    {"--station", "N",
     "the controller's station address, 1-254 (default 1; frames for station 254 are always answered)"},
    {"--baud", "N",
     "the controller's baud (default 38400); frames sent by a host at another baud are not understood"},
    {"--split-gap-ms", "N", "send each reply in two parts N ms apart"},
    {nullptr, "", "Fault injection (shares as 0.25 or 25%; the same seed repeats the same faults):"},
    {"--seed", "N", "seed of the fault choices (default 1)"},
    {"--drop-requests", "P", "ignore a share of received frames"},
    {"--drop-replies", "P", "handle a share of requests but send no reply"},
    {"--duplicate", "P", "send a share of replies twice"},
    {"--reorder", "P", "hold a share of replies back until after the next reply"},
    {"--corrupt", "P", "flip bits of one byte in a share of replies"},
    {"--noise", "P", "send a noise datagram (random bytes or a stale reply) before a share of replies"},
    {"--drop-probes", "P", "leave a share of discovery probes unanswered (the other faults touch frames only)"},
    {"--delay-ms", "N", "delay every reply by N ms"},
    {"--jitter-ms", "N", "add a random 0..N ms to each delay"},
    {"--silent", "", "receive everything, answer nothing"},
};

constexpr const char* kSummary =
    "A simulated Tavrix controller answering on UDP (MBAP framing) and to discovery probes.";
constexpr const char* kStops = "Stops on SIGINT or SIGTERM.";

// Appends `text` broken at spaces into lines of at most `width` columns,
// the first after `first` columns already used, the others indented by
// `indent`.
void appendWrapped(std::string* out, std::string_view text, size_t first, size_t indent, size_t width) {
    size_t column = first;
    bool lineStart = true;
    while (!text.empty()) {
        const size_t space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view{} : text.substr(space + 1);
        if (!lineStart && column + 1 + word.size() > width) {
            out->append("\n").append(indent, ' ');
            column = indent;
            lineStart = true;
        }
        if (!lineStart) {
            out->push_back(' ');
            ++column;
        }
        out->append(word);
        column += word.size();
        lineStart = false;
    }
    out->push_back('\n');
}

// Text for roff: backslashes doubled, a leading dot or quote kept literal,
// and the hyphens of option names as real minus signs.
std::string roff(std::string_view text) {
    std::string out;
    if (!text.empty() && (text[0] == '.' || text[0] == '\'')) out = "\\&";
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out.push_back(c);
    }
    return out;
}

}  // namespace

std::string simUsage() {
    constexpr size_t kColumn = 23, kWidth = 92;
    std::string out = "usage: tavrix-sim [OPTIONS]\n";
    out.append(kSummary).append("\n");
    for (const OptionDoc& d : kOptionDocs) {
        if (!d.name) {
            out.append("\n");
            if (*d.text) out.append(d.text).append("\n");
            continue;
        }
        std::string head = std::string("  ") + d.name;
        if (*d.argument) head.append(" ").append(d.argument);
        if (head.size() + 1 > kColumn) head.append(" "); else head.resize(kColumn, ' ');
        out.append(head);
        appendWrapped(&out, d.text, head.size(), kColumn, kWidth);
    }
    out.append("\n").append(kStops).append("\n");
    return out;
}

std::string simManPage(std::string_view version) {
    // Appended piece by piece: GCC 12 warns (wrongly) about "text" + string.
    std::string out = ".TH TAVRIX-SIM 1 \"\" \"tavrix ";
    out.append(version).append("\" \"User Commands\"\n");
    out.append(".SH NAME\ntavrix\\-sim \\- a simulated Tavrix motion controller\n");
    out.append(".SH SYNOPSIS\n.B tavrix\\-sim\n[\\fIOPTIONS\\fR]\n");
    out.append(".SH DESCRIPTION\n").append(roff(kSummary)).append("\n");
    out.append(".PP\nIt serves one controller: its interpreter, files, variables, registers, I/O, LCD screen, camera, "
               "firmware and program store, as tvx(1) and programs using tavrix.h(3) reach them. ");
    out.append(roff(kStops)).append("\n");
    out += ".SH OPTIONS\n";
    for (const OptionDoc& d : kOptionDocs) {
        if (!d.name) {
            if (*d.text) out.append(".SS \"").append(roff(d.text)).append("\"\n");
            continue;
        }
        out.append(".TP\n.B ").append(roff(d.name));
        if (*d.argument) out.append(" \\fI").append(roff(d.argument)).append("\\fR");
        out.append("\n").append(roff(d.text)).append("\n");
    }
    out += ".SH EXAMPLES\n.nf\n"
           "tavrix\\-sim \\-\\-address 127.0.0.21 \\-\\-set axes=4 &\n"
           "tavrix\\-sim \\-\\-address 127.0.0.23 \\-\\-drop\\-replies 30% \\-\\-seed 7 &\n"
           "tavrix\\-sim \\-\\-pty /tmp/com3 \\-\\-com 3 &   # then TAVRIX_COM3=/tmp/com3 tvx info COM3\n"
           ".fi\n";
    out += ".PP\nPort 502 needs privileges outside a private network namespace; "
           "unshare \\-rn gives one without them.\n";
    out += ".SH SEE ALSO\ntvx(1), tavrix.h(3)\n";
    return out;
}

ParseOutcome parseSimArguments(int argc, const char* const* argv, SimOptions* o, std::string* message) {
    auto bad = [&](const std::string& text) {
        *message = text;
        return ParseOutcome::error;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        // Options that take a value accept "--name VALUE" and "--name=VALUE".
        std::string_view name = arg, inlineValue;
        bool hasInline = false;
        if (const size_t eq = arg.find('='); arg.substr(0, 2) == "--" && eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
            hasInline = true;
        }
        auto value = [&](std::string_view* out) {
            if (hasInline) {
                *out = inlineValue;
                return true;
            }
            if (i + 1 >= argc || !argv[i + 1]) return false;
            *out = argv[++i];
            return true;
        };
        auto share = [&](double* field) {
            std::string_view v;
            if (!value(&v) || !parseShare(v, field)) return false;
            return true;
        };
        auto millis = [&](uint32_t* field) {
            std::string_view v;
            int64_t n;
            if (!value(&v) || !parseInteger(v, 0, 60000, &n)) return false;
            *field = static_cast<uint32_t>(n);
            return true;
        };
        std::string_view v;
        int64_t n;
        if (name == "-h" || name == "--help") return ParseOutcome::help;
        if (name == "--list-settings") return ParseOutcome::listSettings;
        if (name == "--man-page") return ParseOutcome::manPage;
        if (name == "--trace") {
            o->trace = true;
        } else if (name == "--silent") {
            o->faults.silent = true;
        } else if (name == "--no-broadcast") {
            o->broadcast = false;
        } else if (name == "--exit-with-parent") {
            o->exitWithParent = true;
        } else if (name == "--pci") {
            o->pci = true;
        } else if (name == "--pci-cards") {
            if (!value(&v) || !parseInteger(v, 0, 16, &n)) return bad("--pci-cards needs a number from 0 to 16");
            o->pciCards = static_cast<int32_t>(n);
        } else if (name == "--pcie-cards") {
            if (!value(&v) || !parseInteger(v, 0, 16, &n)) return bad("--pcie-cards needs a number from 0 to 16");
            o->pcieCards = static_cast<int32_t>(n);
        } else if (name == "--max-packet") {
            if (!value(&v) || !parseInteger(v, 16, 4096, &n)) return bad("--max-packet needs a number from 16 to 4096");
            o->maxPacket = static_cast<int32_t>(n);
        } else if (name == "--address") {
            if (!value(&v)) return bad("--address needs an IPv4 address");
            const std::string text(v);
            uint32_t ip;
            // Only the full dotted form: inet_aton's shorthand forms are surprising here.
            if (text.size() > 15 || std::count(text.begin(), text.end(), '.') != 3 || !platform::parseIpv4(text.c_str(), &ip))
                return bad("--address: '" + text + "' is not a dotted IPv4 address");
            if ((ip >> 24) != 127) return bad("--address: " + text + " is not a loopback address (127.0.0.0/8)");
            o->address = text;
            o->ip = ip;
        } else if (name == "--serial") {
            o->serial = true;
        } else if (name == "--pty") {
            if (!value(&v) || v.empty()) return bad("--pty needs a path");
            o->ptyLink = std::string(v);
            o->serial = true;
        } else if (name == "--com") {
            if (!value(&v) || !parseInteger(v, 1, 1024, &n)) return bad("--com needs a number from 1 to 1024");
            o->comNumber = static_cast<uint32_t>(n);
        } else if (name == "--station") {
            if (!value(&v) || !parseInteger(v, 1, 254, &n)) return bad("--station needs a number from 1 to 254");
            o->station = static_cast<int32_t>(n);
        } else if (name == "--baud") {
            if (!value(&v) || !parseInteger(v, 1200, 921600, &n)) return bad("--baud needs a rate from 1200 to 921600");
            o->baud = static_cast<int32_t>(n);
        } else if (name == "--split-gap-ms") {
            if (!millis(&o->splitGapMs)) return bad("--split-gap-ms needs milliseconds from 0 to 60000");
        } else if (name == "--port") {
            if (!value(&v) || !parseInteger(v, 1, 65535, &n)) return bad("--port needs a number from 1 to 65535");
            o->port = static_cast<uint16_t>(n);
            o->portGiven = true;
        } else if (name == "--config") {
            if (!value(&v) || v.empty()) return bad("--config needs a file name");
            o->configFile = std::string(v);
        } else if (name == "--set") {
            if (!value(&v) || v.find('=') == std::string_view::npos) return bad("--set needs KEY=VALUE");
            o->settings.emplace_back(v);
        } else if (name == "--files") {
            if (!value(&v) || v.empty()) return bad("--files needs a directory");
            o->filesDirectory = std::string(v);
        } else if (name == "--store-mib") {
            if (!value(&v) || !parseInteger(v, 1, 65536, &n)) return bad("--store-mib needs a number from 1 to 65536");
            o->storeMiB = static_cast<uint32_t>(n);
        } else if (name == "--block-size") {
            if (!value(&v) || !parseInteger(v, 1, 65535, &n)) return bad("--block-size needs a number from 1 to 65535");
            o->blockSize = static_cast<int32_t>(n);
        } else if (name == "--window") {
            if (!value(&v) || !parseInteger(v, 0, 65535, &n)) return bad("--window needs a number from 0 to 65535");
            o->window = static_cast<int32_t>(n);
        } else if (name == "--camera") {
            if (!value(&v) || v.empty()) return bad("--camera needs a PNG file");
            o->cameraFiles.emplace_back(v);
        } else if (name == "--seed") {
            if (!value(&v) || !parseInteger(v, 0, INT64_MAX, &n)) return bad("--seed needs a non-negative number");
            o->faults.seed = static_cast<uint64_t>(n);
        } else if (name == "--drop-requests") {
            if (!share(&o->faults.dropRequests)) return bad("--drop-requests needs a share such as 0.2 or 20%");
        } else if (name == "--drop-replies") {
            if (!share(&o->faults.dropReplies)) return bad("--drop-replies needs a share such as 0.2 or 20%");
        } else if (name == "--duplicate") {
            if (!share(&o->faults.duplicateReplies)) return bad("--duplicate needs a share such as 0.2 or 20%");
        } else if (name == "--reorder") {
            if (!share(&o->faults.reorderReplies)) return bad("--reorder needs a share such as 0.2 or 20%");
        } else if (name == "--corrupt") {
            if (!share(&o->faults.corruptReplies)) return bad("--corrupt needs a share such as 0.2 or 20%");
        } else if (name == "--noise") {
            if (!share(&o->faults.noise)) return bad("--noise needs a share such as 0.2 or 20%");
        } else if (name == "--drop-probes") {
            if (!share(&o->faults.dropProbes)) return bad("--drop-probes needs a share such as 0.2 or 20%");
        } else if (name == "--delay-ms") {
            if (!millis(&o->faults.delayMs)) return bad("--delay-ms needs milliseconds from 0 to 60000");
        } else if (name == "--jitter-ms") {
            if (!millis(&o->faults.jitterMs)) return bad("--jitter-ms needs milliseconds from 0 to 60000");
        } else {
            return bad("unknown option '" + std::string(arg) + "' (see --help)");
        }
        if (hasInline && (name == "--trace" || name == "--silent" || name == "--pci" || name == "--no-broadcast" ||
                          name == "--exit-with-parent" || name == "--serial"))
            return bad(std::string(name) + " takes no value");
    }
    if (o->pci && !o->portGiven) o->port = kDefaultCardPort;
    return ParseOutcome::run;
}

}  // namespace tvx::sim
