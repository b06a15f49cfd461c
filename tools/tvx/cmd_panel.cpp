// tvx panel: the controller's screen in a browser, operated by mouse and
// keyboard.
#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <string>
#include <thread>

#include "args.h"
#include "command.h"
#include "options.h"
#include "panel_page.h"
#include "panel_state.h"
#include "session.h"

namespace tvx::tool {
namespace {

constexpr uint32_t kRefreshMs = 100;

int runPanel(const Invocation& inv);

bool splitListen(std::string_view text, std::string* host, int* port);

std::string g_host = "127.0.0.1";
int g_port = 8080;
bool g_allowRemote = false;
uint64_t g_screen = 0;

void declarePanel(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    app.add_option_function<std::string>(
           "--listen",
           [](const std::string& text) {
               if (!splitListen(text, &g_host, &g_port)) throw BadValue("--listen needs HOST:PORT");
           },
           "where the page is served (default 127.0.0.1:8080)")
        ->type_name("HOST:PORT")
        ->group(kPlainKind);
    addFlag(app, "--allow-remote", &g_allowRemote, "allow an address other than a loopback one (the page has no login)");
    addNumber(app, "--screen", &g_screen, 0, 255, "N", "the controller's screen (default 0)",
              "--screen needs a number from 0 to 255");
}

TVX_COMMAND({"panel", "operate a controller's LCD screen from a browser",
             "Serves a page showing the controller's screen N (default 0), refreshed from\n"
             "its changed regions; clicks on it are sent as touches, key presses as keys.\n"
             "Listens on 127.0.0.1:8080 unless --listen says otherwise; an address other\n"
             "than a loopback one also needs --allow-remote (the page has no login).\n"
             "Stops on Ctrl-C or SIGTERM.\n"
             "Example: tvx panel 127.0.0.21 --listen 127.0.0.1:8081\n",
             false, declarePanel, runPanel});

bool splitListen(std::string_view text, std::string* host, int* port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    uint64_t p = 0;
    if (!parseUnsigned(text.substr(colon + 1), 65535, &p) || p == 0) return false;
    *host = std::string(text.substr(0, colon));
    *port = static_cast<int>(p);
    return true;
}

bool isLoopback(const std::string& host) { return host == "localhost" || host.rfind("127.", 0) == 0 || host == "::1"; }

bool numberParam(const httplib::Request& req, const char* name, uint64_t max, uint64_t* out) {
    return req.has_param(name) && parseUnsigned(req.get_param_value(name), max, out);
}

int runPanel(const Invocation& inv) {
    const Command& cmd = *findCommand("panel");
    const std::string& host = g_host;
    const int port = g_port;
    const bool allowRemote = g_allowRemote;
    const uint64_t screen = g_screen;
    if (!isLoopback(host) && !allowRemote)
        return usageError(cmd, "listening on " + host + " lets other machines operate the controller: add --allow-remote");

    // Ctrl-C and SIGTERM stop the server from a thread of their own.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Session s;
    if (const int e = s.open(cmd, inv.args[0], inv.global); e != kExitOk) return e;
    PanelState panel(s.handle(), static_cast<uint32_t>(screen));
    if (const int32_t r = panel.start(kRefreshMs); r != TVX_OK) return reportFailure("panel " + s.address(), r);

    httplib::Server server;
    server.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_content(kPanelPage, "text/html"); });
    server.Get("/api/info", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content("{\"width\":" + std::to_string(panel.width()) + ",\"height\":" + std::to_string(panel.height()) +
                            ",\"result\":" + std::to_string(panel.lastResult()) + "}",
                        "application/json");
    });
    server.Get("/api/frame", [&](const httplib::Request& req, httplib::Response& res) {
        uint64_t since = 0;
        if (req.has_param("since") && !numberParam(req, "since", UINT32_MAX, &since)) {
            res.status = 400;
            return;
        }
        res.set_header("Cache-Control", "no-store");
        res.set_content(panel.updateSince(static_cast<uint32_t>(since)), "application/octet-stream");
    });
    auto answer = [](httplib::Response& res, int32_t r) {
        res.status = r == TVX_OK ? 200 : 502;
        res.set_content(std::to_string(r), "text/plain");
    };
    server.Post("/api/touch", [&](const httplib::Request& req, httplib::Response& res) {
        uint64_t x = 0, y = 0;
        if (!numberParam(req, "x", 65535, &x) || !numberParam(req, "y", 65535, &y)) return answer(res, TVX_ERR_BAD_ARGUMENT);
        answer(res, panel.touch(static_cast<uint32_t>(x), static_cast<uint32_t>(y)));
    });
    server.Post("/api/key", [&](const httplib::Request& req, httplib::Response& res) {
        uint64_t key = 0, state = 0;
        if (!numberParam(req, "key", 65535, &key) || !numberParam(req, "state", 255, &state))
            return answer(res, TVX_ERR_BAD_ARGUMENT);
        answer(res, panel.key(static_cast<uint16_t>(key), static_cast<int32_t>(state)));
    });

    if (!server.bind_to_port(host.c_str(), port)) {
        std::fprintf(stderr, "tvx panel: cannot listen on %s:%d\n", host.c_str(), port);
        return kExitFailure;
    }
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    });
    std::printf("tvx panel: http://%s:%d/ shows %s (Ctrl-C stops)\n", host.c_str(), port, s.address().c_str());
    std::fflush(stdout);
    server.listen_after_bind();
    // listen ended by a signal: the stopper has returned. Ended otherwise:
    // wake the stopper with a signal of our own.
    if (stopper.joinable()) {
        pthread_kill(stopper.native_handle(), SIGTERM);
        stopper.join();
    }
    panel.stop();
    return kExitOk;
}

}  // namespace
}  // namespace tvx::tool
