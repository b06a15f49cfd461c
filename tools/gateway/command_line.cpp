#include "command_line.h"

#include "common/roff_text.h"

#include "config.h"

#ifndef TVX_TOOL_VERSION
#define TVX_TOOL_VERSION "unknown"
#endif

namespace tvx::gateway {
namespace {

using tool::roff;


}  // namespace

std::unique_ptr<CLI::App> makeCommandLine(CommandLine* v) {
    auto app = std::make_unique<CLI::App>(
        "Publishes the controllers of a configuration file on an MQTT broker and carries out the writes it "
        "allows.",
        "tavrix-gateway");
    app->add_option("-c,--config", v->config, "the configuration file (TOML)")->type_name("FILE");
    app->add_flag("--check", v->check, "check the configuration file, print a summary and exit");
    app->add_option("--metrics", v->metrics,
                    "serve the counters as Prometheus text on http://HOST:PORT/metrics (PORT alone: on 127.0.0.1)")
        ->type_name("HOST:PORT");
    app->set_version_flag("--version", std::string("tavrix-gateway ") + TVX_TOOL_VERSION);
    // Prints the manual page; the build runs it to make tavrix-gateway.1.
    app->add_flag("--man", v->man, "print the manual page in roff")->group("");
    app->footer("Exit status: 0 after SIGTERM or SIGINT (or a good --check), 1 when the gateway cannot start,\n"
                "2 for a bad command line or configuration file (one line names the key and line).");
    return app;
}

std::string manPage(const CLI::App& app) {
    std::string m;
    m += ".TH TAVRIX\\-GATEWAY 1 \"\" \"tavrix " TVX_TOOL_VERSION "\" \"User Commands\"\n";
    m += ".SH NAME\ntavrix\\-gateway \\- " + roff("every controller of a plant on an MQTT broker") + "\n";
    m += ".SH SYNOPSIS\n.B tavrix\\-gateway\n\\fB\\-\\-config\\fR \\fIFILE\\fR [\\fIOPTIONS\\fR]\n";
    m += ".SH DESCRIPTION\n" + roff(app.get_description()) + "\n";
    m += ".PP\nIt owns the links to a set of controllers, publishes what they say under a topic prefix, and takes "
         "writes back under an explicit allowlist. Several gateways with distinct client ids and disjoint "
         "controllers may share one broker.\n";
    m += ".SH OPTIONS\n";
    for (const CLI::Option* opt : app.get_options()) {
        if (opt->get_group().empty()) continue;  // hidden
        std::string names = opt->get_name(false, true);
        std::string type = opt->get_type_name();
        m += ".TP\n\\fB" + roff(names) + "\\fR";
        if (opt->get_expected_max() > 0 && !type.empty()) m += " \\fI" + roff(type) + "\\fR";
        m += "\n" + roff(opt->get_description()) + "\n";
    }
    m += R"MAN(.SH CONFIGURATION
A TOML file. Unknown keys are errors.
.PP
.B [broker]
\fBurl\fR (mqtt://HOST[:PORT] or mqtts://HOST[:PORT]),
\fBclient_id\fR (also the gateway's ID in topics),
\fBprefix\fR (default tavrix),
\fBusername\fR, \fBpassword_file\fR (its first line), \fBca_file\fR (TLS),
\fBkeepalive_s\fR (default 10).
.PP
.B [gateway]
\fBmetrics_interval_ms\fR (default 5000),
\fBmax_request_age_ms\fR (default 3000: older requests are refused),
\fBmetrics_listen\fR (as \-\-metrics).
.PP
.B [[controller]]
\fBname\fR, \fBaddress\fR (a.b.c.d, COMn or PCIn),
\fBwatch\fR (cycle\-upload items as tvx watch takes them), \fBcycle_ms\fR (default 100),
\fBtimeout_ms\fR (default the larger of 1000 and 4 cycles), \fBqos\fR of the values (default 0),
\fBwritable\fR (list of NAME or NAME(INDEX)), \fBexec\fR (default false),
and any number of \fB[[controller.poll]]\fR tables with \fBitems\fR and \fBperiod_ms\fR.
.SH TOPICS
Under PREFIX, for each controller NAME:
.TP
.B PREFIX/NAME/status
retained online or offline; the broker publishes offline when the gateway dies.
.TP
.B PREFIX/NAME/info
retained JSON, as tvx \-\-json info prints it.
.TP
.B PREFIX/NAME/values
{"t": ms since the epoch, "seq": blocks so far, "values": {"VR(0)": 1.5, ...}} per cycle.
.TP
.B PREFIX/NAME/polled
{"t": ..., "values": {...}} per poll period.
.TP
.B PREFIX/NAME/set/ITEM
a number (or {"value": N, "t": ms}) written to ITEM when it is writable.
.TP
.B PREFIX/NAME/exec
one command line (or {"command": "...", "t": ms}) run when exec is on.
.TP
.B PREFIX/NAME/result
one reply per request: {"topic", "code", "text", "answer"}.
.TP
.B PREFIX/gateway/ID/status, PREFIX/gateway/ID/metrics
the gateway's own status and retained counters.
.SH RESULT CODES
0 done; library result codes as tavrix.h names them; and the gateway's own:
30001 not writable, 30002 exec not allowed, 30003 malformed payload,
30004 too old (or retained), 30005 controller offline, 30006 too many waiting,
30007 the controller answered with an error, 30008 a topic that takes no request.
.SH SIGNALS
SIGTERM and SIGINT mark every controller offline, close the links and end the gateway.
)MAN";
    m += ".SH EXIT STATUS\n" + roff(app.get_footer().substr(app.get_footer().find(':') + 2)) + "\n";
    m += ".SH FILES\n/etc/tavrix/gateway.toml (the systemd unit's configuration)\n";
    m += ".SH SEE ALSO\n.BR tvx (1),\n.BR mosquitto (8)\n";
    return m;
}

}  // namespace tvx::gateway
