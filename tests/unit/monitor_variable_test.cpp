// Global variable queries, the answer's number parser, and the
// controller's user lock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitoring/variable_text.h"
#include "support/opened_controller.h"
#include "support/reply_rewrites.h"
#include "support/request_log.h"

namespace tvx {
namespace {

using testing::argumentsWith;
using testing::Bytes;

constexpr uint16_t kDirect = 5;
constexpr uint16_t kAppendText = 2;

TEST(AnswerNumber, ParsesAsAFloatConversionReadsIt) {
    struct Case {
        const char* text;
        bool parses;
        float value;
    };
    const Case cases[] = {
        {"12.5", true, 12.5f},     {"12.5\n", true, 12.5f},  {" \t-3\r\n", true, -3.0f},
        {"+4e2", true, 400.0f},    {"7 8", true, 7.0f},      {"0.1x", true, 0.1f},
        {"", false, 0},            {"\n", false, 0},         {"ERROR 2: unknown word X\n", false, 0},
        {"--1", false, 0},         {"+-1", false, 0},        {"1e99", false, 0},
    };
    for (const Case& k : cases) {
        float v = -99.0f;
        EXPECT_EQ(parseAnswerNumber(k.text, &v), k.parses) << '"' << k.text << '"';
        EXPECT_EQ(v, k.parses ? k.value : -99.0f) << '"' << k.text << '"';
    }
}

class Variables : public testing::OpenedController {
protected:
    // Makes every direct-command reply carry `text` as its answer.
    void answerWith(const std::string& text) {
        c.filter = testing::replyWith(kDirect, 0, Bytes(text.begin(), text.end()));
    }
};

TEST_P(Variables, GlobalValuesThroughQueryTexts) {
    execute("GLOBAL rate : rate = 12.5 : DIM marks(4) : marks(3) = -7.25");
    float v = 0;
    ASSERT_EQ(TVX_GlobalVarGet(c.handle, "rate", &v), 0);
    EXPECT_EQ(v, 12.5f);
    ASSERT_EQ(TVX_GlobalArrayGet(c.handle, "marks", 3, &v), 0);
    EXPECT_EQ(v, -7.25f);
    const std::vector<Bytes> queries = argumentsWith(c.requests, kDirect);
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_EQ(queries[0], Bytes({'?', 'r', 'a', 't', 'e', '\n', 0}));
    EXPECT_EQ(std::string(queries[1].begin(), queries[1].end()), std::string("?marks(3)\n\0", 11));

    // The controller's error passes through; the value stays.
    v = 5;
    EXPECT_EQ(TVX_GlobalVarGet(c.handle, "nothing", &v), 2002);
    EXPECT_EQ(TVX_GlobalArrayGet(c.handle, "marks", 4, &v), 2003);
    EXPECT_EQ(v, 5.0f);
}

TEST_P(Variables, AnswersThatAreNoNumberOrTooLong) {
    float v = 5;
    answerWith("abc\n");
    EXPECT_EQ(TVX_GlobalVarGet(c.handle, "x", &v), TVX_ERR_REPLY_LENGTH);
    EXPECT_EQ(v, 5.0f);
    // An answer of exactly 511 bytes is read up to its end, no further.
    answerWith("2.5" + std::string(508, ' '));
    ASSERT_EQ(TVX_GlobalVarGet(c.handle, "x", &v), 0);
    EXPECT_EQ(v, 2.5f);
    answerWith("3.5" + std::string(509, ' '));
    EXPECT_EQ(TVX_GlobalVarGet(c.handle, "x", &v), TVX_ERR_REPLY_LENGTH);
    EXPECT_EQ(v, 2.5f);
}

// The query must fit its 64-byte area with its 0 byte, and a name never
// carries a line end that would start a command of its own.
TEST_P(Variables, QueryNamesAreChecked) {
    float v = 0;
    const std::string longest(61, 'A');  // "?" + 61 + "\n" + 0 byte = 64
    EXPECT_EQ(TVX_GlobalVarGet(c.handle, longest.c_str(), &v), 2002);  // sent; no such name
    EXPECT_EQ(TVX_GlobalVarGet(c.handle, (longest + "A").c_str(), &v), TVX_ERR_BAD_ARGUMENT);
    const std::string longestArray(52, 'A');  // "?" + 52 + "(-2147483648)\n" + 0 byte = 68
    EXPECT_EQ(TVX_GlobalArrayGet(c.handle, longestArray.c_str(), 1, &v), 2002);
    EXPECT_EQ(TVX_GlobalArrayGet(c.handle, longestArray.c_str(), -2147483647 - 1, &v), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(argumentsWith(c.requests, kDirect).size(), 2u);

    const char* refused[] = {"x\nRUN", "x\rPRINT 1", "a\tb", nullptr};
    for (const char* name : refused) {
        EXPECT_EQ(TVX_GlobalVarGet(c.handle, name, &v), TVX_ERR_BAD_ARGUMENT);
        EXPECT_EQ(TVX_GlobalArrayGet(c.handle, name, 0, &v), TVX_ERR_BAD_ARGUMENT);
    }
    EXPECT_EQ(TVX_GlobalVarGet(c.handle, "VR", nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_GlobalArrayGet(c.handle, "VR", 0, nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(argumentsWith(c.requests, kDirect).size(), 2u);
}

TEST_P(Variables, LockPasswords) {
    const std::string fifteen(15, 'p');
    ASSERT_EQ(TVX_Lock(c.handle, fifteen.c_str()), 0);
    const std::vector<Bytes> texts = argumentsWith(c.requests, kAppendText);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(std::string(texts[0].begin(), texts[0].end()), "Lock(" + fifteen + ")" + std::string(1, '\0'));

    c.requests.clear();
    const std::string sixteen(16, 'p');
    for (const char* bad : {sixteen.c_str(), static_cast<const char*>(nullptr), "x)\nRUN", "pw\r"}) {
        EXPECT_EQ(TVX_Lock(c.handle, bad), TVX_ERR_BAD_ARGUMENT);
        EXPECT_EQ(TVX_UnLock(c.handle, bad), TVX_ERR_BAD_ARGUMENT);
    }
    EXPECT_TRUE(c.requests.empty());
    EXPECT_EQ(TVX_Lock(nullptr, "pw"), TVX_ERR_INVALID_HANDLE);
}

// The controller keeps the password: while locked it refuses file
// transfers and the debugger with 223, and a wrong password unlocks
// nothing.
TEST_P(Variables, LockedControllerRefuses) {
    const char content[] = "PRINT 1\n";
    ASSERT_EQ(TVX_DownMemFile(c.handle, content, sizeof content - 1, "a.bas"), 0);
    ASSERT_EQ(TVX_Lock(c.handle, "secret"), 0);
    EXPECT_EQ(TVX_ExecuteWaitDown(c.handle, 1000), 0);
    EXPECT_TRUE(c.controller.console().interpreter().locked());
    EXPECT_EQ(TVX_DownMemFile(c.handle, content, sizeof content - 1, "b.bas"), 223);
    EXPECT_EQ(TVX_BreakAdd(c.handle, "a.bas", 1, 0), 223);
    // Variables stay open.
    float v = 0;
    EXPECT_EQ(TVX_GlobalArrayGet(c.handle, "VR", 0, &v), 0);

    ASSERT_EQ(TVX_UnLock(c.handle, "wrong"), 0);  // the verdict is the controller's answer
    char answer[128] = {};
    uint32_t got = 0;
    ASSERT_EQ(TVX_ExecuteGetReceive(c.handle, answer, sizeof answer - 1, &got, nullptr), 0);
    EXPECT_NE(std::string(answer).find("ERROR 10"), std::string::npos) << answer;
    EXPECT_EQ(TVX_BreakAdd(c.handle, "a.bas", 1, 0), 223);

    ASSERT_EQ(TVX_UnLock(c.handle, "secret"), 0);
    EXPECT_EQ(TVX_ExecuteWaitDown(c.handle, 1000), 0);
    EXPECT_EQ(TVX_BreakAdd(c.handle, "a.bas", 1, 0), 0);
    EXPECT_EQ(TVX_DownMemFile(c.handle, content, sizeof content - 1, "b.bas"), 0);
}

INSTANTIATE_TEST_SUITE_P(Framings, Variables, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Tcp" : "Rtu"; });

}  // namespace
}  // namespace tvx
