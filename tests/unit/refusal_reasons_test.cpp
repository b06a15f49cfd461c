// A refused call names its reason as a debug line, which reaches the trace
// callback: the export, the code and which argument was wrong.
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/debug_output.h"
#include "support/inprocess_fixture.h"
#include "tavrix.h"

namespace tvx {
namespace {

using testing::InProcessController;

struct Lines {
    std::mutex lock;
    std::vector<std::string> text;
};

void collect(const TVX_TraceEvent* e, void* context) {
    if (e->kind != TVX_TRACE_DEBUG) return;
    auto& lines = *static_cast<Lines*>(context);
    std::lock_guard<std::mutex> guard(lines.lock);
    lines.text.emplace_back(reinterpret_cast<const char*>(e->bytes), e->length);
}

class RefusalReasons : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(c.open(), 0);
        ASSERT_EQ(TVX_SetTraceCallback(collect, &lines, 3), 0);
    }
    void TearDown() override { TVX_SetTraceCallback(nullptr, nullptr, 0); }
    InProcessController c{Framing::tcp};
    Lines lines;
};

TEST_F(RefusalReasons, EachRefusalNamesTheExportTheCodeAndTheArgument) {
    const std::string longText(2100, 'A');
    char answer[16];
    uint32_t words[2] = {0, 0};
    const std::vector<float> floats(249, 1.0f);
    uint8_t state = 0;
    TVX_HANDLE closed = nullptr;
    {
        InProcessController other{Framing::rtu};
        ASSERT_EQ(other.open(), 0);
        closed = other.handle;
    }
    const struct {
        const char* what;
        std::function<int32_t()> call;
        int32_t code;
        std::string line;
    } cases[] = {
        {"NULL out-parameter", [&] { return TVX_GetState(c.handle, nullptr); }, 20002,
         "TVX_GetState: refused with 20002: stateOut is NULL\r\n"},
        {"NULL handle", [&] { return TVX_GetState(nullptr, &state); }, 20009,
         "TVX_GetState: refused with 20009: the handle is NULL\r\n"},
        {"closed handle", [&] { return TVX_GetState(closed, &state); }, 20009,
         "TVX_GetState: refused with 20009: the handle is closed or not one of this library's\r\n"},
        {"refused in a shared request function", [&] { return TVX_DirectCommand(c.handle, longText.c_str(), answer, 16); },
         20002,
         "TVX_DirectCommand: refused with 20002 in exchangeData: more request data than a packet carries\r\n"},
        {"refused in an export's helper", [&] { return TVX_Modbus_Set0x(c.handle, 0, 1, nullptr); }, 20002,
         "TVX_Modbus_Set0x: refused with 20002 in setCoils: bits is NULL\r\n"},
        {"over the per-request limit", [&] { return TVX_ArrayWritef(c.handle, "TABLE", 0, 249, floats.data()); },
         20035, "TVX_ArrayWritef: refused with 20035: count exceeds the values one request carries\r\n"},
        {"unknown register area", [&] { return TVX_RegisterRead(c.handle, "NOPE", 16, 0, 2, words); }, 20002,
         "TVX_RegisterRead: refused with 20002 in prepare: areaName names no register area\r\n"},
    };
    for (const auto& k : cases) {
        {
            std::lock_guard<std::mutex> guard(lines.lock);
            lines.text.clear();
        }
        EXPECT_EQ(k.call(), k.code) << k.what;
        std::lock_guard<std::mutex> guard(lines.lock);
        ASSERT_EQ(lines.text.size(), 1u) << k.what;
        EXPECT_EQ(lines.text[0], k.line) << k.what;
    }
}

TEST_F(RefusalReasons, AcceptedCallsWriteNoLine) {
    uint8_t state = 0;
    ASSERT_EQ(TVX_GetState(c.handle, &state), 0);
    std::lock_guard<std::mutex> guard(lines.lock);
    EXPECT_TRUE(lines.text.empty());
}

TEST(RefusalFunctionName, TheBareNameOfEachCompilersSignature) {
    const struct {
        const char* signature;
        const char* name;
    } cases[] = {
        {"int32_t TVX_GetState(TVX_HANDLE, uint8_t*)", "TVX_GetState"},
        {"const char* TVX_DescribeResult(int32_t)", "TVX_DescribeResult"},
        {"TVX_GetState(TVX_HANDLE, uint8_t*)::<lambda(tvx::ControllerHandle&)>", "TVX_GetState"},
        {"int32_t tvx::exchangeData(ControllerHandle&, uint16_t)", "exchangeData"},
        {"tvx::{anonymous}::setCoils(TVX_HANDLE, uint16_t)::<lambda(tvx::ControllerHandle&)>", "setCoils"},
        {"auto tvx::(anonymous namespace)::setCoils(TVX_HANDLE, uint16_t)::(anonymous class)::operator()("
         "ControllerHandle &) const",
         "setCoils"},
        {"int32_t *tvx::pointerResult(int)", "pointerResult"},
        {"no parameter list", "no parameter list"},
    };
    for (const auto& k : cases) {
        const NameSpan n = functionName(k.signature);
        EXPECT_EQ(std::string(n.begin, static_cast<size_t>(n.length)), k.name) << k.signature;
    }
}

}  // namespace
}  // namespace tvx
