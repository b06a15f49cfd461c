// The texts of tvx's transfer progress: the bar and the summary line.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tvx/progress_text.h"

namespace {

using namespace tvx::tool;

TEST(TvxProgressText, ByteCounts) {
    const struct {
        double bytes;
        const char* text;
    } cases[] = {
        {0, "0 B"},         {1023, "1023 B"},        {1024, "1.0 KiB"},          {1536, "1.5 KiB"},
        {3 << 20, "3.0 MiB"}, {1.5 * (1 << 30), "1.5 GiB"}, {std::pow(1024.0, 6), "1048576.0 TiB"},
        {-5, "0 B"},        {NAN, "0 B"},
    };
    for (const auto& c : cases) EXPECT_EQ(byteCount(c.bytes), c.text) << c.bytes;
}

TEST(TvxProgressText, BarShowsPercentBytesAndRate) {
    EXPECT_EQ(progressLine("put f", 0.5, 3072, 1.0, 80),
              "put f [#################..................]   50%  1.5 KiB / 3.0 KiB  1.5 KiB/s");
    // Unknown total: no byte counts, no rate.
    EXPECT_EQ(progressLine("get f", 0.25, 0, 1.0, 40), "get f [######...................]   25%");
    // Out-of-range fractions are clamped.
    EXPECT_NE(progressLine("x", -1, 0, 0, 80).find("  0%"), std::string::npos);
    EXPECT_NE(progressLine("x", 7, 0, 0, 80).find("100%"), std::string::npos);
    EXPECT_NE(progressLine("x", NAN, 0, 0, 80).find("  0%"), std::string::npos);
}

TEST(TvxProgressText, BarFitsEveryWidth) {
    const std::string label = "put a-rather-long-local-file-name.bin";
    for (size_t columns = 0; columns <= 200; ++columns) {
        const std::string line = progressLine(label, 0.42, 5u << 20, 2.0, columns);
        EXPECT_LE(line.size(), columns > 0 ? columns - 1 : 0) << columns;
        if (columns >= 60) {
            EXPECT_NE(line.find(" 42%"), std::string::npos) << columns;
        }
    }
}

TEST(TvxProgressText, Summary) {
    EXPECT_EQ(transferSummary("put f -> g", 10, 2.0), "put f -> g: 10 bytes in 2.00 s (5 B/s)");
    EXPECT_EQ(transferSummary("log -> l", 10, 0), "log -> l: 10 bytes");
}

}  // namespace
