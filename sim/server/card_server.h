// The simulated cards behind the stand-in card driver: listens on a
// loopback TCP address and answers the driver's count, open and control
// messages (platform/card_standin_wire.h) for the cards of both classes.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/pci_card.h"
#include "platform/card_driver.h"
#include "platform/stream_socket.h"

namespace tvx::sim {

class CardServer {
public:
    // The cards of each class in the order the driver lists them; they must
    // outlive the server.
    CardServer(std::vector<PciCard*> pciCards, std::vector<PciCard*> pcieCards);
    ~CardServer();
    CardServer(const CardServer&) = delete;
    CardServer& operator=(const CardServer&) = delete;

    // Listens on ip:port (0 = any free port) and serves on threads of its
    // own; false with a message when the address cannot be had.
    bool start(uint32_t ip, uint16_t port, std::string* message);
    uint16_t port() const { return port_; }
    // Ends every connection and thread; at most about 100 ms.
    void stop();
    // Connections accepted so far.
    uint64_t connections() const { return connections_.load(); }

private:
    struct Connection {
        platform::StreamSocket socket;
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void acceptLoop();
    void serve(Connection& c);
    // Answers one request body; the answer's length, 0 to close.
    size_t answer(const uint8_t* body, size_t n, std::unique_ptr<PciChannel>& bound, uint8_t* out);
    PciCard* card(platform::CardClass cls, uint32_t index) const;

    std::vector<PciCard*> cards_[2];
    platform::StreamSocket listener_;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> connections_{0};
    std::thread acceptor_;
    std::mutex connectionsMutex_;
    std::list<std::unique_ptr<Connection>> live_;
};

}  // namespace tvx::sim
