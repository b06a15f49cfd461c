#include "config.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <toml++/toml.h>

namespace tvx::gateway {
namespace {

// A failure with the line it points at; thrown only inside this file.
struct ConfigError {
    uint32_t line;
    std::string key;
    std::string what;
};

[[noreturn]] void fail(const toml::node& at, const std::string& key, const std::string& what) {
    throw ConfigError{at.source().begin.line, key, what};
}

bool isTopicWord(std::string_view s) {
    if (s.empty() || s.size() > 64) return false;
    for (char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
              c == '.'))
            return false;
    return true;
}

bool isControllerAddress(std::string_view a) {
    auto digitsFrom = [&](size_t at) {
        return at < a.size() && a.find_first_not_of("0123456789", at) == std::string_view::npos && a.size() - at <= 4;
    };
    auto prefixIs = [&](std::string_view p) {
        if (a.size() < p.size()) return false;
        for (size_t i = 0; i < p.size(); ++i)
            if ((a[i] & ~0x20) != p[i]) return false;
        return true;
    };
    if (prefixIs("COM")) return digitsFrom(3) && std::stoul(std::string(a.substr(3))) >= 1 && std::stoul(std::string(a.substr(3))) <= 1024;
    if (prefixIs("PCIE")) return digitsFrom(4);
    if (prefixIs("PCI")) return digitsFrom(3);
    int parts = 0;
    size_t at = 0;
    while (true) {
        const size_t dot = a.find('.', at);
        const std::string_view part = a.substr(at, dot == std::string_view::npos ? std::string_view::npos : dot - at);
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string_view::npos ||
            std::stoi(std::string(part)) > 255)
            return false;
        ++parts;
        if (dot == std::string_view::npos) break;
        at = dot + 1;
    }
    return parts == 4;
}

// Keys a table may hold; any other key is a mistake worth a line (a typo
// would otherwise silently fall back to a default).
void onlyKeys(const toml::table& t, const std::string& where, std::initializer_list<std::string_view> keys) {
    for (auto&& [k, v] : t) {
        bool known = false;
        for (std::string_view allowed : keys) known = known || k.str() == allowed;
        if (!known) fail(v, where.empty() ? std::string(k.str()) : where + "." + std::string(k.str()), "unknown key");
    }
}

std::string text(const toml::table& t, const std::string& where, std::string_view key, bool required,
                 std::string fallback = {}) {
    const toml::node* n = t.get(key);
    const std::string name = where + "." + std::string(key);
    if (!n) {
        if (required) fail(t, name, "missing");
        return fallback;
    }
    if (!n->is_string()) fail(*n, name, "must be a string");
    return n->as_string()->get();
}

int64_t number(const toml::table& t, const std::string& where, std::string_view key, int64_t fallback, int64_t min,
               int64_t max) {
    const toml::node* n = t.get(key);
    if (!n) return fallback;
    const std::string name = where + "." + std::string(key);
    if (!n->is_integer()) fail(*n, name, "must be a whole number");
    const int64_t v = n->as_integer()->get();
    if (v < min || v > max) fail(*n, name, "must be " + std::to_string(min) + " to " + std::to_string(max));
    return v;
}

bool flag(const toml::table& t, const std::string& where, std::string_view key, bool fallback) {
    const toml::node* n = t.get(key);
    if (!n) return fallback;
    if (!n->is_boolean()) fail(*n, where + "." + std::string(key), "must be true or false");
    return n->as_boolean()->get();
}

std::string readFirstLine(const toml::node& at, const std::string& key, const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) fail(at, key, "cannot read " + path);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

void readBroker(const toml::table& root, BrokerConfig* b) {
    const toml::node* node = root.get("broker");
    if (!node) fail(root, "broker", "missing");
    const toml::table* t = node->as_table();
    if (!t) fail(*node, "broker", "must be a table");
    onlyKeys(*t, "broker", {"url", "client_id", "prefix", "username", "password_file", "ca_file", "keepalive_s"});
    const std::string url = text(*t, "broker", "url", true);
    const toml::node& urlNode = *t->get("url");
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        rest = url.substr(8);
        b->tls = true;
        b->port = 8883;
    } else {
        fail(urlNode, "broker.url", "must start with mqtt:// or mqtts://");
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    const size_t colon = rest.rfind(':');
    b->host = rest.substr(0, colon);
    if (colon != std::string::npos) {
        const std::string port = rest.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(port) < 1 || std::stoi(port) > 65535)
            fail(urlNode, "broker.url", "the port must be 1 to 65535");
        b->port = static_cast<uint16_t>(std::stoi(port));
    }
    if (b->host.empty() || b->host.find_first_of("/@ ") != std::string::npos)
        fail(urlNode, "broker.url", "needs a host: mqtt://HOST[:PORT]");
    b->clientId = text(*t, "broker", "client_id", true);
    if (!isTopicWord(b->clientId))
        fail(*t->get("client_id"), "broker.client_id", "1 to 64 letters, digits, '_', '-' or '.'");
    b->prefix = text(*t, "broker", "prefix", false, "tavrix");
    if (b->prefix.empty() || b->prefix.size() > 128 || b->prefix.find_first_of("+#") != std::string::npos ||
        b->prefix.front() == '/' || b->prefix.back() == '/')
        fail(*t->get("prefix"), "broker.prefix", "a topic without '+', '#' or a leading or trailing '/'");
    b->username = text(*t, "broker", "username", false);
    if (const toml::node* p = t->get("password_file")) {
        if (b->username.empty()) fail(*p, "broker.password_file", "needs broker.username");
        b->password = readFirstLine(*p, "broker.password_file", text(*t, "broker", "password_file", true));
    }
    b->caFile = text(*t, "broker", "ca_file", false);
    if (!b->caFile.empty()) {
        if (!b->tls) fail(*t->get("ca_file"), "broker.ca_file", "needs an mqtts:// url");
        readFirstLine(*t->get("ca_file"), "broker.ca_file", b->caFile);
    }
    b->keepaliveS = static_cast<uint32_t>(number(*t, "broker", "keepalive_s", 10, 5, 3600));
}

void readGateway(const toml::table& root, GatewayConfig* c) {
    const toml::node* node = root.get("gateway");
    if (!node) return;
    const toml::table* t = node->as_table();
    if (!t) fail(*node, "gateway", "must be a table");
    onlyKeys(*t, "gateway", {"metrics_interval_ms", "max_request_age_ms", "metrics_listen"});
    c->metricsIntervalMs = static_cast<uint32_t>(number(*t, "gateway", "metrics_interval_ms", 5000, 100, 3600000));
    c->maxRequestAgeMs = static_cast<uint32_t>(number(*t, "gateway", "max_request_age_ms", 3000, 100, 60000));
    c->metricsListen = text(*t, "gateway", "metrics_listen", false);
    std::string host;
    uint16_t port;
    if (!c->metricsListen.empty() && !parseListenAddress(c->metricsListen, &host, &port))
        fail(*t->get("metrics_listen"), "gateway.metrics_listen", "HOST:PORT or PORT");
}

// The watch or poll item text: the library takes at most 32 items in at
// most 2025 characters.
std::vector<Column> readItems(const toml::node& at, const std::string& key, const std::string& items) {
    std::vector<Column> columns;
    std::string why;
    size_t count = 0;
    if (!parseColumns(items, &columns, &why, &count)) fail(at, key, why);
    if (count > 32) fail(at, key, "at most 32 items");
    if (items.size() > 2025) fail(at, key, "at most 2025 characters");
    return columns;
}

ControllerConfig readController(const toml::table& t, const std::string& where) {
    onlyKeys(t, where, {"name", "address", "watch", "cycle_ms", "timeout_ms", "qos", "writable", "exec", "poll"});
    ControllerConfig c;
    c.name = text(t, where, "name", true);
    if (!isTopicWord(c.name) || c.name == "gateway")
        fail(*t.get("name"), where + ".name", "1 to 64 letters, digits, '_', '-' or '.', not 'gateway'");
    c.address = text(t, where, "address", true);
    if (!isControllerAddress(c.address))
        fail(*t.get("address"), where + ".address", "'" + c.address + "' is not a.b.c.d, COMn or PCI<n>");
    c.watch = text(t, where, "watch", false);
    if (!c.watch.empty()) c.columns = readItems(*t.get("watch"), where + ".watch", c.watch);
    c.cycleMs = static_cast<uint32_t>(number(t, where, "cycle_ms", 100, 1, 60000));
    const int64_t minTimeout = std::max<int64_t>(200, 4 * int64_t{c.cycleMs});
    c.timeoutMs = static_cast<uint32_t>(
        number(t, where, "timeout_ms", std::max<int64_t>(1000, minTimeout), minTimeout, 600000));
    c.qos = static_cast<int>(number(t, where, "qos", 0, 0, 2));
    c.exec = flag(t, where, "exec", false);
    if (const toml::node* w = t.get("writable")) {
        const toml::array* list = w->as_array();
        if (!list) fail(*w, where + ".writable", "must be a list of items such as [\"VR(5)\"]");
        for (const toml::node& item : *list) {
            Target target;
            if (!item.is_string() || !parseTarget(item.as_string()->get(), &target))
                fail(item, where + ".writable", "each item is NAME or NAME(INDEX)");
            c.writable.push_back(target);
        }
    }
    if (const toml::node* p = t.get("poll")) {
        const toml::array* list = p->as_array();
        if (!list) fail(*p, where + ".poll", "must be [[controller.poll]] tables");
        for (size_t i = 0; i < list->size(); ++i) {
            const toml::table* g = list->get(i)->as_table();
            const std::string gw = where + ".poll[" + std::to_string(i + 1) + "]";
            if (!g) fail(*list->get(i), gw, "must be a table with items and period_ms");
            onlyKeys(*g, gw, {"items", "period_ms"});
            PollGroup group;
            group.items = text(*g, gw, "items", true);
            group.columns = readItems(*g->get("items"), gw + ".items", group.items);
            group.periodMs = static_cast<uint32_t>(number(*g, gw, "period_ms", 1000, 10, 3600000));
            c.polls.push_back(std::move(group));
        }
    }
    return c;
}

void readAll(const toml::table& root, GatewayConfig* config) {
    onlyKeys(root, "", {"broker", "gateway", "controller"});
    readBroker(root, &config->broker);
    readGateway(root, config);
    const toml::node* node = root.get("controller");
    if (!node) fail(root, "controller", "at least one [[controller]] table is needed");
    const toml::array* list = node->as_array();
    if (!list || list->empty()) fail(*node, "controller", "must be [[controller]] tables");
    std::set<std::string> names, addresses;
    for (size_t i = 0; i < list->size(); ++i) {
        const std::string where = "controller[" + std::to_string(i + 1) + "]";
        const toml::table* t = list->get(i)->as_table();
        if (!t) fail(*list->get(i), where, "must be a table");
        ControllerConfig c = readController(*t, where);
        if (!names.insert(c.name).second) fail(*t->get("name"), where + ".name", "'" + c.name + "' is used twice");
        if (!addresses.insert(c.address).second)
            fail(*t->get("address"), where + ".address", c.address + " is used twice (one link per controller)");
        config->controllers.push_back(std::move(c));
    }
}

bool parse(const std::string& source, GatewayConfig* config, std::string* error,
           const std::function<toml::table()>& load) {
    try {
        const toml::table root = load();
        GatewayConfig c;
        readAll(root, &c);
        *config = std::move(c);
        return true;
    } catch (const toml::parse_error& e) {
        *error = source + ":" + std::to_string(e.source().begin.line) + ": " + std::string(e.description());
    } catch (const ConfigError& e) {
        *error = source + ":" + std::to_string(e.line) + ": " + e.key + ": " + e.what;
    }
    return false;
}

}  // namespace

bool parseListenAddress(std::string_view text, std::string* host, uint16_t* port) {
    const size_t colon = text.rfind(':');
    const std::string_view p = colon == std::string_view::npos ? text : text.substr(colon + 1);
    *host = colon == std::string_view::npos ? "127.0.0.1" : std::string(text.substr(0, colon));
    if (p.empty() || p.size() > 5 || p.find_first_not_of("0123456789") != std::string_view::npos || host->empty())
        return false;
    const int n = std::stoi(std::string(p));
    if (n < 1 || n > 65535) return false;
    *port = static_cast<uint16_t>(n);
    return true;
}

bool parseConfig(std::string_view text, const std::string& source, GatewayConfig* config, std::string* error) {
    return parse(source, config, error, [&] { return toml::parse(text, source); });
}

bool loadConfig(const std::string& path, GatewayConfig* config, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": cannot be read";
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    return parseConfig(all.str(), path, config, error);
}

}  // namespace tvx::gateway
