// The JSON texts of tvx --json.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "tvx/json_text.h"

namespace tvx::tool {
namespace {

TEST(TvxJsonText, StringsAreEscapedIntoValidJson) {
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
        // Controller bytes are not UTF-8: each high byte is its Latin-1 code point.
        {"\xe9\xff", "\"\\u00e9\\u00ff\""},
    };
    for (const auto& c : cases) EXPECT_EQ(jsonString(c.in), c.out) << c.out;
}

TEST(TvxJsonText, ObjectsAndArrays) {
    JsonArray list;
    list.add("x").add(uint64_t{7}).raw(JsonObject().text());
    const std::string text = JsonObject()
                                 .add("name", "A")
                                 .add("n", int32_t{-3})
                                 .add("u", uint32_t{4000000000u})
                                 .add("f", 2.5)
                                 .add("inf", std::numeric_limits<double>::infinity())
                                 .add("ok", true)
                                 .raw("list", list.text())
                                 .text();
    EXPECT_EQ(text, R"({"name":"A","n":-3,"u":4000000000,"f":2.5,"inf":null,"ok":true,"list":["x",7,{}]})");
    EXPECT_EQ(jsonError(20009), R"({"code":20009,"description":"Invalid or closed handle."})");
}

}  // namespace
}  // namespace tvx::tool
