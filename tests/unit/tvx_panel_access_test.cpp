// Who may use the operator panel: token, Host, Origin and input form.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tvx/panel_access.h"

namespace tvx::tool {
namespace {

const std::string kToken = "0123456789abcdef0123456789abcdef";

RequestFacts good(std::string_view host = "127.0.0.1:8080") {
    RequestFacts r;
    r.method = "POST";
    r.host = host;
    r.origin = "";
    r.token = kToken;
    r.contentType = "application/json";
    r.localAddress = "127.0.0.1";
    r.input = true;
    return r;
}

TEST(TvxPanelAccess, RequestsAreCheckedBeforeAnythingElse) {
    const PanelAccess loopback("127.0.0.1", 8080, kToken);
    struct Case {
        const char* what;
        RequestFacts facts;
        Refusal expected;
    };
    auto with = [](auto change) {
        RequestFacts r = good();
        change(r);
        return r;
    };
    const Case cases[] = {
        {"the panel's own page", with([](RequestFacts& r) { r.origin = "http://127.0.0.1:8080"; }), Refusal::none},
        {"no Origin (not a cross-site browser request)", good(), Refusal::none},
        {"localhost names this machine", with([](RequestFacts& r) { r.host = "LOCALHOST:8080"; r.origin = "http://localhost:8080"; }),
         Refusal::none},
        {"rebound name", with([](RequestFacts& r) { r.host = "evil.example:8080"; }), Refusal::host},
        {"rebound name, own origin", with([](RequestFacts& r) { r.host = "evil.example:8080"; r.origin = "http://evil.example:8080"; }),
         Refusal::host},
        {"other port", with([](RequestFacts& r) { r.host = "127.0.0.1:8081"; }), Refusal::host},
        {"no Host", with([](RequestFacts& r) { r.host = ""; }), Refusal::host},
        {"another site", with([](RequestFacts& r) { r.origin = "http://evil.example"; }), Refusal::origin},
        {"sandboxed frame", with([](RequestFacts& r) { r.origin = "null"; }), Refusal::origin},
        {"same host, https", with([](RequestFacts& r) { r.origin = "https://127.0.0.1:8080"; }), Refusal::origin},
        {"no token", with([](RequestFacts& r) { r.token = ""; }), Refusal::token},
        {"token cut short", with([](RequestFacts& r) { r.token = std::string_view(kToken).substr(0, 31); }), Refusal::token},
        {"token with more", with([](RequestFacts& r) { r.token = "0123456789abcdef0123456789abcdef0"; }), Refusal::token},
        {"form post", with([](RequestFacts& r) { r.contentType = "application/x-www-form-urlencoded"; }), Refusal::contentType},
        {"text/plain fetch", with([](RequestFacts& r) { r.contentType = "text/plain;charset=UTF-8"; }), Refusal::contentType},
        {"no content type", with([](RequestFacts& r) { r.contentType = ""; }), Refusal::contentType},
        {"JSON with charset", with([](RequestFacts& r) { r.contentType = "application/json; charset=utf-8"; }), Refusal::none},
        {"a screen read needs no JSON", with([](RequestFacts& r) { r.input = false; r.method = "GET"; r.contentType = ""; }),
         Refusal::none},
        {"preflight", with([](RequestFacts& r) { r.method = "OPTIONS"; }), Refusal::method},
        {"PUT", with([](RequestFacts& r) { r.method = "PUT"; }), Refusal::method},
    };
    for (const Case& c : cases) EXPECT_EQ(loopback.check(c.facts), c.expected) << c.what;
}

TEST(TvxPanelAccess, ListeningEverywhereAcceptsTheAddressTheConnectionCameIn) {
    const PanelAccess everywhere("0.0.0.0", 8080, kToken);
    EXPECT_TRUE(everywhere.hostAllowed("192.168.1.5:8080", "192.168.1.5"));
    EXPECT_FALSE(everywhere.hostAllowed("0.0.0.0:8080", "192.168.1.5"));
    EXPECT_FALSE(everywhere.hostAllowed("localhost:8080", "192.168.1.5"));
    EXPECT_FALSE(everywhere.hostAllowed("evil.example:8080", "192.168.1.5"));

    const PanelAccess named("panel.lan", 80, kToken);
    EXPECT_TRUE(named.hostAllowed("panel.lan", "10.0.0.2"));  // default port left out
    EXPECT_TRUE(named.hostAllowed("panel.lan:80", "10.0.0.2"));

    const PanelAccess v6("::1", 8080, kToken);
    EXPECT_TRUE(v6.hostAllowed("[::1]:8080", "::1"));
    EXPECT_FALSE(v6.hostAllowed("::1:8080", "::1"));
}

TEST(TvxPanelAccess, TokensAreLongRandomHex) {
    std::set<std::string> seen;
    for (int i = 0; i < 16; ++i) {
        const std::string t = PanelAccess::newToken();
        EXPECT_EQ(t.size(), 32u);
        EXPECT_EQ(t.find_first_not_of("0123456789abcdef"), std::string::npos) << t;
        seen.insert(t);
    }
    EXPECT_EQ(seen.size(), 16u);
}

}  // namespace
}  // namespace tvx::tool
