// The channel's standard Modbus functions in RTU framing against libmodbus,
// a Modbus implementation nobody here wrote, serving RTU on a
// pseudo-terminal. The channel talks to the terminal's other end through
// link operations of this test, as a serial link would.
#include <gtest/gtest.h>
#include <modbus.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/result_codes.h"
#include "channel/channel.h"

namespace tvx {
namespace {

constexpr int kStation = 1;
constexpr int kAreaSize = 100;
constexpr uint32_t kBudgetMs = 3000;

// The host end of the pseudo-terminal as the channel's link: a reader
// thread feeds every received byte to the channel, which wakes the waiting
// request itself.
class PtyLink {
public:
    bool open(std::string* slaveName) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return false;
        *slaveName = ::ptsname(master_);
        return true;
    }
    void attach(CommandChannel& ch) {
        ch.ops = &kOps;
        ch.owner = this;
        channel_ = &ch;
        reader_ = std::thread([this] { readLoop(); });
    }
    ~PtyLink() {
        stop_ = true;
        if (reader_.joinable()) reader_.join();
        if (master_ >= 0) ::close(master_);
    }

private:
    static PtyLink& of(CommandChannel& ch) { return *static_cast<PtyLink*>(ch.owner); }
    static int32_t send(CommandChannel& ch, const uint8_t* bytes, uint32_t n) {
        PtyLink& l = of(ch);
        for (uint32_t done = 0; done < n;) {
            const ssize_t w = ::write(l.master_, bytes + done, n - done);
            if (w <= 0) return rc::linkWrite;
            done += static_cast<uint32_t>(w);
        }
        return rc::ok;
    }
    static constexpr LinkOps kOps{send, nullptr, nullptr, nullptr};

    void readLoop() {
        uint8_t b[512];
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const ssize_t n = ::read(master_, b, sizeof b);
            if (n > 0) feedBytes(*channel_, b, static_cast<uint32_t>(n));
        }
    }

    int master_ = -1;
    CommandChannel* channel_ = nullptr;
    std::thread reader_;
    std::atomic<bool> stop_{false};
};

// libmodbus as an RTU server on the terminal's device end, with register
// i = 1000 + i and coil i on for i % 3 == 0.
class LibmodbusRtuServer {
public:
    bool start(const std::string& device) {
        ctx_ = modbus_new_rtu(device.c_str(), 115200, 'N', 8, 1);
        map_ = modbus_mapping_new(kAreaSize, 0, kAreaSize, 0);
        if (!ctx_ || !map_ || modbus_set_slave(ctx_, kStation) != 0 || modbus_connect(ctx_) != 0) return false;
        for (int i = 0; i < kAreaSize; ++i) {
            map_->tab_registers[i] = static_cast<uint16_t>(1000 + i);
            map_->tab_bits[i] = i % 3 == 0;
        }
        modbus_set_indication_timeout(ctx_, 0, 50000);
        thread_ = std::thread([this] {
            uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
            while (!stop_) {
                const int n = modbus_receive(ctx_, query);
                if (n > 0) modbus_reply(ctx_, query, n, map_);
            }
        });
        return true;
    }
    // Stops serving; the mapping may be read afterwards.
    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    ~LibmodbusRtuServer() {
        stop();
        if (ctx_) {
            modbus_close(ctx_);
            modbus_free(ctx_);
        }
        if (map_) modbus_mapping_free(map_);
    }
    modbus_mapping_t* map() { return map_; }

private:
    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* map_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

class LibmodbusRtu : public ::testing::Test {
protected:
    void SetUp() override {
        std::string device;
        ASSERT_TRUE(link_.open(&device));
        ASSERT_TRUE(server_.start(device)) << "libmodbus cannot serve " << device;
        ASSERT_EQ(initChannel(ch_, Framing::rtu, kBufferSize, tx_, reply_, rx_), 0);
        ASSERT_EQ(setStationId(ch_, kStation), 0);
        ch_.attempts = 2;
        ch_.baseWaitMs = kBudgetMs;
        link_.attach(ch_);
    }

    uint8_t tx_[kBufferSize], reply_[kBufferSize], rx_[kBufferSize];
    PtyLink link_;  // declared before the channel: its reader stops before the channel goes
    CommandChannel ch_;
    LibmodbusRtuServer server_;
};

TEST_F(LibmodbusRtu, ReadsAndWritesCoilsAndRegisters) {
    uint16_t words[3] = {};
    ASSERT_EQ(readHoldingRegisters(ch_, 90, 3, words, kBudgetMs), 0);
    EXPECT_EQ(words[0], 1090);
    EXPECT_EQ(words[2], 1092);
    uint8_t bits[2] = {0xFF, 0xFF};
    ASSERT_EQ(readCoils(ch_, 90, 10, bits, kBudgetMs), 0);
    EXPECT_EQ(bits[0], 0x49);
    EXPECT_EQ(bits[1], 0x02);

    const uint16_t one = 4321;
    const uint16_t longWords[2] = {0x0C0D, 0x0A0B};  // 0x0A0B0C0D, low half first
    ASSERT_EQ(writeRegisters(ch_, 10, 1, &one, kBudgetMs), 0);        // function 6
    ASSERT_EQ(writeRegisters(ch_, 20, 2, longWords, kBudgetMs), 0);  // function 16
    const uint8_t on = 0x01, pattern[2] = {0xA5, 0x03};
    ASSERT_EQ(writeCoils(ch_, 40, 1, &on, kBudgetMs), 0);       // function 5
    ASSERT_EQ(writeCoils(ch_, 50, 10, pattern, kBudgetMs), 0);  // function 15
    ASSERT_EQ(readCoils(ch_, 50, 10, bits, kBudgetMs), 0);
    EXPECT_EQ(bits[0], 0xA5);
    EXPECT_EQ(bits[1], 0x03);

    server_.stop();
    const modbus_mapping_t* m = server_.map();
    EXPECT_EQ(m->tab_registers[10], 4321);
    EXPECT_EQ(m->tab_registers[20], 0x0C0D);
    EXPECT_EQ(m->tab_registers[21], 0x0A0B);
    EXPECT_EQ(m->tab_bits[40], 1);
    EXPECT_EQ(m->tab_bits[51], 0);
    EXPECT_EQ(m->tab_bits[52], 1);
    EXPECT_EQ(m->tab_bits[58], 1);
    EXPECT_EQ(m->tab_bits[59], 1);
}

TEST_F(LibmodbusRtu, ExceptionRepliesBecomeResultCodes) {
    uint16_t words[130] = {};
    uint8_t bits[2] = {};
    const uint16_t two[2] = {1, 2};
    EXPECT_EQ(readHoldingRegisters(ch_, 99, 2, words, kBudgetMs), TVX_CH_ILLEGAL_ADDRESS);
    EXPECT_EQ(readCoils(ch_, 95, 10, bits, kBudgetMs), TVX_CH_ILLEGAL_ADDRESS);
    EXPECT_EQ(writeRegisters(ch_, 99, 2, two, kBudgetMs), TVX_CH_ILLEGAL_ADDRESS);
    EXPECT_EQ(readHoldingRegisters(ch_, 0, 126, words, kBudgetMs), TVX_CH_ILLEGAL_VALUE);
    ASSERT_EQ(readHoldingRegisters(ch_, 0, 1, words, kBudgetMs), 0);
    EXPECT_EQ(words[0], 1000);
}

}  // namespace
}  // namespace tvx
