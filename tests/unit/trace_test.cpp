// The protocol trace: every frame in both directions reaches the callback
// as it went over the wire, nothing after it is removed, and the capture
// file is a well-formed pcapng file.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/bytes.h"
#include "base/trace.h"
#include "frame/trace_capture.h"
#include "support/inprocess_fixture.h"
#include "support/test_files.h"
#include "tavrix.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::InProcessController;
using testing::readFile;

struct Seen {
    std::mutex lock;
    std::vector<TVX_TraceEvent> events;
    std::vector<Bytes> bytes;
};

void record(const TVX_TraceEvent* e, void* context) {
    auto& seen = *static_cast<Seen*>(context);
    std::lock_guard<std::mutex> guard(seen.lock);
    seen.events.push_back(*e);
    seen.bytes.emplace_back(e->bytes, e->bytes + e->length);
}

class Trace : public ::testing::TestWithParam<Framing> {
protected:
    void TearDown() override { TVX_SetTraceCallback(nullptr, nullptr, 0); }
    InProcessController c{GetParam()};
};

TEST_P(Trace, EveryFrameOfARequestInBothDirections) {
    ASSERT_EQ(c.open(), 0);
    Seen seen;
    ASSERT_EQ(TVX_SetTraceCallback(record, &seen, 0), 0);
    uint8_t state = 0;
    ASSERT_EQ(TVX_GetState(c.handle, &state), 0);
    ASSERT_EQ(TVX_SetTraceCallback(nullptr, nullptr, 0), 0);
    ASSERT_EQ(TVX_GetState(c.handle, &state), 0);  // not traced any more

    ASSERT_EQ(seen.events.size(), 2u);
    const size_t hdr = c.tcp() ? 6 : 0;
    const size_t trailer = c.tcp() ? 0 : 2;
    const TVX_TraceEvent& sent = seen.events[0];
    const TVX_TraceEvent& received = seen.events[1];
    EXPECT_EQ(sent.kind, static_cast<uint32_t>(TVX_TRACE_SENT));
    EXPECT_EQ(received.kind, static_cast<uint32_t>(TVX_TRACE_RECEIVED));
    for (const TVX_TraceEvent* e : {&sent, &received}) {
        EXPECT_EQ(e->handle, c.handle);
        EXPECT_LE(sent.timestampNs, e->timestampNs);
    }
    // The sent frame carries exactly the request the controller saw (the
    // one before the last, untraced, request).
    ASSERT_GE(c.requests.size(), 2u);
    const Bytes& traced = c.requests[c.requests.size() - 2];
    const Bytes& out = seen.bytes[0];
    ASSERT_EQ(out.size(), hdr + 2 + traced.size() + trailer);
    EXPECT_EQ(Bytes(out.begin() + hdr + 2, out.end() - trailer), traced);
    // The reply: function 72, the state request's code and the same sequence.
    const Bytes& in = seen.bytes[1];
    ASSERT_GE(in.size(), hdr + 2 + 10 + trailer);
    EXPECT_EQ(in[hdr + 1], 72);
    EXPECT_EQ(getU16(in.data() + hdr + 4), 1);
    EXPECT_EQ(getU16(in.data() + hdr + 6), getU16(out.data() + hdr + 6));
}

INSTANTIATE_TEST_SUITE_P(BothFramings, Trace, ::testing::Values(Framing::rtu, Framing::tcp));

// Walks the blocks of a pcapng file: every block's two length fields agree
// and the file ends on a block boundary. Returns the block types.
std::vector<uint32_t> pcapngBlocks(const Bytes& file, std::vector<Bytes>* packets) {
    std::vector<uint32_t> types;
    size_t at = 0;
    while (at + 12 <= file.size()) {
        const uint32_t type = getU32(file.data() + at);
        const uint32_t length = getU32(file.data() + at + 4);
        if (length < 12 || length % 4 || at + length > file.size()) return {};
        if (getU32(file.data() + at + length - 4) != length) return {};
        if (type == pcapng::enhancedPacket && packets) {
            const uint32_t captured = getU32(file.data() + at + 20);
            packets->emplace_back(file.begin() + at + 28, file.begin() + at + 28 + captured);
        }
        types.push_back(type);
        at += length;
    }
    return at == file.size() ? types : std::vector<uint32_t>{};
}

TVX_TraceEvent serialFrame(const uint8_t* frame, uint32_t length) {
    TVX_TraceEvent e{};
    e.kind = TVX_TRACE_SENT;
    e.linkKind = TVX_LINK_SERIAL;
    e.port = "COM3";
    e.bytes = frame;
    e.length = length;
    return e;
}

TEST(TraceCapture, EthernetFramesAsIpv4DatagramsInAWellFormedFile) {
    std::remove((::testing::TempDir() + "tavrix_trace_test.pcapng").c_str());
    const std::string path = ::testing::TempDir() + "tavrix_trace_test.pcapng";
    ASSERT_TRUE(startTraceCapture(path.c_str()));
    TVX_TraceEvent e{};
    e.kind = TVX_TRACE_SENT;
    e.linkKind = TVX_LINK_ETHERNET;
    const uint8_t frame[] = {0, 0, 0, 0, 0, 8, 254, 72, 6, 0, 1, 0, 9, 0};
    e.bytes = frame;
    e.length = sizeof frame;
    e.localIp = 0x7F000001;
    e.remoteIp = 0x7F000015;
    e.localPort = 40000;
    e.remotePort = 502;
    writeTraceCapture(e);
    e.linkKind = TVX_LINK_SERIAL;
    e.port = "COM3";
    writeTraceCapture(e);
    writeTraceCapture(e);  // the same port: no second interface
    stopTraceCapture();

    const Bytes file = readFile(path);
    ASSERT_FALSE(file.empty());
    std::remove(path.c_str());

    std::vector<Bytes> packets;
    const std::vector<uint32_t> types = pcapngBlocks(file, &packets);
    const std::vector<uint32_t> expected = {pcapng::sectionHeader, pcapng::interfaceDescription,
                                            pcapng::enhancedPacket, pcapng::interfaceDescription,
                                            pcapng::enhancedPacket, pcapng::enhancedPacket};
    EXPECT_EQ(types, expected);
    ASSERT_EQ(packets.size(), 3u);
    const Bytes& ip = packets[0];
    ASSERT_EQ(ip.size(), 28 + sizeof frame);
    EXPECT_EQ(ip[0], 0x45);
    EXPECT_EQ(ip[9], 17);  // UDP
    uint32_t sum = 0;
    for (size_t i = 0; i < 20; i += 2) sum += getBe16(ip.data() + i);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    EXPECT_EQ(sum, 0xFFFFu) << "IPv4 header checksum";
    EXPECT_EQ(getBe16(ip.data() + 20), 40000);  // sent: from the handle's port
    EXPECT_EQ(getBe16(ip.data() + 22), 502);
    EXPECT_EQ(Bytes(ip.begin() + 28, ip.end()), Bytes(frame, frame + sizeof frame));
    EXPECT_EQ(packets[1], Bytes(frame, frame + sizeof frame));  // serial: the frame alone
}

// A second run into the same file keeps the first: it starts a section of
// its own. "%p" names a file per process; a file that is no capture is
// replaced, not appended to.
TEST(TraceCapture, RunsIntoOneFileKeepBothAndPatternsNameTheProcess) {
    const std::string path = ::testing::TempDir() + "tavrix_trace_runs.pcapng";
    std::remove(path.c_str());
    const uint8_t frame[] = {1, 72, 6, 0, 1, 0, 9, 0};
    TVX_TraceEvent e = serialFrame(frame, sizeof frame);
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(startTraceCapture(path.c_str()));
        writeTraceCapture(e);
        stopTraceCapture();
    }
    std::vector<Bytes> packets;
    const std::vector<uint32_t> expected = {pcapng::sectionHeader, pcapng::interfaceDescription,
                                            pcapng::enhancedPacket, pcapng::sectionHeader,
                                            pcapng::interfaceDescription, pcapng::enhancedPacket};
    EXPECT_EQ(pcapngBlocks(readFile(path), &packets), expected);
    EXPECT_EQ(packets.size(), 2u);

    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a capture", f);
    std::fclose(f);
    ASSERT_TRUE(startTraceCapture(path.c_str()));
    writeTraceCapture(e);
    stopTraceCapture();
    EXPECT_EQ(pcapngBlocks(readFile(path), nullptr).size(), 3u);
    std::remove(path.c_str());

    const struct {
        const char* pattern;
        const char* name;
    } cases[] = {
        {"trace-%p.pcapng", "trace-4242.pcapng"},
        {"%p", "4242"},
        {"a%%p-%p%", "a%p-4242%"},
        {"plain", "plain"},
    };
    for (const auto& k : cases) {
        char out[64];
        ASSERT_TRUE(expandCapturePath(k.pattern, 4242, out, sizeof out)) << k.pattern;
        EXPECT_STREQ(out, k.name);
    }
    char tiny[6];
    EXPECT_FALSE(expandCapturePath("ab-%p", 4242, tiny, sizeof tiny));
}

#ifndef _WIN32
// A capture pipe whose reader stops reading, then one whose reader leaves:
// the writer waits a bounded time, never gets SIGPIPE (the default action
// would end this test program), and the capture stops.
TEST(TraceCapture, StalledOrClosedPipeStopsTheCaptureWithoutSignal) {
    const std::string fifo = ::testing::TempDir() + "tavrix_trace_fifo";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const uint8_t frame[1000] = {};
    const TVX_TraceEvent e = serialFrame(frame, sizeof frame);
    for (const bool readerLeaves : {false, true}) {
        const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        ASSERT_TRUE(startTraceCapture(fifo.c_str()));
        if (readerLeaves) close(reader);
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 200 && traceCaptureActive(); ++i) writeTraceCapture(e);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_FALSE(traceCaptureActive()) << (readerLeaves ? "reader left" : "reader stalled");
        EXPECT_LT(took, std::chrono::seconds(5));
        stopTraceCapture();
        if (!readerLeaves) close(reader);
    }
    std::remove(fifo.c_str());
}

struct ExitingCallback {
    std::atomic<int> calls{0};
    std::atomic<bool> returned{false};
};

// Ends its thread from inside the callback, as an interpreter ends a
// foreign thread that calls it during shutdown.
void exitInside(const TVX_TraceEvent*, void* context) {
    static_cast<ExitingCallback*>(context)->calls.fetch_add(1);
    pthread_exit(nullptr);
}

// Asks for its own cancellation and then waits at cancellation points: the
// thread must not end before the callback returns.
void cancelInside(const TVX_TraceEvent*, void* context) {
    auto& state = *static_cast<ExitingCallback*>(context);
    state.calls.fetch_add(1);
    pthread_cancel(pthread_self());
    usleep(20000);
    state.returned.store(true);
}

void* emitOnce(void*) {
    TVX_TraceEvent e{};
    e.kind = TVX_TRACE_SENT;
    emitTrace(e);
    pthread_testcancel();
    return nullptr;
}

// Threads that end inside a callback leave no call counted as running, and
// a thread is never cancelled inside a callback: changing the callback
// afterwards returns at once.
TEST(TraceThreads, ThreadsEndingInsideTheCallbackAreNotCountedAsRunning) {
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer cannot follow a thread whose frames end without
    // returning (pthread_exit, cancellation): it reports its own teardown.
    GTEST_SKIP() << "threads ending by pthread_exit or cancellation are not followed by AddressSanitizer";
#endif
    for (TVX_TraceCallback callback : {exitInside, cancelInside}) {
        ExitingCallback state;
        ASSERT_EQ(TVX_SetTraceCallback(callback, &state, 0), TVX_OK);
        pthread_t thread;
        ASSERT_EQ(pthread_create(&thread, nullptr, emitOnce, nullptr), 0);
        void* result = nullptr;
        ASSERT_EQ(pthread_join(thread, &result), 0);
        EXPECT_EQ(state.calls.load(), 1);
        if (callback == cancelInside) {
            EXPECT_TRUE(state.returned.load()) << "cancelled inside the callback";
            EXPECT_EQ(result, PTHREAD_CANCELED);
        }
        EXPECT_EQ(traceCallsRunning(), 0u);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(TVX_SetTraceCallback(nullptr, nullptr, 0), TVX_OK);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    }
}

#endif  // _WIN32

// A callback that does not return: the change waits its bound, says so,
// and installs the new callback anyway.
TEST(TraceThreads, ChangeWaitsABoundedTimeForABlockedCallback) {
    static std::atomic<bool> release{false};
    static std::atomic<bool> entered{false};
    release = false;
    entered = false;
    auto blocked = [](const TVX_TraceEvent*, void*) {
        entered = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    ASSERT_EQ(TVX_SetTraceCallback(blocked, nullptr, 0), TVX_OK);
    std::thread emitter([] {
        TVX_TraceEvent e{};
        emitTrace(e);
    });
    while (!entered) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TVX_SetTraceCallback(nullptr, nullptr, 0), TVX_ERR_TIME_LIMIT);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(kTraceChangeWaitMs - 50));
    EXPECT_LT(took, std::chrono::milliseconds(kTraceChangeWaitMs + 2000));
    EXPECT_FALSE(traceActive());
    release = true;
    emitter.join();
    EXPECT_EQ(TVX_SetTraceCallback(nullptr, nullptr, 0), TVX_OK);
}

}  // namespace
}  // namespace tvx
