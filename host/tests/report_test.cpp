// How the report writes numbers and texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "k729host/text_encoding.h"
#include "probe/report.h"

namespace k729::host::probe {
namespace {

std::uint64_t bits(double value) {
    std::uint64_t out;
    std::memcpy(&out, &value, sizeof out);
    return out;
}

TEST(JsonNumber, PrintsSoThatItReadsBackExactly) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"},
        {-0.0, "-0.0"},
        {1.0, "1"},
        {-1.0, "-1"},
        {1.5, "1.5"},
        {0.1, "0.1"},
        {1.0 / 3.0, "0.3333333333333333"},
        {-2.5e-7, "-2.5e-07"},
        {5e-324, "5e-324"},
        {9007199254740992.0, "9007199254740992"},
        {-9223372036854774784.0, "-9223372036854774784"}, // the last below 2^63
        {9223372036854775808.0, "9.223372036854776e+18"},
        {1e300, "1e+300"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
        {inf, "\"inf\""},
        {-inf, "\"-inf\""},
        {std::numeric_limits<double>::quiet_NaN(), "\"nan\""},
        {-std::numeric_limits<double>::quiet_NaN(), "\"nan\""},
    };
    for (const auto& [value, expected] : cases) {
        std::string text = jsonNumber(value).dump();
        EXPECT_EQ(text, expected);
        if (std::isfinite(value)) {
            EXPECT_EQ(bits(Json::parse(text).get<double>()), bits(value)) << text;
        }
    }
}

TEST(TextEncoding, CodePage1252ToUtf8AndBack) {
    EXPECT_EQ(cp1252ToUtf8("GEN2 0"), "GEN2 0");
    EXPECT_EQ(cp1252ToUtf8("25\xB0"), "25\xC2\xB0");
    EXPECT_EQ(cp1252ToUtf8("\x80\x9F\xFF"), "\xE2\x82\xAC\xC5\xB8\xC3\xBF");
    EXPECT_EQ(cp1252ToUtf8("\x81"), "\xC2\x81"); // unassigned: the C1 control

    // Every byte survives the round trip, NUL included.
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all += static_cast<char>(byte);
    std::optional<std::string> back = utf8ToCp1252(cp1252ToUtf8(all));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, all);

    EXPECT_FALSE(utf8ToCp1252("\xE2\x9C\x93")); // a character the page lacks
    EXPECT_FALSE(utf8ToCp1252("\xC3"));         // cut short
    EXPECT_FALSE(utf8ToCp1252("\xC1\x81"));     // overlong
    EXPECT_FALSE(utf8ToCp1252("\xF0\x9F\x98\x80"));
}

} // namespace
} // namespace k729::host::probe
