// An Ethernet handle's socket. Who reads it: a transacting thread takes its
// replies itself once the receive thread handed the socket over, while
// pushed packets are still delivered, all of them, on the receive thread.
// How batches leave it: each datagram whole and in order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "channel/request_codes.h"
#include "link/ethernet_link.h"
#include "link/handle.h"
#include "link/pushed_packets.h"
#include "support/frames.h"
#include "tavrix.h"

namespace tvx {
namespace {

using Clock = std::chrono::steady_clock;

// A controller stand-in that answers every request (status 0, 60 zero
// bytes) and, while `push` is set, pushes a text packet with each answer.
class PushingController {
public:
    explicit PushingController(const char* address) {
        uint32_t ip = 0;
        platform::parseIpv4(address, &ip);
        ok_ = socket_.open() && socket_.bind(ip, 502) && socket_.setReceiveTimeout(20);
        thread_ = std::thread([this] { run(); });
    }
    ~PushingController() {
        done_ = true;
        thread_.join();
    }
    bool ok() const { return ok_; }
    std::atomic<bool> push{false};
    std::atomic<uint32_t> pushed{0};

private:
    void run() {
        uint8_t request[2048];
        uint16_t pushSequence = 0;
        while (!done_) {
            uint32_t from = 0;
            uint16_t port = 0;
            const int n = socket_.receiveFrom(request, sizeof request, &from, &port);
            if (n < 14) continue;
            const testing::Bytes frame(request, request + n);
            const uint16_t command = testing::requestCommand(frame, true);
            if (command == 0) continue;  // keep-alive
            // The push goes first: once its answer is in, a request's push
            // has been sent.
            if (push) {
                const testing::Bytes text = testing::tcpFrame(
                    254, 73, testing::replyPacket(req::pushedText, ++pushSequence, 0, {'o', 'k', '\n'}));
                socket_.sendTo(from, port, text.data(), text.size());
                ++pushed;
            }
            const testing::Bytes reply = testing::tcpFrame(
                254, 72, testing::replyPacket(command, testing::requestSequence(frame, true), 0, testing::Bytes(60, 0)));
            socket_.sendTo(from, port, reply.data(), reply.size());
        }
    }
    platform::UdpSocket socket_;
    bool ok_ = false;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

bool callersReceive(TVX_HANDLE h) {
    EthernetLink* link = ethernetLinkOf(*fromApi(h));
    std::lock_guard<std::mutex> lock(link->receiveOwner);
    return link->callersReceive;
}

int transactions(TVX_HANDLE h, int count) {
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        int32_t v = -1;
        failures += TVX_GetHardId(h, &v) != 0 || v != 0;
    }
    return failures;
}

template <class Done>
bool waitUntil(Done done) {
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (!done() && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

// Where pushed text went: counted, and whether any came on the thread that
// transacts.
std::atomic<uint32_t> g_delivered{0};
std::atomic<bool> g_onTransactingThread{false};
thread_local bool t_transacting = false;

void recordDelivery(ControllerHandle&, const uint8_t*, uint16_t) {
    ++g_delivered;
    if (t_transacting) g_onTransactingThread = true;
}

std::atomic<uint32_t> g_callbacks{0};
void TVX_STDCALL recordCallback(TVX_HANDLE, int32_t, int32_t, const char*) {
    ++g_callbacks;
    if (t_transacting) g_onTransactingThread = true;
}

class ReceiveOwner : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(controller.ok());
        ASSERT_EQ(TVX_Open(TVX_LINK_ETHERNET, "127.0.0.41", &h), 0);
        t_transacting = true;
        g_delivered = 0;
        g_callbacks = 0;
        g_onTransactingThread = false;
    }
    void TearDown() override {
        t_transacting = false;
        if (h) TVX_Close(h);
    }
    PushingController controller{"127.0.0.41"};
    TVX_HANDLE h = nullptr;
};

// A run of transactions is answered on the caller's own thread; pushed
// packets that come meanwhile all reach their sink on the receive thread.
TEST_F(ReceiveOwner, PushedPacketsDuringDirectTransactionsAllReachTheReceiveThread) {
    ASSERT_EQ(transactions(h, 200), 0);
    EXPECT_TRUE(callersReceive(h));

    const PushedPacketSink original = pushedPacketSink(req::pushedText);
    setPushedPacketSink(req::pushedText, recordDelivery);
    controller.push = true;
    EXPECT_EQ(transactions(h, 300), 0);
    controller.push = false;
    EXPECT_TRUE(waitUntil([&] { return g_delivered.load() == controller.pushed.load(); }));
    setPushedPacketSink(req::pushedText, original);
    EXPECT_EQ(controller.pushed.load(), 300u);
    EXPECT_EQ(g_delivered.load(), 300u);
    EXPECT_FALSE(g_onTransactingThread.load());
    // Without pushes the caller reads its replies itself again.
    ASSERT_EQ(transactions(h, 50), 0);
    EXPECT_TRUE(callersReceive(h));
}

// A callback set while the caller owns the socket runs on the receive thread
// only: the socket goes back to it, and transactions still succeed.
TEST_F(ReceiveOwner, CallbackSetWhileCallersReceiveRunsOnTheReceiveThread) {
    ASSERT_EQ(transactions(h, 100), 0);
    ASSERT_TRUE(callersReceive(h));
    ASSERT_EQ(TVX_SetAutoUpCallBack(h, recordCallback), 0);
    controller.push = true;
    EXPECT_EQ(transactions(h, 200), 0);
    controller.push = false;
    EXPECT_TRUE(waitUntil([&] { return g_callbacks.load() == controller.pushed.load(); }));
    EXPECT_EQ(g_callbacks.load(), 200u);
    EXPECT_FALSE(g_onTransactingThread.load());
    EXPECT_FALSE(callersReceive(h));
    ASSERT_EQ(TVX_SetAutoUpCallBack(h, nullptr), 0);
}

// A batch goes out as the datagrams it holds, in order and each whole:
// blocks of one length with a shorter last (sent in one segmented call
// where the system has it) and blocks of mixed lengths (one by one).
TEST(UdpBatch, EveryDatagramArrivesWholeAndInOrder) {
    const std::vector<std::vector<uint32_t>> batches = {{1000, 1000, 1000, 1000, 17}, {300, 1200, 5, 900}, {64}};
    uint32_t ip = 0;
    platform::parseIpv4("127.0.0.42", &ip);
    platform::UdpSocket receiver, sender;
    ASSERT_TRUE(receiver.open() && receiver.bind(ip, 40600) && receiver.setReceiveTimeout(2000));
    ASSERT_TRUE(sender.open() && sender.bind(0, 0));
    constexpr size_t kStride = 2048;
    for (const std::vector<uint32_t>& lengths : batches) {
        std::vector<uint8_t> frames(lengths.size() * kStride);
        for (size_t i = 0; i < lengths.size(); ++i)
            for (uint32_t b = 0; b < lengths[i]; ++b) frames[i * kStride + b] = static_cast<uint8_t>(i * 31 + b);
        const int count = static_cast<int>(lengths.size());
        ASSERT_EQ(sender.sendBatch(ip, 40600, frames.data(), kStride, lengths.data(), count), count);
        for (size_t i = 0; i < lengths.size(); ++i) {
            uint8_t got[4096];
            ASSERT_EQ(receiver.receiveFrom(got, sizeof got, nullptr, nullptr), static_cast<int>(lengths[i])) << i;
            EXPECT_EQ(std::memcmp(got, frames.data() + i * kStride, lengths[i]), 0) << i;
        }
    }
}

}  // namespace
}  // namespace tvx
