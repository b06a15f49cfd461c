// tavrix-sim: a simulated controller on a loopback UDP address, or simulated
// PCI cards behind the stand-in card driver.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sys/prctl.h>
#endif
#include <unistd.h>

#include "engine/controller.h"
#include "engine/display_service.h"
#include "base/archive_cipher.h"
#include "server/camera_png.h"
#include "engine/pci_card.h"
#include "server/card_server.h"
#include "engine/serial_line_service.h"
#include "server/model_settings.h"
#include "server/responder.h"
#include "server/serial_server.h"
#include "server/sim_options.h"
#include "server/udp_server.h"

namespace {

using namespace tvx::sim;

std::atomic<int> stopRequested{0};
static_assert(std::atomic<int>::is_always_lock_free, "the stop flag is set from a signal handler");

void onStopSignal(int) { stopRequested = 1; }

void installStopHandlers() {
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: the wait returns at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

// Serves the controller on a pseudo-terminal until stopped.
int runSerial(tvx::sim::Controller& controller, const tvx::sim::SimOptions& options) {
    using namespace tvx::sim;
    if (auto* line = controller.service<SerialLineService>()) {
        if (options.station > 0) line->station = static_cast<uint8_t>(options.station);
        if (options.baud > 0) line->baud = static_cast<uint32_t>(options.baud);
    }
    SerialServer server(controller, options.faults, options.splitGapMs);
    if (options.trace)
        server.observeFrames([](bool received, const uint8_t* frame, size_t n) {
            std::fprintf(stderr, "%s\n", traceLine(received ? "rx" : "tx", Peer{}, frame, n).c_str());
        });
    std::string message;
    if (!server.open(options.ptyLink, &message)) {
        std::fprintf(stderr, "tavrix-sim: %s\n", message.c_str());
        return 1;
    }
    std::printf("TAVRIX_COM%u=%s\n", options.comNumber, server.devicePath().c_str());
    std::fflush(stdout);
    const SerialLineService* line = controller.service<SerialLineService>();
    std::fprintf(stderr, "tavrix-sim: serial line on %s%s%s (station %u, %u baud, %u axes)\n",
                 server.devicePath().c_str(), options.ptyLink.empty() ? "" : " linked as ",
                 options.ptyLink.c_str(), line ? line->station : 0u, line ? line->baud : 0u,
                 static_cast<unsigned>(controller.model().axisCount));
    std::fflush(stderr);
    server.run(stopRequested);
    server.close();
    const SerialStats& s = server.stats();
    std::fprintf(stderr,
                 "tavrix-sim: stopped; %llu bytes in, %llu frames, %llu replies (%llu for other stations, %llu at "
                 "another baud; faults: %llu requests dropped, %llu replies dropped, %llu corrupted, %llu noise, "
                 "%llu split)\n",
                 static_cast<unsigned long long>(s.bytesIn), static_cast<unsigned long long>(s.frames),
                 static_cast<unsigned long long>(s.replies), static_cast<unsigned long long>(s.otherStation),
                 static_cast<unsigned long long>(s.wrongBaud), static_cast<unsigned long long>(s.droppedRequests),
                 static_cast<unsigned long long>(s.droppedReplies), static_cast<unsigned long long>(s.corrupted),
                 static_cast<unsigned long long>(s.noise), static_cast<unsigned long long>(s.split));
    return 0;
}

bool exitWithParent() {
#if defined(__linux__)
    const pid_t parent = getppid();
    if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) return false;
    // The parent may have ended before the request took effect.
    return getppid() == parent;
#else
    return false;
#endif
}

// Applies the command line's controller settings; false with a message.
bool configureController(Controller& controller, const SimOptions& options, std::string* message) {
    ControllerModel& model = controller.model();
    model.ipText = options.address;
    // A MAC text that fits the 14-byte reply field and differs per address.
    char mac[16];
    std::snprintf(mac, sizeof mac, "0254565800%02X", static_cast<unsigned>(options.ip & 0xFF));
    model.macText = mac;
    if (!options.configFile.empty() && !loadSettingsFile(model, options.configFile, message)) return false;
    for (const std::string& s : options.settings) {
        if (!applySettingText(model, s, message)) {
            *message = "--set " + *message;
            return false;
        }
    }
    TransferService& transfers = controller.transfers();
    if (!options.filesDirectory.empty() && !transfers.files().attachDirectory(options.filesDirectory)) {
        *message = "--files: cannot use directory '" + options.filesDirectory + "'";
        return false;
    }
    if (options.storeMiB > 0) transfers.files().setCapacity(uint64_t{options.storeMiB} << 20);
    if (options.blockSize >= 0) {
        transfers.settings().largestBlock = static_cast<uint16_t>(options.blockSize);
        transfers.settings().uploadBlock = static_cast<uint16_t>(options.blockSize);
    }
    if (options.window >= 0) transfers.settings().window = static_cast<uint16_t>(options.window);
    return true;
}

void waitForStop() {
    while (!stopRequested.load()) usleep(100 * 1000);
}

// --pci: one simulated controller per card, the PCI class first; each card
// reports its place in the listing (from 1) as its client id's low word.
int servePciCards(const SimOptions& options) {
    const int total = options.pciCards + options.pcieCards;
    std::vector<std::unique_ptr<Controller>> controllers;
    std::vector<std::unique_ptr<PciCard>> cards;
    std::vector<PciCard*> byClass[2];
    std::string message;
    for (int i = 0; i < total; ++i) {
        controllers.push_back(std::make_unique<Controller>());
        Controller& c = *controllers.back();
        if (!configureController(c, options, &message)) {
            std::fprintf(stderr, "tavrix-sim: %s\n", message.c_str());
            return 2;
        }
        c.model().clientId = static_cast<int32_t>((static_cast<uint32_t>(c.model().clientId) & 0xFFFF0000u) |
                                                  static_cast<uint32_t>(i + 1));
        cards.push_back(std::make_unique<PciCard>(c, static_cast<uint16_t>(i), static_cast<uint16_t>(options.maxPacket)));
        byClass[i < options.pciCards ? 0 : 1].push_back(cards.back().get());
    }
    installStopHandlers();
    if (options.exitWithParent && !exitWithParent()) return 0;
    CardServer server(byClass[0], byClass[1]);
    if (!server.start(options.ip, options.port, &message)) {
        std::fprintf(stderr, "tavrix-sim: %s\n", message.c_str());
        return 1;
    }
    std::fprintf(stderr, "tavrix-sim: %d PCI and %d PCIe cards (packets of %d bytes) on TAVRIX_PCI_DRIVER=sim:%s:%u\n",
                 options.pciCards, options.pcieCards, options.maxPacket, options.address.c_str(), server.port());
    std::fflush(stderr);
    waitForStop();
    server.stop();
    std::fprintf(stderr, "tavrix-sim: stopped; %llu driver connections\n",
                 static_cast<unsigned long long>(server.connections()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tvx::sim;
    SimOptions options;
    std::string message;
    switch (parseSimArguments(argc, argv, &options, &message)) {
        case ParseOutcome::help:
            std::fputs(simUsage().c_str(), stdout);
            return 0;
        case ParseOutcome::manPage:
            std::fputs(simManPage(TVX_VERSION_TEXT).c_str(), stdout);
            return 0;
        case ParseOutcome::listSettings:
            std::fputs(settingsHelp(), stdout);
            return 0;
        case ParseOutcome::error:
            std::fprintf(stderr, "tavrix-sim: %s\n", message.c_str());
            return 2;
        case ParseOutcome::run:
            break;
    }

    // The archive checks read archives with the library's cipher, which is
    // made ready once per process (the shared library does it at load).
    if (tvx::initArchiveCipher() != 0) {
        std::fprintf(stderr, "tavrix-sim: the archive cipher could not be prepared\n");
        return 1;
    }
    if (options.pci) return servePciCards(options);

    static Controller controller;  // large: kept off the stack
    ControllerModel& model = controller.model();
    if (!configureController(controller, options, &message)) {
        std::fprintf(stderr, "tavrix-sim: %s\n", message.c_str());
        return 2;
    }

    for (const std::string& file : options.cameraFiles) {
        PixelImage picture;
        if (!loadCameraPng(file, &picture, &message)) {
            std::fprintf(stderr, "tavrix-sim: --camera %s: %s\n", file.c_str(), message.c_str());
            return 2;
        }
        const uint16_t number = controller.service<DisplayService>()->cameras().add(std::move(picture));
        std::fprintf(stderr, "tavrix-sim: camera image %u from %s\n", static_cast<unsigned>(number), file.c_str());
    }

    installStopHandlers();
    if (options.exitWithParent && !exitWithParent()) return 0;

    if (options.serial) return runSerial(controller, options);

    UdpServer server;
    std::string warning;
    if (!server.open(options.ip, options.port, options.broadcast, &message, &warning)) {
        std::fprintf(stderr, "tavrix-sim: %s\n", message.c_str());
        return 1;
    }
    if (!warning.empty()) std::fprintf(stderr, "tavrix-sim: warning: %s\n", warning.c_str());

    Responder::TraceSink trace;
    if (options.trace) trace = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    Responder responder(controller, options.faults, options.address, trace);

    std::fprintf(stderr, "tavrix-sim: listening on %s:%u (%u axes)\n", options.address.c_str(), options.port,
                 static_cast<unsigned>(model.axisCount));
    std::fflush(stderr);
    server.run(responder, stopRequested);

    const ResponderStats& s = responder.stats();
    std::fprintf(stderr,
                 "tavrix-sim: stopped; %llu datagrams in, %llu out (%llu probes, %llu frames; faults: %llu probes "
                 "dropped, %llu requests dropped, %llu replies dropped, %llu duplicated, %llu reordered, %llu "
                 "corrupted, %llu noise)\n",
                 static_cast<unsigned long long>(s.received), static_cast<unsigned long long>(s.sent),
                 static_cast<unsigned long long>(s.probes), static_cast<unsigned long long>(s.frames),
                 static_cast<unsigned long long>(s.droppedProbes), static_cast<unsigned long long>(s.droppedRequests), static_cast<unsigned long long>(s.droppedReplies),
                 static_cast<unsigned long long>(s.duplicated), static_cast<unsigned long long>(s.reordered),
                 static_cast<unsigned long long>(s.corrupted), static_cast<unsigned long long>(s.noise));
    return 0;
}
