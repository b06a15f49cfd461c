// Who may use the operator panel: a request must carry the panel's secret
// token (printed in its URL), name the panel's own address in its Host
// header (a page of another site whose name was made to resolve to this
// address names its own), and, when a browser says where the request comes
// from, come from the panel's own page. Inputs must also be JSON, which a
// page of another site cannot send without the browser asking first.
#pragma once

#include <string>
#include <string_view>

namespace tvx::tool {

// What a request says about itself, as the checks need it.
struct RequestFacts {
    std::string_view method;
    std::string_view host;          // Host header ("" when missing)
    std::string_view origin;        // Origin header ("" when missing)
    std::string_view token;         // the token the request carries ("" when none)
    std::string_view contentType;   // Content-Type header
    std::string_view localAddress;  // the address the connection arrived at
    bool input = false;             // a request that sends input to the controller
};

enum class Refusal { none, method, host, origin, token, contentType };

class PanelAccess {
public:
    // `listenHost` and `port` as the panel was told to listen; `token` the secret.
    PanelAccess(std::string listenHost, int port, std::string token);

    // A new secret: 128 random bits as 32 lowercase hex digits.
    static std::string newToken();

    const std::string& token() const { return token_; }
    Refusal check(const RequestFacts& r) const;

    bool hostAllowed(std::string_view host, std::string_view localAddress) const;

private:
    bool hostIs(std::string_view host, std::string_view name) const;

    std::string listenHost_;
    int port_;
    std::string token_;
};

// The HTTP status and one-line text a refusal is answered with.
int refusalStatus(Refusal r);
const char* refusalText(Refusal r);

}  // namespace tvx::tool
