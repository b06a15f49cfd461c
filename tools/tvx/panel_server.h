// The operator panel's web server: the page, the screen updates and the
// inputs, behind the access checks, with bounded request sizes and times.
#pragma once

#include <csignal>
#include <string>

#include "panel_state.h"

namespace tvx::tool {

struct PanelServeOptions {
    std::string host;        // the address to listen on
    int port = 8080;
    std::string controller;  // the controller's address, for the start line
};

// Serves `panel` until one of `stopSignals` arrives (they must be blocked in
// every thread already); prints the page's URL with its secret token first.
// The exit code.
int servePanel(PanelState& panel, const PanelServeOptions& options, const sigset_t& stopSignals);

}  // namespace tvx::tool
