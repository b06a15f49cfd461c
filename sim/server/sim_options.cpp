#include "server/sim_options.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/platform.h"
#include "server/text_values.h"

namespace tvx::sim {

const char* simUsage() {
    return "usage: tavrix-sim [OPTIONS]\n"
           "A simulated Tavrix controller answering on UDP (MBAP framing) and to discovery probes.\n"
           "\n"
           "  --address IP         loopback address to serve on, 127.0.0.0/8 only (default 127.0.0.1)\n"
           "  --port N             UDP port (default 502; the library always talks to 502)\n"
           "  --no-broadcast       do not listen for broadcast discovery probes\n"
           "  --config FILE        controller settings, one KEY = VALUE per line\n"
           "  --set KEY=VALUE      one controller setting (repeatable, applied after --config)\n"
           "  --list-settings      list the setting keys and exit\n"
           "  --files DIR          keep the controller's files in DIR (created if missing; files\n"
           "                       already there are the controller's files)\n"
           "  --store-mib N        capacity of the controller's file store in MiB, 1-65536\n"
           "                       (default 256); a download beyond it is refused\n"
           "  --block-size N       largest block of a file transfer, 1-65535 (default 1024)\n"
           "  --window N           blocks the host may send before an acknowledgement, 0-65535\n"
           "                       (default 100)\n"
           "  --camera FILE.png    serve the picture as the next camera image (repeatable; image 0\n"
           "                       is a built-in test picture, the first file is image 1)\n"
           "\n"
           "PCI cards (the library reaches them with TAVRIX_PCI_DRIVER=sim:ADDRESS:PORT):\n"
           "  --pci                serve simulated PCI and PCIe cards on TCP ADDRESS:PORT (default\n"
           "                       port 5502) for the library's stand-in card driver, instead of UDP\n"
           "  --pci-cards N        cards of the PCI class, 0-16 (default 2)\n"
           "  --pcie-cards N       cards of the PCIe class, 0-16 (default 1)\n"
           "  --max-packet N       packet size the driver reports, 16-4096 (default 256)\n"
           "\n"
           "  --trace              log every datagram received and sent to stderr, in hex\n"
           "  --exit-with-parent   stop when the starting process ends\n"
           "\n"
           "Serial line (RTU framing with CRC-16 on a pseudo-terminal instead of UDP):\n"
           "  --serial             serve on a new pseudo-terminal; prints TAVRIX_COMn=DEVICE on\n"
           "                       stdout, the line that lets the library open it as COMn\n"
           "  --pty PATH           also make PATH a symbolic link to the device (implies --serial)\n"
           "  --com N              the n of the printed TAVRIX_COMn line, 1-1024 (default 1)\n"
           "  --station N          the controller's station address, 1-254 (default 1; frames\n"
           "                       for station 254 are always answered)\n"
           "  --baud N             the controller's baud (default 38400); frames sent by a host\n"
           "                       at another baud are not understood\n"
           "  --split-gap-ms N     send each reply in two parts N ms apart\n"
           "\n"
           "Fault injection (shares as 0.25 or 25%; the same seed repeats the same faults):\n"
           "  --seed N             seed of the fault choices (default 1)\n"
           "  --drop-requests P    ignore a share of received frames\n"
           "  --drop-replies P     handle a share of requests but send no reply\n"
           "  --duplicate P        send a share of replies twice\n"
           "  --reorder P          hold a share of replies back until after the next reply\n"
           "  --corrupt P          flip bits of one byte in a share of replies\n"
           "  --noise P            send a noise datagram (random bytes or a stale reply) before a share of replies\n"
           "  --drop-probes P      leave a share of discovery probes unanswered (the other\n"
           "                       faults touch frames only)\n"
           "  --delay-ms N         delay every reply by N ms\n"
           "  --jitter-ms N        add a random 0..N ms to each delay\n"
           "  --silent             receive everything, answer nothing\n"
           "\n"
           "Stops on SIGINT or SIGTERM.\n";
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
