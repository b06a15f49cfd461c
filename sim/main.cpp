// tavrix-sim: a simulated controller on a loopback UDP address.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>

#if defined(__linux__)
#include <sys/prctl.h>
#endif
#include <unistd.h>

#include "engine/controller.h"
#include "engine/display_service.h"
#include "packaging/archive_cipher.h"
#include "server/camera_png.h"
#include "server/model_settings.h"
#include "server/responder.h"
#include "server/sim_options.h"
#include "server/udp_server.h"

namespace {

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

}  // namespace

int main(int argc, char** argv) {
    using namespace tvx::sim;
    SimOptions options;
    std::string message;
    switch (parseSimArguments(argc, argv, &options, &message)) {
        case ParseOutcome::help:
            std::fputs(simUsage(), stdout);
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

    static Controller controller;  // large: kept off the stack
    ControllerModel& model = controller.model();
    model.ipText = options.address;
    // A MAC text that fits the 14-byte reply field and differs per address.
    char mac[16];
    std::snprintf(mac, sizeof mac, "0254565800%02X", static_cast<unsigned>(options.ip & 0xFF));
    model.macText = mac;
    if (!options.configFile.empty() && !loadSettingsFile(model, options.configFile, &message)) {
        std::fprintf(stderr, "tavrix-sim: %s\n", message.c_str());
        return 2;
    }
    for (const std::string& s : options.settings) {
        if (!applySettingText(model, s, &message)) {
            std::fprintf(stderr, "tavrix-sim: --set %s\n", message.c_str());
            return 2;
        }
    }

    TransferService& transfers = controller.transfers();
    if (!options.filesDirectory.empty() && !transfers.files().attachDirectory(options.filesDirectory)) {
        std::fprintf(stderr, "tavrix-sim: --files: cannot use directory '%s'\n", options.filesDirectory.c_str());
        return 2;
    }
    if (options.blockSize >= 0) {
        transfers.settings().largestBlock = static_cast<uint16_t>(options.blockSize);
        transfers.settings().uploadBlock = static_cast<uint16_t>(options.blockSize);
    }
    if (options.window >= 0) transfers.settings().window = static_cast<uint16_t>(options.window);

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
