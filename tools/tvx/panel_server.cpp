#include "panel_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <thread>

#include "args.h"
#include "command.h"
#include "panel_access.h"
#include "panel_inputs.h"
#include "panel_page.h"

namespace tvx::tool {
namespace {

using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// An input older than this (counted from when the page made it) is not
// sent any more.
constexpr auto kInputLifetime = 1000ms;
// Request bodies are small JSON texts.
constexpr size_t kPayloadLimit = 16 * 1024;
// The whole request head and body must arrive within this time of its first
// byte, and come to no more than this many bytes; the response must be
// taken by the client within its own time.
constexpr auto kRequestReadTime = 3s;
constexpr size_t kRequestBytes = 64 * 1024 + kPayloadLimit;
constexpr auto kResponseWriteTime = 5s;
// ... plus a second for every this many bytes, so that a whole screen still
// reaches a page on a slow link while a client that stops reading is cut off.
constexpr size_t kWriteBytesPerSecond = 64 * 1024;
// An idle kept-alive connection is closed after this; a connection serves
// at most this many requests.
constexpr auto kKeepAliveIdle = 5s;
constexpr size_t kKeepAliveRequests = 1000;
// Each connection holds a worker while it is open: enough of them that a
// few slow or idle clients leave the page's own requests room.
constexpr size_t kWorkers = 32;

// A refresh pass that has waited this long for the controller makes the
// screen shown stale, before the pass itself gives up.
constexpr int64_t kOverdueMs = 1000;

const char* const kTokenHeader = "X-Panel-Token";
const char* const kEpochHeader = "X-Panel-Epoch";

// A connection's stream whose reads and writes end at a deadline for the
// whole request and the whole response, not at a timeout per read: a client
// that trickles a byte now and then cannot hold a worker for long.
class DeadlineStream final : public httplib::Stream {
public:
    explicit DeadlineStream(socket_t sock) : sock_(sock) {}

    // Waits up to `idle` for the next request to begin; false when none
    // comes, the peer left or `stopping` says so.
    template <class Stopping>
    bool awaitRequest(SteadyClock::duration idle, Stopping stopping) {
        const auto end = SteadyClock::now() + idle;
        while (!stopping()) {
            const auto left = end - SteadyClock::now();
            if (left <= SteadyClock::duration::zero()) return false;
            if (poll1(POLLIN, std::min<SteadyClock::duration>(left, 100ms)) > 0) return true;
        }
        return false;
    }

    void startRequest() {
        readDeadline_ = SteadyClock::now() + kRequestReadTime;
        readBytes_ = 0;
        writing_ = false;
        cutOff_ = false;
    }
    // The request ran out of time or bytes: its connection is not kept
    // (the library answers 400 and would read the rest as a new request).
    bool cutOff() const { return cutOff_; }

    bool is_readable() const override { return waitUntil(POLLIN, readDeadline_); }
    bool is_writable() const override { return waitUntil(POLLOUT, SteadyClock::now() + kResponseWriteTime); }

    ssize_t read(char* ptr, size_t size) override {
        if (readBytes_ >= kRequestBytes) return cutOff_ = true, -1;
        size = std::min(size, kRequestBytes - readBytes_);
        for (;;) {
            if (!waitUntil(POLLIN, readDeadline_)) return cutOff_ = true, -1;
            const ssize_t n = ::recv(sock_, ptr, size, MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
            if (n > 0) readBytes_ += static_cast<size_t>(n);
            return n;
        }
    }

    ssize_t write(const char* ptr, size_t size) override {
        if (!writing_) {
            writing_ = true;
            writeStart_ = SteadyClock::now();
            written_ = 0;
        }
        for (;;) {
            const auto deadline = writeStart_ + kResponseWriteTime +
                                  std::chrono::milliseconds(written_ * 1000 / kWriteBytesPerSecond);
            if (!waitUntil(POLLOUT, deadline)) return -1;
            // MSG_NOSIGNAL: a client that went away must not end tvx with SIGPIPE.
            const ssize_t n = ::send(sock_, ptr, size, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
            if (n > 0) written_ += static_cast<size_t>(n);
            return n;
        }
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override { address(&getpeername, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { address(&getsockname, ip, port); }
    socket_t socket() const override { return sock_; }

private:
    int poll1(short events, SteadyClock::duration wait) const {
        pollfd p{sock_, events, 0};
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wait).count();
        return ::poll(&p, 1, static_cast<int>(std::max<int64_t>(ms, 0)));
    }

    bool waitUntil(short events, SteadyClock::time_point deadline) const {
        for (;;) {
            const auto left = deadline - SteadyClock::now();
            if (left <= SteadyClock::duration::zero()) return false;
            const int r = poll1(events, left + 1ms);
            if (r > 0) return true;
            if (r < 0 && errno != EINTR) return false;
        }
    }

    void address(int (*get)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const {
        sockaddr_storage a{};
        socklen_t len = sizeof(a);
        ip.clear();
        port = -1;
        if (get(sock_, reinterpret_cast<sockaddr*>(&a), &len) != 0) return;
        char text[INET6_ADDRSTRLEN] = {};
        if (a.ss_family == AF_INET) {
            const auto* v4 = reinterpret_cast<const sockaddr_in*>(&a);
            inet_ntop(AF_INET, &v4->sin_addr, text, sizeof(text));
            port = ntohs(v4->sin_port);
        } else if (a.ss_family == AF_INET6) {
            const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&a);
            inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof(text));
            port = ntohs(v6->sin6_port);
        }
        ip = text;
    }

    socket_t sock_;
    SteadyClock::time_point readDeadline_{};
    SteadyClock::time_point writeStart_{};
    size_t written_ = 0;
    size_t readBytes_ = 0;
    bool writing_ = false;
    bool cutOff_ = false;
};

// cpp-httplib's server with each connection served through a
// DeadlineStream (the library's own stream times each read on its own).
class BoundedServer final : public httplib::Server {
private:
    bool process_and_close_socket(socket_t sock) override {
        DeadlineStream stream(sock);
        bool ok = false;
        for (size_t left = kKeepAliveRequests; left > 0; --left) {
            if (!stream.awaitRequest(kKeepAliveIdle, [this] { return svr_sock_ == INVALID_SOCKET; })) break;
            stream.startRequest();
            bool closed = false;
            ok = process_request(stream, left == 1, closed, nullptr);
            if (!ok || closed || stream.cutOff()) break;
        }
        ::shutdown(sock, SHUT_RDWR);
        ::close(sock);
        return ok;
    }
};

// An IPv6 address is written in brackets in a URL.
std::string urlHost(const std::string& host) { return host.find(':') != std::string::npos ? "[" + host + "]" : host; }

void answerJson(httplib::Response& res, int status, const nlohmann::json& body) {
    res.status = status;
    res.set_content(body.dump(), "application/json");
}

// Reads an input from the page's JSON; false (with a reason) when malformed.
bool parseInput(const std::string& body, std::string* page, uint64_t* seq, double* age, PanelInput* input,
                std::string* why) {
    const nlohmann::json j = nlohmann::json::parse(body, nullptr, false);
    if (j.is_discarded() || !j.is_object()) return *why = "not a JSON object", false;
    auto text = [&](const char* k) { return j.contains(k) && j[k].is_string(); };
    auto number = [&](const char* k) { return j.contains(k) && j[k].is_number(); };
    auto whole = [&](const char* k, uint64_t max, uint64_t* out) {
        if (!j.contains(k) || !j[k].is_number_unsigned() || j[k].get<uint64_t>() > max) return false;
        *out = j[k].get<uint64_t>();
        return true;
    };
    if (!text("page") || j["page"].get<std::string>().empty() || j["page"].get<std::string>().size() > 64)
        return *why = "page must be a text of 1 to 64 characters", false;
    *page = j["page"].get<std::string>();
    if (!whole("seq", UINT64_MAX, seq) || *seq == 0) return *why = "seq must be a whole number from 1", false;
    if (!number("made") || !number("sent")) return *why = "made and sent must be times in milliseconds", false;
    *age = j["sent"].get<double>() - j["made"].get<double>();
    if (!text("kind")) return *why = "kind must be touch or key", false;
    const std::string kind = j["kind"].get<std::string>();
    uint64_t a = 0, b = 0;
    if (kind == "touch") {
        if (!whole("x", 65535, &a) || !whole("y", 65535, &b)) return *why = "a touch needs x and y", false;
        input->kind = PanelInput::Kind::touch;
        input->x = static_cast<uint32_t>(a);
        input->y = static_cast<uint32_t>(b);
    } else if (kind == "key") {
        if (!whole("key", 65535, &a) || !whole("state", 1, &b)) return *why = "a key needs key and state (0 or 1)", false;
        input->kind = PanelInput::Kind::key;
        input->key = static_cast<uint16_t>(a);
        input->state = static_cast<int32_t>(b);
    } else {
        return *why = "kind must be touch or key", false;
    }
    return true;
}

const char* outcomeText(InputOutcome o) {
    switch (o) {
        case InputOutcome::delivered: return "delivered";
        case InputOutcome::failed: return "failed";
        case InputOutcome::late: return "late";
        case InputOutcome::outOfOrder: return "out of order";
        case InputOutcome::stopped: return "stopped";
    }
    return "";
}

int outcomeStatus(InputOutcome o) {
    switch (o) {
        case InputOutcome::delivered: return 200;
        case InputOutcome::failed: return 502;
        case InputOutcome::late: return 504;
        case InputOutcome::outOfOrder: return 409;
        case InputOutcome::stopped: return 503;
    }
    return 500;
}

}  // namespace

int servePanel(PanelState& panel, const PanelServeOptions& options, const sigset_t& stopSignals) {
    const PanelAccess access(options.host, options.port, PanelAccess::newToken());
    PanelInputs inputs([&panel](const PanelInput& in) {
        return in.kind == PanelInput::Kind::touch ? panel.touch(in.x, in.y) : panel.key(in.key, in.state);
    });

    BoundedServer server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    server.set_payload_max_length(kPayloadLimit);
    server.set_default_headers({{"Cache-Control", "no-store"},
                                {"X-Content-Type-Options", "nosniff"},
                                {"X-Frame-Options", "DENY"},
                                {"Referrer-Policy", "no-referrer"}});

    // Every request passes the access checks before any route (and before
    // its body is read); no answer carries a CORS header.
    server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
        const std::string host = req.get_header_value("Host");
        const std::string origin = req.get_header_value("Origin");
        const std::string token = req.path == "/" ? req.get_param_value("token") : req.get_header_value(kTokenHeader);
        const std::string type = req.get_header_value("Content-Type");
        RequestFacts facts;
        facts.method = req.method;
        facts.host = host;
        facts.origin = origin;
        facts.token = token;
        facts.contentType = type;
        facts.localAddress = req.local_addr;
        facts.input = req.method == "POST";
        const Refusal r = access.check(facts);
        if (r == Refusal::none) return httplib::Server::HandlerResponse::Unhandled;
        res.status = refusalStatus(r);
        res.set_header("Connection", "close");
        res.set_content(std::string(refusalText(r)) + "\n", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
    });

    server.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Content-Security-Policy",
                       "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                       "connect-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'");
        res.set_content(kPanelPage, "text/html; charset=utf-8");
    });
    server.Get("/api/info", [&](const httplib::Request&, httplib::Response& res) {
        answerJson(res, 200,
                   {{"width", panel.width()},
                    {"height", panel.height()},
                    {"epoch", panel.epoch()},
                    {"result", panel.currentResult(kOverdueMs)},
                    {"lastAnswer", panel.lastAnswerMs()}});
    });
    server.Get("/api/frame", [&](const httplib::Request& req, httplib::Response& res) {
        uint64_t since = 0, epoch = 0;
        if ((req.has_param("since") && !parseUnsigned(req.get_param_value("since"), UINT32_MAX, &since)) ||
            (req.has_param("epoch") && !parseUnsigned(req.get_param_value("epoch"), UINT32_MAX, &epoch))) {
            res.status = 400;
            return;
        }
        // The controller does not answer: say so, and since when, rather
        // than show the last screen as if it were current.
        if (const int32_t r = panel.currentResult(kOverdueMs); r != TVX_OK)
            return answerJson(res, 503, {{"result", r}, {"lastAnswer", panel.lastAnswerMs()}});
        res.set_header(kEpochHeader, std::to_string(panel.epoch()));
        res.set_content(panel.updateSince(static_cast<uint32_t>(epoch), static_cast<uint32_t>(since)),
                        "application/octet-stream");
    });
    server.Post("/api/input", [&](const httplib::Request& req, httplib::Response& res) {
        const auto arrived = SteadyClock::now();
        std::string page, why;
        uint64_t seq = 0;
        double age = 0;
        PanelInput input;
        if (!parseInput(req.body, &page, &seq, &age, &input, &why)) return answerJson(res, 400, {{"error", why}});
        // The page's clock times the input up to its sending (the page's
        // and this machine's clocks need not agree); its deadline counts
        // from when the page made it.
        const auto lifetime = std::chrono::duration_cast<SteadyClock::duration>(kInputLifetime);
        const auto spent = std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double, std::milli>(age));
        const auto deadline = age < 0 || spent >= lifetime ? arrived : arrived + (lifetime - spent);
        const InputResult r = inputs.submit(page, seq, deadline, input);
        answerJson(res, outcomeStatus(r.outcome), {{"seq", seq}, {"outcome", outcomeText(r.outcome)}, {"result", r.code}});
    });

    if (!server.bind_to_port(options.host.c_str(), options.port)) {
        std::fprintf(stderr, "tvx panel: cannot listen on %s:%d\n", options.host.c_str(), options.port);
        return kExitFailure;
    }
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        inputs.stop();
        server.stop();
    });
    std::printf("tvx panel: http://%s:%d/?token=%s shows %s (Ctrl-C stops)\n", urlHost(options.host).c_str(),
                options.port, access.token().c_str(), options.controller.c_str());
    std::fflush(stdout);
    server.listen_after_bind();
    // listen ended by a signal: the stopper has returned. Ended otherwise:
    // wake the stopper with a signal of our own.
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    inputs.stop();
    return kExitOk;
}

}  // namespace tvx::tool
