// Behaviour of the Win32 platform backend that Windows itself would make
// differ from Linux: socket wake-ups and datagram cuts, waits, forced thread
// ends, and the version resource parser.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/module_version.h"

namespace tvx::platform {
namespace {

constexpr uint32_t kLoopback = 0x7F000001u;

struct BoundSocket {
    UdpSocket socket;
    uint16_t port = 0;
    BoundSocket() {
        EXPECT_TRUE(socket.open());
        EXPECT_TRUE(socket.bind(kLoopback, 0));
        port = socket.localPort();
        EXPECT_NE(port, 0);
    }
};

struct Receiver {
    UdpSocket* socket;
    std::atomic<int> result{-2};
    static void run(void* p) {
        auto* r = static_cast<Receiver*>(p);
        uint8_t buffer[64];
        r->result = r->socket->receiveFrom(buffer, sizeof buffer, nullptr, nullptr);
    }
};

TEST(Win32Udp, InterruptWakesABlockedReceiveAndFailsLaterOnes) {
    BoundSocket a;
    Receiver receiver{&a.socket};
    Thread thread;
    ASSERT_TRUE(thread.start(Receiver::run, &receiver));
    systemSleepMs(100);
    EXPECT_EQ(receiver.result.load(), -2) << "the receive should still be blocked";
    a.socket.interrupt();
    ASSERT_TRUE(thread.joinFor(2000)) << "interrupt() did not wake the receive";
    EXPECT_EQ(receiver.result.load(), -1);
    thread.release();

    // The socket stays usable for close() and later receives fail at once.
    EXPECT_TRUE(a.socket.valid());
    uint8_t buffer[8];
    const uint32_t start = systemTickMs();
    EXPECT_EQ(a.socket.receiveFrom(buffer, sizeof buffer, nullptr, nullptr), -1);
    EXPECT_LT(systemTickMs() - start, 1000u);
}

TEST(Win32Udp, DatagramsAreCutOrEmptyButDelivered) {
    BoundSocket a, b;
    ASSERT_TRUE(a.socket.setReceiveTimeout(2000));
    uint8_t payload[100];
    for (int i = 0; i < 100; ++i) payload[i] = static_cast<uint8_t>(i);

    ASSERT_EQ(b.socket.sendTo(kLoopback, a.port, payload, sizeof payload), 100);
    uint8_t small[10] = {};
    uint32_t fromIp = 0;
    uint16_t fromPort = 0;
    EXPECT_EQ(a.socket.receiveFrom(small, sizeof small, &fromIp, &fromPort), 10);
    EXPECT_EQ(std::memcmp(small, payload, 10), 0);
    EXPECT_EQ(fromIp, kLoopback);
    EXPECT_EQ(fromPort, b.port);

    // An empty datagram from another socket is data, not a wake-up.
    ASSERT_EQ(b.socket.sendTo(kLoopback, a.port, payload, 0), 0);
    EXPECT_EQ(a.socket.receiveFrom(small, sizeof small, nullptr, nullptr), 0);
}

TEST(Win32Udp, PortUnreachableDoesNotBreakTheNextReceive) {
    BoundSocket a, b;
    uint16_t closedPort;
    {
        BoundSocket gone;
        closedPort = gone.port;
    }
    ASSERT_TRUE(a.socket.setReceiveTimeout(2000));
    const uint8_t probe[4] = {1, 2, 3, 4};
    ASSERT_EQ(a.socket.sendTo(kLoopback, closedPort, probe, sizeof probe), 4);
    systemSleepMs(50);
    ASSERT_EQ(b.socket.sendTo(kLoopback, a.port, probe, sizeof probe), 4);
    uint8_t buffer[8];
    EXPECT_EQ(a.socket.receiveFrom(buffer, sizeof buffer, nullptr, nullptr), 4);
}

TEST(Win32Udp, ReceiveTimeoutIsBounded) {
    BoundSocket a;
    ASSERT_TRUE(a.socket.setReceiveTimeout(100));
    uint8_t buffer[8];
    const uint32_t start = systemTickMs();
    EXPECT_EQ(a.socket.receiveFrom(buffer, sizeof buffer, nullptr, nullptr), -1);
    const uint32_t took = systemTickMs() - start;
    EXPECT_GE(took, 50u);
    EXPECT_LT(took, 2000u);
}

TEST(Win32Udp, ParsesDottedAddressesAsInetAddr) {
    struct Case {
        const char* text;
        bool valid;
        uint32_t ip;
    };
    const Case cases[] = {
        {"127.0.0.1", true, kLoopback},       {"255.255.255.255", true, 0xFFFFFFFFu},
        {"192.168.1.200", true, 0xC0A801C8u}, {"256.1.1.1", false, 0},
        {"1.2.3.4.5", false, 0},              {"", false, 0},
        {"controller", false, 0},
    };
    for (const Case& c : cases) {
        uint32_t ip = 0;
        EXPECT_EQ(parseIpv4(c.text, &ip), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(ip, c.ip) << c.text;
        }
    }
    EXPECT_FALSE(parseIpv4(nullptr, nullptr));
}

struct Blocker {
    Event never;
    static void run(void* p) { static_cast<Blocker*>(p)->never.waitFor(60000); }
};

TEST(Win32Threads, StopThreadEndsAThreadThatDoesNotStop) {
    Blocker blocker;
    ASSERT_TRUE(blocker.never.create(true));
    Thread thread;
    ASSERT_TRUE(thread.start(Blocker::run, &blocker));
    EXPECT_FALSE(thread.isCurrent());
    const uint32_t start = systemTickMs();
    stopThread(thread, 100);
    EXPECT_LT(systemTickMs() - start, 2000u);
    EXPECT_FALSE(thread.started());
}

TEST(Win32Sync, SemaphoreHoldsAtMostOneAndEventsResetAsCreated) {
    Semaphore s;
    ASSERT_TRUE(s.create());
    s.release();  // already free: no effect
    EXPECT_TRUE(s.waitFor(0));
    EXPECT_FALSE(s.waitFor(10));
    s.release();
    EXPECT_TRUE(s.waitFor(0));

    Event autoReset, manual;
    ASSERT_TRUE(autoReset.create(false));
    ASSERT_TRUE(manual.create(true));
    autoReset.set();
    manual.set();
    EXPECT_TRUE(autoReset.waitFor(0));
    EXPECT_FALSE(autoReset.waitFor(0));
    EXPECT_TRUE(manual.waitFor(0));
    EXPECT_TRUE(manual.waitFor(0));
    manual.reset();
    EXPECT_FALSE(manual.waitFor(0));
}

// A VS_VERSIONINFO block as the resource compiler lays it out.
std::vector<uint8_t> versionBlock(uint32_t most, uint32_t least) {
    std::vector<uint8_t> b;
    auto u16 = [&b](uint32_t v) {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    u16(0);   // length, patched below
    u16(52);  // value length
    u16(0);   // binary
    for (const char* k = "VS_VERSION_INFO"; ; ++k) {
        u16(static_cast<uint8_t>(*k));
        if (!*k) break;
    }
    while (b.size() % 4) b.push_back(0);
    u32(0xFEEF04BDu);
    u32(0x00010000u);
    u32(most);
    u32(least);
    for (int i = 0; i < 9; ++i) u32(0);
    b[0] = static_cast<uint8_t>(b.size());
    b[1] = static_cast<uint8_t>(b.size() >> 8);
    return b;
}

TEST(Win32Version, FixedFileVersionIsFoundOnlyInAWellFormedBlock) {
    const std::vector<uint8_t> good = versionBlock(0x00010002u, 0x012C0004u);
    uint32_t most = 0, least = 0;
    ASSERT_TRUE(fixedFileVersion(good.data(), good.size(), &most, &least));
    EXPECT_EQ(most, 0x00010002u);
    EXPECT_EQ(least, 0x012C0004u);

    struct Damage {
        const char* what;
        size_t offset;  // byte to change, or SIZE_MAX to cut the block
        uint8_t value;
        size_t keep;
    };
    const Damage damages[] = {
        {"cut inside the fixed part", SIZE_MAX, 0, good.size() - 10},
        {"cut inside the key", SIZE_MAX, 0, 20},
        {"header only", SIZE_MAX, 0, 4},
        {"wrong key", 8, 'X', 0},
        {"wrong signature", 40, 0, 0},
        {"value too short", 2, 20, 0},
        {"length beyond the data", 1, 0x7F, 0},
    };
    for (const Damage& d : damages) {
        std::vector<uint8_t> bad = good;
        if (d.offset == SIZE_MAX)
            bad.resize(d.keep);
        else
            bad[d.offset] = d.value;
        EXPECT_FALSE(fixedFileVersion(bad.data(), bad.size(), &most, &least)) << d.what;
    }
}

TEST(Win32Version, TheProgramCarriesTheVersionResource) {
    uint32_t most = 0, least = 0;
    ASSERT_TRUE(moduleFileVersion(&most, &least));
    EXPECT_EQ(most, (uint32_t{TVX_TEST_VERSION_MAJOR} << 16) | TVX_TEST_VERSION_MINOR);
    EXPECT_EQ(least, (uint32_t{TVX_TEST_VERSION_PATCH} << 16) | TVX_TEST_VERSION_TWEAK);
}

}  // namespace
}  // namespace tvx::platform
