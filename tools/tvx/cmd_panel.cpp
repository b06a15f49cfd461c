// tvx panel: the controller's screen in a browser, operated by mouse and
// keyboard.
#include <csignal>
#include <pthread.h>
#include <string>

#include "args.h"
#include "command.h"
#include "panel_server.h"
#include "panel_state.h"
#include "session.h"

namespace tvx::tool {
namespace {

constexpr uint32_t kRefreshMs = 100;
constexpr uint32_t kBudgetMs = 1000;

int runPanel(const Invocation& inv);

TVX_COMMAND({"panel", "ADDRESS [--listen HOST:PORT] [--allow-remote] [--screen N]",
             "operate a controller's LCD screen from a browser",
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
             runPanel});

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
    std::vector<std::string_view> plain;
    std::string host = "127.0.0.1";
    int port = 8080;
    bool allowRemote = false;
    uint64_t screen = 0;
    for (size_t i = 0; i < inv.args.size();) {
        std::string_view v;
        bool missing = false;
        if (takeOption(inv.args, i, "--listen", &v, &missing)) {
            if (missing || !splitListen(v, &host, &port)) return usageError(cmd, "--listen needs HOST:PORT");
        } else if (takeOption(inv.args, i, "--screen", &v, &missing)) {
            if (missing || !parseUnsigned(v, 255, &screen)) return usageError(cmd, "--screen needs a number from 0 to 255");
        } else if (inv.args[i] == "--allow-remote") {
            allowRemote = true;
            ++i;
        } else {
            plain.push_back(inv.args[i++]);
        }
    }
    if (plain.size() != 1) return usageError(cmd, "expected one controller ADDRESS");
    if (!isLoopback(host) && !allowRemote)
        return usageError(cmd, "listening on " + host + " lets other machines operate the controller: add --allow-remote");

    // Ctrl-C and SIGTERM stop the server from a thread of their own.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Session s;
    if (const int e = s.open(cmd, plain[0], inv.global); e != kExitOk) return e;
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
