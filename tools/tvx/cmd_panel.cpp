// tvx panel: the controller's screen in a browser, operated by mouse and
// keyboard.
#include <csignal>
#include <pthread.h>
#include <string>

#include "args.h"
#include "command.h"
#include "options.h"
#include "panel_server.h"
#include "panel_state.h"
#include "session.h"

namespace tvx::tool {
namespace {

constexpr uint32_t kRefreshMs = 100;
constexpr uint32_t kBudgetMs = 1000;

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
             "its changed regions; clicks on it are sent as touches, key presses as keys,\n"
             "in order, and an input not sent within a second is dropped. The page says\n"
             "when the controller stops answering. Prints the page's URL with a secret\n"
             "token made for this run; requests without it are refused.\n"
             "Listens on 127.0.0.1:8080 unless --listen says otherwise; an address other\n"
             "than a loopback one also needs --allow-remote (anyone who has the URL may\n"
             "operate the controller).\n"
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
    // A live view must notice a silent controller at once, and an input not
    // sent within a second is dropped anyway: a short transaction budget on
    // Ethernet unless --timeout says otherwise (serial links keep theirs).
    uint32_t serialPort = 0;
    if (inv.global.timeoutMs == 0 && !parseSerialAddress(s.address(), &serialPort))
        TVX_SetTimeOut(s.handle(), kBudgetMs);
    PanelState panel(s.handle(), static_cast<uint32_t>(screen));
    if (const int32_t r = panel.start(kRefreshMs); r != TVX_OK) return reportFailure("panel " + s.address(), r);
    const int e = servePanel(panel, {host, port, s.address()}, stopSignals);
    panel.stop();
    return e;
}

}  // namespace
}  // namespace tvx::tool
