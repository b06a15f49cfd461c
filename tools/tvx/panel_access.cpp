#include "panel_access.h"

#include <algorithm>
#include <cctype>
#include <random>

namespace tvx::tool {
namespace {

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Compares the whole of both texts whatever they hold, so that the time
// taken says nothing about how much of a guessed token was right.
bool sameSecret(std::string_view given, std::string_view secret) {
    unsigned diff = given.size() == secret.size() ? 0u : 1u;
    for (size_t i = 0; i < secret.size(); ++i)
        diff |= static_cast<unsigned char>(secret[i]) ^ static_cast<unsigned char>(i < given.size() ? given[i] : 0);
    return diff == 0 && !secret.empty();
}

bool isLoopbackName(std::string_view h) { return h == "localhost" || h.rfind("127.", 0) == 0 || h == "::1"; }

}  // namespace

PanelAccess::PanelAccess(std::string listenHost, int port, std::string token)
    : listenHost_(std::move(listenHost)), port_(port), token_(std::move(token)) {}

std::string PanelAccess::newToken() {
    std::random_device random;
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < 4; ++i) {
        const uint32_t v = random();
        for (int nibble = 0; nibble < 8; ++nibble) out.push_back(kHex[(v >> (4 * nibble)) & 15]);
    }
    return out;
}

bool PanelAccess::hostIs(std::string_view host, std::string_view name) const {
    if (name.empty()) return false;
    std::string bare;
    const bool v6 = name.find(':') != std::string_view::npos;
    if (v6) bare.push_back('[');
    bare.append(name);
    if (v6) bare.push_back(']');
    if (port_ == 80 && equalNoCase(host, bare)) return true;  // browsers leave out the default port
    bare.push_back(':');
    bare.append(std::to_string(port_));
    return equalNoCase(host, bare);
}

bool PanelAccess::hostAllowed(std::string_view host, std::string_view localAddress) const {
    const bool wildcard = listenHost_ == "0.0.0.0" || listenHost_ == "::" || listenHost_.empty();
    if (!wildcard && hostIs(host, listenHost_)) return true;
    // Listening on every address: the one this connection came in on.
    if (hostIs(host, localAddress)) return true;
    // A name that always means this machine, never a stranger's site.
    return (isLoopbackName(listenHost_) || isLoopbackName(localAddress)) && hostIs(host, "localhost");
}

Refusal PanelAccess::check(const RequestFacts& r) const {
    if (r.method != "GET" && r.method != "POST" && r.method != "HEAD") return Refusal::method;
    if (!hostAllowed(r.host, r.localAddress)) return Refusal::host;
    // Browsers name the page a request comes from; only the panel's own is
    // welcome (its origin is this very host). No Origin: not sent by a page
    // of another site (browsers add it to every cross-site POST).
    if (!r.origin.empty() && !equalNoCase(r.origin, "http://" + std::string(r.host))) return Refusal::origin;
    if (!sameSecret(r.token, token_)) return Refusal::token;
    if (r.input) {
        std::string_view type = r.contentType.substr(0, r.contentType.find(';'));
        while (!type.empty() && type.back() == ' ') type.remove_suffix(1);
        if (!equalNoCase(type, "application/json")) return Refusal::contentType;
    }
    return Refusal::none;
}

int refusalStatus(Refusal r) {
    switch (r) {
        case Refusal::none: return 200;
        case Refusal::method: return 405;
        case Refusal::contentType: return 415;
        default: return 403;
    }
}

const char* refusalText(Refusal r) {
    switch (r) {
        case Refusal::none: return "";
        case Refusal::method: return "method not allowed";
        case Refusal::host: return "unknown Host: open the address tvx panel printed";
        case Refusal::origin: return "request from another site refused";
        case Refusal::token: return "missing or wrong token: open the URL tvx panel printed, with its token";
        case Refusal::contentType: return "inputs must be sent as application/json";
    }
    return "";
}

}  // namespace tvx::tool
