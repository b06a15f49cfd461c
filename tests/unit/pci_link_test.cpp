// The PCI link over the stand-in card driver: simulated cards behind a
// loopback TCP server in this process, reached through TAVRIX_PCI_DRIVER.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/bytes.h"
#include "channel/packet_area.h"
#include "channel/request_codes.h"
#include "engine/controller.h"
#include "engine/inprocess_link.h"
#include "engine/pci_card.h"
#include "link/handle.h"
#include "link/handle_table.h"
#include "link/locked_transact.h"
#include "link/pci_link.h"
#include "platform/card_driver.h"
#include "platform/card_standin_wire.h"
#include "platform/stream_socket.h"
#include "link/pci_packets.h"
#include "server/card_server.h"
#include "tavrix.h"

namespace tvx {
namespace {

using platform::CardClass;

constexpr uint32_t kLoopback = 0x7F000001u;

// Cards of both classes, one simulated controller each; the client id's low
// word is the card's place in the listing (from 1), so tests see which card
// answered.
class PciCards : public ::testing::Test {
protected:
    void start(int pci, int pcie, uint16_t maxPacket = 256) {
        std::vector<sim::PciCard*> byClass[2];
        for (int i = 0; i < pci + pcie; ++i) {
            controllers.push_back(std::make_unique<sim::Controller>());
            controllers.back()->model().clientId = 0x00070000 + i + 1;
            cards.push_back(std::make_unique<sim::PciCard>(*controllers.back(), static_cast<uint16_t>(i + 3), maxPacket));
            byClass[i < pci ? 0 : 1].push_back(cards.back().get());
        }
        server = std::make_unique<sim::CardServer>(byClass[0], byClass[1]);
        std::string message;
        ASSERT_TRUE(server->start(kLoopback, 0, &message)) << message;
        const std::string value = "sim:127.0.0.1:" + std::to_string(server->port());
        setenv(platform::kCardDriverVariable, value.c_str(), 1);
    }
    void TearDown() override {
        for (TVX_HANDLE h : handles) TVX_Close(h);
        if (server) server->stop();
        unsetenv(platform::kCardDriverVariable);
    }
    // Opens and remembers the handle for closing; the open's result.
    int32_t open(const char* address, TVX_HANDLE* out, bool fast = false, uint32_t timeoutMs = 5000) {
        *out = nullptr;
        const int32_t r = fast ? TVX_FastOpen(TVX_LINK_PCI, address, timeoutMs, out) : TVX_Open(TVX_LINK_PCI, address, out);
        if (r == TVX_OK) handles.push_back(*out);
        return r;
    }
    // The card that answers on `h` (1-based), or 0 when the query fails.
    static int cardOf(TVX_HANDLE h) {
        int32_t id = 0;
        return TVX_GetClientId(h, &id) == TVX_OK ? (id & 0xFFFF) : 0;
    }

    std::vector<std::unique_ptr<sim::Controller>> controllers;
    std::vector<std::unique_ptr<sim::PciCard>> cards;
    std::unique_ptr<sim::CardServer> server;
    std::vector<TVX_HANDLE> handles;
};

TEST(PciAddress, ResolvesCardNumbersOverBothClasses) {
    const std::string longText = "PCI1" + std::string(252, ' ');  // 256 characters
    const struct {
        const char* address;
        int32_t result;
        CardClass cls;
        int32_t cardIndex, classIndex;
    } cases[] = {
        {"PCI1", TVX_OK, CardClass::pci, 0, 0},
        {"pci2", TVX_OK, CardClass::pci, 1, 1},
        {"PCI3", TVX_OK, CardClass::pcie, 2, 0},
        {"PCIE1", TVX_OK, CardClass::pcie, 2, 0},
        {"pcIe1", TVX_OK, CardClass::pcie, 2, 0},
        {"PCI 3", TVX_OK, CardClass::pcie, 2, 0},
        {"PCI4", TVX_ERR_PCI_NO_CARD, CardClass::pci, 0, 0},
        {"PCIE2", TVX_ERR_PCI_NO_CARD, CardClass::pci, 0, 0},
        {"PCI0", TVX_ERR_PCI_NO_CARD, CardClass::pci, 0, 0},
        {"PCIE0", TVX_ERR_PCI_NO_CARD, CardClass::pci, 0, 0},
        {"PCI-1", TVX_ERR_PCI_NO_CARD, CardClass::pci, 0, 0},
        {"PCI65536", TVX_ERR_PCI_NO_CARD, CardClass::pci, 0, 0},
        {"PCI4294967297", TVX_ERR_PCI_NO_CARD, CardClass::pci, 0, 0},
        {"PCI", TVX_ERR_PCI_NO_CARD, CardClass::pci, 0, 0},
        {"PCX1", TVX_ERR_BAD_ARGUMENT, CardClass::pci, 0, 0},
        {"PC", TVX_ERR_BAD_ARGUMENT, CardClass::pci, 0, 0},
        {"", TVX_ERR_BAD_ARGUMENT, CardClass::pci, 0, 0},
        {longText.c_str(), TVX_ERR_BAD_ARGUMENT, CardClass::pci, 0, 0},
    };
    for (const auto& k : cases) {
        CardChoice c;
        c.cardIndex = -7;
        ASSERT_EQ(resolveCardAddress(k.address, 2, 1, &c), k.result) << k.address;
        if (k.result != TVX_OK) {
            EXPECT_EQ(c.cardIndex, -7) << k.address;  // nothing written on failure
            continue;
        }
        EXPECT_EQ(c.cls, k.cls) << k.address;
        EXPECT_EQ(c.cardIndex, k.cardIndex) << k.address;
        EXPECT_EQ(c.classIndex, k.classIndex) << k.address;
    }
    // 255 characters are still an address.
    CardChoice c;
    EXPECT_EQ(resolveCardAddress(longText.substr(0, 255).c_str(), 2, 1, &c), TVX_OK);
}

TEST(PciDriverVariable, NamesOnlyLoopbackEndpoints) {
    const struct {
        const char* text;
        bool ok;
        uint32_t ip;
        uint16_t port;
    } cases[] = {
        {"5502", true, kLoopback, 5502},
        {"127.0.0.1:1", true, kLoopback, 1},
        {"127.1.2.3:65535", true, 0x7F010203u, 65535},
        {"10.0.0.1:5502", false, 0, 0},
        {"0", false, 0, 0},
        {"65536", false, 0, 0},
        {"", false, 0, 0},
        {":5502", false, 0, 0},
        {"localhost:5502", false, 0, 0},
        {"127.0.0.1:", false, 0, 0},
        {"55x2", false, 0, 0},
    };
    for (const auto& k : cases) {
        uint32_t ip = 0;
        uint16_t port = 0;
        ASSERT_EQ(platform::standin_cards::parseEndpoint(k.text, &ip, &port), k.ok) << k.text;
        if (!k.ok) continue;
        EXPECT_EQ(ip, k.ip) << k.text;
        EXPECT_EQ(port, k.port) << k.text;
    }
}

TEST(PciWithoutDriver, NoCardsAndNoOpen) {
    // Without the stand-in, the system's driver: this machine has no cards.
    // A variable that names no stand-in never falls back to the system's.
    for (const char* value : {static_cast<const char*>(nullptr), "bogus", "sim:10.0.0.1:5502", "sim:127.0.0.1:1"}) {
        const std::string label = value ? value : "(unset)";
        if (value)
            setenv(platform::kCardDriverVariable, value, 1);
        else
            unsetenv(platform::kCardDriverVariable);
        EXPECT_EQ(TVX_GetMaxPciCards(), 0) << label;
        TVX_HANDLE h = nullptr;
        EXPECT_EQ(TVX_Open(TVX_LINK_PCI, "PCI1", &h), TVX_ERR_PCI_NO_CARD) << label;
        EXPECT_EQ(TVX_OpenPci(0, &h), TVX_ERR_PCI_NO_CARD) << label;
        EXPECT_EQ(h, nullptr) << label;
    }
    unsetenv(platform::kCardDriverVariable);
}

TEST_F(PciCards, AddressesAndCardNumbersReachTheRightCard) {
    start(2, 1);
    EXPECT_EQ(TVX_GetMaxPciCards(), 3);
    const struct {
        const char* address;
        int32_t result;
        int card;
    } cases[] = {
        {"PCI1", TVX_OK, 1}, {"pci2", TVX_OK, 2},  {"PCI3", TVX_OK, 3},
        {"PCIE1", TVX_OK, 3}, {"Pcie1", TVX_OK, 3}, {"PCI4", TVX_ERR_PCI_NO_CARD, 0},
        {"PCIE2", TVX_ERR_PCI_NO_CARD, 0}, {"PCI0", TVX_ERR_PCI_NO_CARD, 0}, {"COM1", TVX_ERR_BAD_ARGUMENT, 0},
    };
    for (const auto& k : cases) {
        TVX_HANDLE h = nullptr;
        ASSERT_EQ(open(k.address, &h), k.result) << k.address;
        if (k.result != TVX_OK) {
            EXPECT_EQ(h, nullptr) << k.address;
            continue;
        }
        EXPECT_EQ(cardOf(h), k.card) << k.address;
        EXPECT_EQ(TVX_GetConnectType(h), TVX_LINK_PCI) << k.address;
        EXPECT_STREQ(TVX_GetConnectString(h), k.address);
    }
    const struct {
        uint32_t card;
        int32_t result;
        int answering;
    } numbers[] = {{0, TVX_OK, 1}, {2, TVX_OK, 3}, {3, TVX_ERR_PCI_NO_CARD, 0}, {0xFFFFFFFFu, TVX_ERR_PCI_NO_CARD, 0}};
    for (const auto& k : numbers) {
        TVX_HANDLE h = nullptr;
        ASSERT_EQ(TVX_OpenPci(k.card, &h), k.result) << k.card;
        if (k.result != TVX_OK) continue;
        handles.push_back(h);
        EXPECT_EQ(cardOf(h), k.answering) << k.card;
    }
}

TEST_F(PciCards, MessagesAreCutIntoPacketsOfTheReportedSize) {
    start(1, 0, 64);  // 60 data bytes per packet
    TVX_HANDLE api = nullptr;
    ASSERT_EQ(open("PCI1", &api, true, 500), TVX_OK);
    ControllerHandle* h = validHandle(api);
    ASSERT_NE(h, nullptr);
    // A frame is its packet plus station, function and CRC: 4 bytes.
    const struct {
        uint32_t frameBytes;
        std::vector<std::pair<uint8_t, uint16_t>> packets;
    } cases[] = {
        {60, {{0, 60}}},
        {61, {{1, 60}, {0xFF, 1}}},
        {181, {{1, 60}, {2, 60}, {3, 60}, {0xFF, 1}}},
    };
    for (const auto& k : cases) {
        const size_t from = cards[0]->writtenPackets().size();
        PacketArea area(req::sysSpecification, k.frameBytes - 4 - packet::headerLength);
        EXPECT_EQ(lockedTransact(*h, area), TVX_OK) << k.frameBytes;
        const auto written = cards[0]->writtenPackets();
        std::vector<std::pair<uint8_t, uint16_t>> got;
        for (size_t i = from; i < written.size(); ++i) got.emplace_back(written[i].sequence, written[i].length);
        EXPECT_EQ(got, k.packets) << k.frameBytes;
    }
}

TEST_F(PciCards, ReportedPacketSizeMustLieWithinTheDriversRange) {
    start(1, 0);
    const struct {
        uint16_t maxPacket;
        int32_t result;
    } cases[] = {{8, TVX_ERR_PCI_DRIVER}, {15, TVX_ERR_PCI_DRIVER}, {16, TVX_OK}, {4096, TVX_OK}, {4097, TVX_ERR_PCI_DRIVER}};
    for (const auto& k : cases) {
        cards[0]->setMaxPacket(k.maxPacket);
        TVX_HANDLE h = nullptr;
        ASSERT_EQ(open("PCI1", &h), k.result) << k.maxPacket;
        if (k.result != TVX_OK) continue;
        // Replies come back in packets of the same size.
        char text[20] = {};
        EXPECT_EQ(TVX_GetCurIpAddr(h, text), TVX_OK) << k.maxPacket;
        EXPECT_STREQ(text, "127.0.0.1") << k.maxPacket;
    }
}

TEST_F(PciCards, DriverFailuresGiveTheirCodesWithoutHanging) {
    start(1, 0);
    struct Case {
        const char* name;
        std::atomic<bool> sim::PciCardFaults::*fault;
        int32_t result;
    };
    const Case cases[] = {
        {"refused open", &sim::PciCardFaults::refuseOpen, TVX_ERR_PCI_OPEN},
        {"failed channel query", &sim::PciCardFaults::failChannelQuery, TVX_ERR_PCI_DRIVER},
        {"negative channel", &sim::PciCardFaults::negativeChannel, TVX_ERR_PCI_CHANNEL},
        {"failed reads", &sim::PciCardFaults::failReads, TVX_ERR_PCI_DRIVER},
        {"never ready to write", &sim::PciCardFaults::neverReady, TVX_ERR_LINK_WRITE},
        {"no reply", &sim::PciCardFaults::silent, TVX_CH_NO_REPLY},
    };
    for (const Case& k : cases) {
        sim::PciCardFaults& faults = cards[0]->faults();
        faults.*k.fault = true;
        TVX_HANDLE h = nullptr;
        EXPECT_EQ(open("PCI1", &h, true, 300), k.result) << k.name;
        EXPECT_EQ(h, nullptr) << k.name;
        faults.*k.fault = false;
    }
    // The card still works afterwards.
    TVX_HANDLE h = nullptr;
    ASSERT_EQ(open("PCI1", &h, true, 300), TVX_OK);
    EXPECT_EQ(cardOf(h), 1);
}

TEST_F(PciCards, FailuresOnAnOpenLinkAreReportedAndCloseStillWorks) {
    start(1, 0);
    TVX_HANDLE h = nullptr;
    ASSERT_EQ(open("PCI1", &h), TVX_OK);
    ASSERT_EQ(TVX_SetTimeOut(h, 300), TVX_OK);
    sim::PciCardFaults& faults = cards[0]->faults();

    // A card that stops answering: the wait ends at the handle's budget, and
    // the link works again once the card answers.
    faults.silent = true;
    int32_t id = 0;
    EXPECT_EQ(TVX_GetClientId(h, &id), TVX_CH_NO_REPLY);
    faults.silent = false;
    EXPECT_EQ(TVX_GetClientId(h, &id), TVX_OK);

    faults.neverReady = true;
    EXPECT_EQ(TVX_GetClientId(h, &id), TVX_ERR_LINK_WRITE);
    faults.neverReady = false;

    // A failing read is a failed link: the receive thread ends and the
    // waiting caller gets the read's code.
    faults.failReads = true;
    EXPECT_EQ(TVX_GetClientId(h, &id), TVX_ERR_PCI_DRIVER);
    EXPECT_EQ(TVX_Close(h), TVX_OK);
    handles.clear();
    EXPECT_EQ(TVX_Close(h), TVX_ERR_INVALID_HANDLE);
}

// A stand-in driver that sets a card up at once and then answers every
// request a byte at a time, `pauseMs` apart: each byte comes well within
// any receive timeout, the whole answer does not.
class TricklingDriver {
public:
    explicit TricklingDriver(uint32_t pauseMs) : pauseMs_(pauseMs) {
        ok_ = listener_.listen(kLoopback, 0);
        accepter_ = std::thread([this] {
            while (!done_) {
                auto peer = std::make_unique<platform::StreamSocket>();
                if (!listener_.accept(*peer, 20)) continue;
                platform::StreamSocket* s = peer.get();
                peers_.push_back(std::move(peer));
                servers_.emplace_back([this, s] { serve(*s); });
            }
        });
    }
    ~TricklingDriver() {
        done_ = true;
        accepter_.join();
        for (std::thread& t : servers_) t.join();
    }
    bool ok() const { return ok_; }
    uint16_t port() const { return listener_.localPort(); }

private:
    void serve(platform::StreamSocket& s) {
        uint8_t length[2];
        uint8_t body[standin::kMaxBody];
        while (!done_ && s.waitReadable(20) && s.receiveAll(length, 2)) {
            const size_t n = getU16(length);
            if (n == 0 || n > sizeof body || !s.receiveAll(body, n)) return;
            std::vector<uint8_t> answer;
            bool trickle = false;
            if (body[0] == standin::op::count) {
                answer = {1, 1, 0};
            } else if (body[0] == standin::op::open) {
                answer = {0};
            } else if (getU32(body + standin::control_req::code) == pci::code::queryChannel) {
                answer = {1, 0, 0, 0, 1};  // channel 0, packets of 256 bytes
            } else {
                answer = {1, 0, 0, 0, 0};  // ready; reads bring nothing
                trickle = true;
            }
            std::vector<uint8_t> message(2 + answer.size(), 0);
            message[0] = static_cast<uint8_t>(answer.size());
            std::copy(answer.begin(), answer.end(), message.begin() + 2);
            for (uint8_t byte : message) {
                if (trickle) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs_));
                if (done_ || !s.sendAll(&byte, 1)) return;
            }
        }
    }
    uint32_t pauseMs_;
    bool ok_ = false;
    std::atomic<bool> done_{false};
    platform::StreamSocket listener_;
    std::vector<std::unique_ptr<platform::StreamSocket>> peers_;
    std::vector<std::thread> servers_;
    std::thread accepter_;
};

// A call's budget bounds its whole exchange, however slowly the driver's
// bytes arrive; the call fails rather than reporting success late.
TEST(PciSlowDriver, ACallsBudgetBoundsTheWholeExchange) {
    TricklingDriver driver(150);
    ASSERT_TRUE(driver.ok());
    const std::string value = "sim:127.0.0.1:" + std::to_string(driver.port());
    setenv(platform::kCardDriverVariable, value.c_str(), 1);
    TVX_HANDLE h = nullptr;
    const auto start = std::chrono::steady_clock::now();
    const int32_t r = TVX_FastOpen(TVX_LINK_PCI, "PCI1", 300, &h);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_NE(r, TVX_OK);
    EXPECT_EQ(h, nullptr);
    EXPECT_LT(took, std::chrono::milliseconds(300 + 500));
    if (h) TVX_Close(h);
    unsetenv(platform::kCardDriverVariable);
}

// The same queries over the PCI link and over an Ethernet link to the same
// controller give the same answers.
TEST_F(PciCards, WholeQuerySetMatchesAnotherLinkToTheSameController) {
    start(1, 0, 32);
    TVX_HANDLE pci = nullptr;
    ASSERT_EQ(open("PCI1", &pci), TVX_OK);
    sim::InProcessLink link;
    link.controller = controllers[0].get();
    link.framing = Framing::tcp;
    TVX_HANDLE eth = nullptr;
    ASSERT_EQ(sim::openInProcess(link, &eth), TVX_OK);
    handles.push_back(eth);

    using Query = std::function<int32_t(TVX_HANDLE, std::vector<uint8_t>&)>;
    auto bytes = [](std::vector<uint8_t>& out, const void* p, size_t n) {
        out.assign(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    };
    const std::vector<std::pair<const char*, Query>> queries = {
        {"state", [&](TVX_HANDLE h, auto& o) { uint8_t v = 0; int32_t r = TVX_GetState(h, &v); bytes(o, &v, 1); return r; }},
        {"stop task", [&](TVX_HANDLE h, auto& o) { uint8_t v = 0; int32_t r = TVX_GetStopPauseTaskid(h, &v); bytes(o, &v, 1); return r; }},
        {"address", [&](TVX_HANDLE h, auto& o) { char t[20] = {}; int32_t r = TVX_GetCurIpAddr(h, t); bytes(o, t, 20); return r; }},
        {"client id", [&](TVX_HANDLE h, auto& o) { int32_t v = 0; int32_t r = TVX_GetClientId(h, &v); bytes(o, &v, 4); return r; }},
        {"soft id", [&](TVX_HANDLE h, auto& o) { int32_t v = 0; int32_t r = TVX_GetSoftId(h, &v); bytes(o, &v, 4); return r; }},
        {"hard id", [&](TVX_HANDLE h, auto& o) { int32_t v = 0; int32_t r = TVX_GetHardId(h, &v); bytes(o, &v, 4); return r; }},
        {"error", [&](TVX_HANDLE h, auto& o) { int32_t v = 0; int32_t r = TVX_GetError(h, &v); bytes(o, &v, 4); return r; }},
        {"chip id", [&](TVX_HANDLE h, auto& o) { int32_t v = 0; int32_t r = TVX_GetChipId(h, &v); bytes(o, &v, 4); return r; }},
        {"soft version", [&](TVX_HANDLE h, auto& o) { uint32_t v = 0, d = 0; char t[16] = {}; int32_t r = TVX_GetSoftVersion(h, &v, t, &d); bytes(o, t, 16); o.push_back(static_cast<uint8_t>(v)); return r; }},
        {"input 3", [&](TVX_HANDLE h, auto& o) { uint8_t v = 0; int32_t r = TVX_GetIn(h, 3, &v); bytes(o, &v, 1); return r; }},
        {"output 3", [&](TVX_HANDLE h, auto& o) { uint8_t v = 0; int32_t r = TVX_GetOutput(h, 3, &v); bytes(o, &v, 1); return r; }},
        {"inputs 0-31", [&](TVX_HANDLE h, auto& o) { int32_t v = 0; int32_t r = TVX_GetInAll(h, 0, 31, &v); bytes(o, &v, 4); return r; }},
        {"outputs 0-31", [&](TVX_HANDLE h, auto& o) { int32_t v = 0; int32_t r = TVX_GetOutAll(h, 0, 31, &v); bytes(o, &v, 4); return r; }},
        {"analog out 1", [&](TVX_HANDLE h, auto& o) { float v = 0; int32_t r = TVX_GetDaOut(h, 1, &v); bytes(o, &v, 4); return r; }},
        {"analog in 1", [&](TVX_HANDLE h, auto& o) { float v = 0; int32_t r = TVX_GetAIn(h, 1, &v); bytes(o, &v, 4); return r; }},
        {"axis states", [&](TVX_HANDLE h, auto& o) { uint8_t v[17] = {}; int32_t r = TVX_GetAxisStates(h, 0, v); bytes(o, v, 17); return r; }},
        {"axis features", [&](TVX_HANDLE h, auto& o) { int32_t v = 0; int32_t r = TVX_GetAxisFeatures(h, 0, &v); bytes(o, &v, 4); return r; }},
        {"system record", [&](TVX_HANDLE h, auto& o) { TVX_SysSpecification s{}; int32_t r = TVX_GetSysSpecification(h, &s); bytes(o, &s, sizeof s); return r; }},
        {"task state", [&](TVX_HANDLE h, auto& o) { uint8_t a = 0, b = 0; uint16_t w = 0; int32_t v = 0; char t[26] = {}; int32_t r = TVX_GetTaskState(h, 0, &a, &b, &w, &v, t); bytes(o, t, 26); o.push_back(a); return r; }},
        {"mac", [&](TVX_HANDLE h, auto& o) { char t[14] = {}; int32_t r = TVX_GetMac(h, t); bytes(o, t, 14); return r; }},
    };
    ASSERT_EQ(TVX_SetOutput(pci, 3, 1), TVX_OK);
    for (const auto& [name, query] : queries) {
        std::vector<uint8_t> overPci, overEthernet;
        const int32_t r = query(pci, overPci);
        EXPECT_EQ(r, query(eth, overEthernet)) << name;
        EXPECT_EQ(overPci, overEthernet) << name;
    }
    uint8_t state = 0;
    ASSERT_EQ(TVX_GetOutput(eth, 3, &state), TVX_OK);
    EXPECT_EQ(state, 1);  // the output set over PCI
}

TEST_F(PciCards, TextCommandAndFileTransferInSmallPackets) {
    start(1, 1, 48);
    TVX_HANDLE h = nullptr;
    ASSERT_EQ(open("PCIE1", &h), TVX_OK);
    char answer[64] = {};
    ASSERT_EQ(TVX_Execute(h, "VR(2)=6*7\n", 1000, answer, sizeof answer), TVX_OK);
    ASSERT_EQ(TVX_Execute(h, "?VR(2)\n", 1000, answer, sizeof answer), TVX_OK);
    EXPECT_STREQ(answer, "42\n");
    EXPECT_EQ(controllers[1]->console().interpreter().variables().vr()[2], 42.0);

    // Blocks of about 1 KB each way: every request and reply spans many
    // packets, more than one read drains.
    std::vector<uint8_t> file(20000);
    for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>((i * 131) ^ (i >> 7));
    ASSERT_EQ(TVX_DownMemFile(h, file.data(), static_cast<uint32_t>(file.size()), "pci.bin"), TVX_OK);
    std::vector<uint8_t> back(file.size() + 16);
    uint32_t received = 0;
    ASSERT_EQ(TVX_UpFileToMem(h, back.data(), static_cast<uint32_t>(back.size()), "pci.bin", &received), TVX_OK);
    ASSERT_EQ(received, file.size());
    back.resize(received);
    EXPECT_EQ(back, file);
}

TEST_F(PciCards, ReceiveThreadDeliversPushedPacketsAndPollsUntilClose) {
    start(1, 0, 32);
    TVX_HANDLE h = nullptr;
    ASSERT_EQ(open("PCI1", &h), TVX_OK);
    static std::atomic<int> calls{0};
    static char seen[64];
    calls = 0;
    ControllerHandle* record = validHandle(h);
    ASSERT_NE(record, nullptr);
    record->autoUpCallback.store([](TVX_HANDLE, int32_t, int32_t length, const char* data) {
        std::snprintf(seen, sizeof seen, "%.*s", static_cast<int>(length), data);
        ++calls;
    });
    // Pushed with nobody waiting for a reply: only the receive thread reads.
    const char text[] = "pushed over several packets";
    uint8_t frame[128];
    const size_t n = sim::Controller::buildUnsolicited(Framing::rtu, 254, 400, 9, 5,
                                                       reinterpret_cast<const uint8_t*>(text), sizeof text - 1, frame,
                                                       sizeof frame);
    ASSERT_GT(n, 32u);
    cards[0]->queueFrame(frame, n);
    for (int i = 0; i < 500 && calls.load() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(calls.load(), 1);
    EXPECT_STREQ(seen, text);

    // The receive thread polls while idle, and stops (with the driver's
    // release) at close.
    const uint64_t before = cards[0]->readRequests();
    for (int i = 0; i < 500 && cards[0]->readRequests() < before + 5; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(cards[0]->readRequests(), before + 5);
    ASSERT_EQ(TVX_Close(h), TVX_OK);
    handles.clear();
    EXPECT_EQ(cards[0]->releases(), 1u);
    const uint64_t afterClose = cards[0]->readRequests();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(cards[0]->readRequests(), afterClose);
}

TEST_F(PciCards, CloseDuringTrafficWaitsForTheTransactionInFlight) {
    start(1, 0, 40);
    TVX_HANDLE h = nullptr;
    ASSERT_EQ(open("PCI1", &h), TVX_OK);
    std::atomic<int> completed{0}, unexpected{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t)
        workers.emplace_back([&] {
            while (!go.load()) std::this_thread::yield();
            for (;;) {
                char text[20];
                const int32_t r = TVX_GetCurIpAddr(h, text);
                if (r == TVX_ERR_INVALID_HANDLE) return;
                if (r == TVX_OK)
                    ++completed;
                else
                    ++unexpected;
            }
        });
    go = true;
    while (completed.load() < 20) std::this_thread::yield();
    EXPECT_EQ(TVX_Close(h), TVX_OK);
    handles.clear();
    for (auto& w : workers) w.join();
    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_EQ(TVX_Close(h), TVX_ERR_INVALID_HANDLE);
    EXPECT_EQ(cards[0]->releases(), 1u);
}

}  // namespace
}  // namespace tvx
