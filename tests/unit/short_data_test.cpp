// Replies that carry less than the library reads must never pass as
// complete data: uploads that end early and queries without their record.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "support/inprocess_fixture.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::InProcessController;

uint16_t codeOf(const Bytes& req) { return getU16(req.data() + 2); }
uint16_t blockOf(const Bytes& req) { return getU16(req.data() + 6); }

// A controller that announces `announced` bytes and then sends one block of
// `sent` bytes marked as the last, for every upload code it is asked.
struct EarlyEndingUpload {
    uint32_t announced;
    uint16_t sent;
    bool operator()(const Bytes& req, Bytes& reply) const {
        Bytes data;
        if (blockOf(req) == 0) {
            data.assign(8, 0);
            putU32(data.data() + 4, announced);
        } else if (blockOf(req) == 0xFFFF) {
            data.clear();
        } else {
            data.assign(4 + sent, 0x5A);
            putU16(data.data(), 0xFFFF);
            putU16(data.data() + 2, sent);
        }
        reply = testing::replyPacket(codeOf(req), getU16(req.data() + 4), 0, data);
        return true;
    }
};

struct MemoryFrontEnd {
    const char* name;
    std::function<int32_t(TVX_HANDLE, uint8_t*, uint32_t, uint32_t*)> call;
};

const MemoryFrontEnd kFrontEnds[] = {
    {"UpFileToMem", [](TVX_HANDLE h, uint8_t* b, uint32_t n, uint32_t* got) { return TVX_UpFileToMem(h, b, n, "F", got); }},
    {"UpLogToMem", [](TVX_HANDLE h, uint8_t* b, uint32_t n, uint32_t* got) { return TVX_UpLogToMem(h, b, n, got); }},
    {"UpFirmToMem", [](TVX_HANDLE h, uint8_t* b, uint32_t n, uint32_t* got) { return TVX_UpFirmToMem(h, b, n, "FW", got); }},
    {"Up3FileToMem", [](TVX_HANDLE h, uint8_t* b, uint32_t n, uint32_t* got) { return TVX_Up3FileToMem(h, b, n, "P", got); }},
    {"UpCurNpjToMem", [](TVX_HANDLE h, uint8_t* b, uint32_t n, uint32_t* got) { return TVX_UpCurNpjToMem(h, b, n, got); }},
    {"FlashReadf",
     [](TVX_HANDLE h, uint8_t* b, uint32_t n, uint32_t* got) {
         return TVX_FlashReadf(h, 3, n / 4, reinterpret_cast<float*>(b), got);
     }},
};

class ShortUploads : public ::testing::TestWithParam<Framing> {
protected:
    void SetUp() override { ASSERT_EQ(c.open(), 0); }
    InProcessController c{GetParam()};
};

TEST_P(ShortUploads, EveryMemoryFrontEndRefusesAnUploadThatEndsEarly) {
    alignas(4) uint8_t buffer[4000];
    for (const MemoryFrontEnd& f : kFrontEnds) {
        // The last block arrives with 400 of the 3000 announced bytes.
        c.filter = EarlyEndingUpload{3000, 400};
        uint32_t got = 0;
        EXPECT_EQ(f.call(c.handle, buffer, sizeof buffer, &got), TVX_ERR_FILE_LENGTH) << f.name;
        // The same exchange complete is a success.
        c.filter = EarlyEndingUpload{400, 400};
        got = 0;
        EXPECT_EQ(f.call(c.handle, buffer, sizeof buffer, &got), 0) << f.name;
        EXPECT_EQ(got, f.name == std::string("FlashReadf") ? 100u : 400u) << f.name;
    }
}

TEST_P(ShortUploads, FileFrontEndGivesTheSameCode) {
    c.filter = EarlyEndingUpload{3000, 400};
    const std::string local = ::testing::TempDir() + "tvx_short_upload.bin";
    EXPECT_EQ(TVX_UpFile(c.handle, local.c_str(), "F"), TVX_ERR_FILE_LENGTH);
    std::remove(local.c_str());
}

INSTANTIATE_TEST_SUITE_P(BothFramings, ShortUploads, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Tcp" : "Rtu"; });

// Cuts every reply to its header plus `keep` data bytes (zeros), status 0.
auto cutReplies(size_t keep) {
    return [keep](const Bytes&, Bytes& reply) {
        reply.resize(10 + keep, 0);
        putI32(reply.data() + 6, 0);  // and answers each with success
        testing::fixLength(reply);
        return true;
    };
}

struct Query {
    const char* name;
    std::function<int32_t(TVX_HANDLE)> call;
};

const Query kQueries[] = {
    {"GetState", [](TVX_HANDLE h) { uint8_t v; return TVX_GetState(h, &v); }},
    {"GetStopPauseTaskid", [](TVX_HANDLE h) { uint8_t v; return TVX_GetStopPauseTaskid(h, &v); }},
    {"GetSoftId", [](TVX_HANDLE h) { int32_t v; return TVX_GetSoftId(h, &v); }},
    {"GetHardId", [](TVX_HANDLE h) { int32_t v; return TVX_GetHardId(h, &v); }},
    {"GetSoftVersion", [](TVX_HANDLE h) { uint32_t v, d; char t[16]; return TVX_GetSoftVersion(h, &v, t, &d); }},
    {"GetIn", [](TVX_HANDLE h) { uint8_t v; return TVX_GetIn(h, 1, &v); }},
    {"GetInAll", [](TVX_HANDLE h) { int32_t v; return TVX_GetInAll(h, 0, 31, &v); }},
    {"GetAIn", [](TVX_HANDLE h) { float v; return TVX_GetAIn(h, 0, &v); }},
    {"GetDaOut", [](TVX_HANDLE h) { float v; return TVX_GetDaOut(h, 0, &v); }},
    {"GetCurIpAddr", [](TVX_HANDLE h) { char t[20]; return TVX_GetCurIpAddr(h, t); }},
    {"GetAxisStates", [](TVX_HANDLE h) { uint8_t s[17]; return TVX_GetAxisStates(h, 0, s); }},
    {"GetAxisFeatures", [](TVX_HANDLE h) { int32_t v; return TVX_GetAxisFeatures(h, 0, &v); }},
    {"GetSysSpecification", [](TVX_HANDLE h) { TVX_SysSpecification s; return TVX_GetSysSpecification(h, &s); }},
    {"GetTaskState", [](TVX_HANDLE h) { uint8_t s; return TVX_GetTaskState(h, 0, &s, nullptr, nullptr, nullptr, nullptr); }},
    {"GetTaskStackState", [](TVX_HANDLE h) { int32_t v; return TVX_GetTaskStackState(h, 0, 0, nullptr, &v, nullptr); }},
    {"EnumChildCard", [](TVX_HANDLE h) { TVX_ChildCard k; return TVX_EnumChildCard(h, 0, &k); }},
    {"GetFileState", [](TVX_HANDLE h) { char t[26]; return TVX_GetFileState(h, 1, t); }},
};

class ShortQueries : public ShortUploads {};

TEST_P(ShortQueries, ReplyWithoutAnyDataIsRefused) {
    c.filter = cutReplies(0);
    for (const Query& q : kQueries) EXPECT_EQ(q.call(c.handle), TVX_ERR_REPLY_LENGTH) << q.name;
}

TEST_P(ShortQueries, ReplyWithSomeDataKeepsTheZeroFilledRest) {
    c.filter = cutReplies(1);
    for (const Query& q : kQueries) EXPECT_EQ(q.call(c.handle), 0) << q.name;
}

INSTANTIATE_TEST_SUITE_P(BothFramings, ShortQueries, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Tcp" : "Rtu"; });

}  // namespace
}  // namespace tvx
