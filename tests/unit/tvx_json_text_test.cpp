// The JSON texts of tvx --json.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "tvx/json_text.h"

namespace tvx::tool {
namespace {

TEST(TvxJsonText, ControllerTextsMakeValidJson) {
    struct {
        std::string in;
        const char* out;
    } cases[] = {
        {"plain", "\"plain\""},
        {"", "\"\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"line\r\n\ttab", "\"line\\r\\n\\ttab\""},
        {std::string("nul\0x", 5), "\"nul\\u0000x\""},
        {"\x1f\x7f", "\"\\u001f\\u007f\""},
        // Controller bytes are not UTF-8: each high byte is its Latin-1 code
        // point, also bytes that would be a broken UTF-8 sequence.
        {"\xe9\xff", "\"\\u00e9\\u00ff\""},
        {"\xc3", "\"\\u00c3\""},
    };
    for (const auto& c : cases) EXPECT_EQ(jsonLine(jsonText(c.in)), c.out) << c.out;
}

TEST(TvxJsonText, NumbersAndOrder) {
    const Json doc = {{"name", "A"},
                      {"n", -3},
                      {"u", 4000000000u},
                      {"f", jsonNumber(static_cast<float>(0.1))},
                      {"inf", jsonNumber(std::numeric_limits<double>::infinity())},
                      {"nan", jsonNumber(std::numeric_limits<double>::quiet_NaN())},
                      {"ok", true},
                      {"list", Json::array({"x", 7, Json::object()})}};
    // Members keep their order; a single-precision value shows its 9 digits, not its binary noise.
    EXPECT_EQ(jsonLine(doc),
              R"({"name":"A","n":-3,"u":4000000000,"f":0.100000001,"inf":null,"nan":null,"ok":true,"list":["x",7,{}]})");
    EXPECT_EQ(jsonLine(jsonError(20009)), R"({"code":20009,"description":"Invalid or closed handle."})");
}

}  // namespace
}  // namespace tvx::tool
