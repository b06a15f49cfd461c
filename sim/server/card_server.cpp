#include "server/card_server.h"

#include <algorithm>

#include "base/bytes.h"
#include "platform/card_standin_wire.h"

namespace tvx::sim {
namespace {

// Every wait of a server thread is this short, so that stop() is quick.
inline constexpr uint32_t kPollMs = 50;
// A message whose length has come must follow within this time.
inline constexpr uint32_t kMessageTimeoutMs = 2000;

}  // namespace

CardServer::CardServer(std::vector<PciCard*> pciCards, std::vector<PciCard*> pcieCards)
    : cards_{std::move(pciCards), std::move(pcieCards)} {}

CardServer::~CardServer() { stop(); }

bool CardServer::start(uint32_t ip, uint16_t port, std::string* message) {
    if (!listener_.listen(ip, port)) {
        *message = "cannot listen on TCP port " + std::to_string(port) + " (in use?)";
        return false;
    }
    port_ = listener_.localPort();
    stopping_.store(false);
    acceptor_ = std::thread([this] { acceptLoop(); });
    return true;
}

void CardServer::stop() {
    stopping_.store(true);
    if (acceptor_.joinable()) acceptor_.join();
    std::lock_guard<std::mutex> lock(connectionsMutex_);
    for (auto& c : live_)
        if (c->thread.joinable()) c->thread.join();
    live_.clear();
    listener_.close();
}

void CardServer::acceptLoop() {
    while (!stopping_.load()) {
        auto c = std::make_unique<Connection>();
        if (!listener_.accept(c->socket, kPollMs)) continue;
        connections_.fetch_add(1);
        std::lock_guard<std::mutex> lock(connectionsMutex_);
        // Connections that ended are joined here, so short counting
        // connections do not pile up.
        for (auto it = live_.begin(); it != live_.end();) {
            if ((*it)->done.load()) {
                (*it)->thread.join();
                it = live_.erase(it);
            } else {
                ++it;
            }
        }
        Connection& added = *c;
        live_.push_back(std::move(c));
        added.thread = std::thread([this, &added] { serve(added); });
    }
}

void CardServer::serve(Connection& c) {
    c.socket.setReceiveTimeout(kMessageTimeoutMs);
    std::unique_ptr<PciChannel> bound;
    uint8_t body[standin::kMaxBody];
    uint8_t out[standin::kLengthBytes + standin::kMaxBody];
    while (!stopping_.load()) {
        if (!c.socket.waitReadable(kPollMs)) continue;
        uint8_t length[standin::kLengthBytes];
        if (!c.socket.receiveAll(length, sizeof length)) break;
        const size_t n = getU16(length);
        if (n == 0 || n > standin::kMaxBody || !c.socket.receiveAll(body, n)) break;
        const size_t m = answer(body, n, bound, out + standin::kLengthBytes);
        if (m == 0) break;
        putU16(out, static_cast<uint16_t>(m));
        if (!c.socket.sendAll(out, standin::kLengthBytes + m)) break;
    }
    c.socket.close();
    c.done.store(true);
}

PciCard* CardServer::card(platform::CardClass cls, uint32_t index) const {
    const auto& list = cards_[cls == platform::CardClass::pcie ? 1 : 0];
    return index < list.size() ? list[index] : nullptr;
}

size_t CardServer::answer(const uint8_t* body, size_t n, std::unique_ptr<PciChannel>& bound, uint8_t* out) {
    switch (body[0]) {
        case standin::op::count: {
            if (n < standin::count_req::bytes || body[standin::count_req::cls] > 1) return 0;
            const auto cls = static_cast<platform::CardClass>(body[standin::count_req::cls]);
            out[standin::count_ans::ok] = 1;
            putU16(out + standin::count_ans::count, static_cast<uint16_t>(cards_[static_cast<int>(cls)].size()));
            return standin::count_ans::bytes;
        }
        case standin::op::open: {
            if (n < standin::open_req::bytes || body[standin::open_req::cls] > 1 || bound) return 0;
            PciCard* c = card(static_cast<platform::CardClass>(body[standin::open_req::cls]),
                              getU16(body + standin::open_req::index));
            platform::CardOpenResult result = platform::CardOpenResult::ok;
            if (!c)
                result = platform::CardOpenResult::noInterface;
            else if (!(bound = c->open()))
                result = platform::CardOpenResult::cannotOpen;
            out[standin::open_ans::result] = static_cast<uint8_t>(result);
            return standin::open_ans::bytes;
        }
        case standin::op::control: {
            if (n < standin::control_req::input || !bound) return 0;
            const uint32_t code = getU32(body + standin::control_req::code);
            const size_t capacity =
                std::min<size_t>(getU16(body + standin::control_req::outCapacity), standin::kMaxBody - 1);
            size_t returned = 0;
            const bool ok = bound->control(code, body + standin::control_req::input, n - standin::control_req::input,
                                           out + standin::control_ans::output, capacity, &returned);
            out[standin::control_ans::ok] = ok ? 1 : 0;
            return standin::control_ans::output + (ok ? returned : 0);
        }
        default:
            return 0;
    }
}

}  // namespace tvx::sim
