// The probe's parsers for values, assignments, points and holds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "probe/values.h"

namespace k729::host::probe {
namespace {

std::uint64_t bits(double value) {
    std::uint64_t out;
    std::memcpy(&out, &value, sizeof out);
    return out;
}

struct NumberCase {
    const char* text;
    double expected;
};

TEST(ParseValue, NumbersKeepEveryBit) {
    const double inf = std::numeric_limits<double>::infinity();
    const NumberCase cases[] = {
        {"0", 0.0},         {"-0", -0.0},
        {"1.5", 1.5},       {"-2.25e3", -2250.0},
        {"0.1", 0.1},       {"1e-5", 1e-5},
        {"5e-324", 5e-324}, {"1.7976931348623157e308", 1.7976931348623157e308},
        {".5", 0.5},        {"inf", inf},
        {"-inf", -inf},     {"123456789012345678", 123456789012345678.0},
    };
    for (const NumberCase& c : cases) {
        ErrorOr<StoredValue> value = parseValue(c.text);
        ASSERT_FALSE(value.isError()) << c.text << ": " << value.error().message;
        EXPECT_EQ(value.value().kind, StoredValue::Kind::Number) << c.text;
        EXPECT_EQ(bits(value.value().number), bits(c.expected)) << c.text;
    }
    ErrorOr<StoredValue> nan = parseValue("nan");
    ASSERT_FALSE(nan.isError());
    EXPECT_TRUE(std::isnan(nan.value().number));
}

struct IntegerCase {
    const char* text;
    std::int32_t expected;
};

TEST(ParseValue, IntegersDecimalOrHexBits) {
    const IntegerCase cases[] = {
        {"int:0", 0},
        {"int:-1", -1},
        {"int:2147483647", INT32_MAX},
        {"int:-2147483648", INT32_MIN},
        {"int:0x10", 16},
        {"int:0X7f", 127},
        {"int:0xFFFFFFFF", -1},
        {"int:0x80000000", INT32_MIN},
    };
    for (const IntegerCase& c : cases) {
        ErrorOr<StoredValue> value = parseValue(c.text);
        ASSERT_FALSE(value.isError()) << c.text << ": " << value.error().message;
        EXPECT_EQ(value.value().kind, StoredValue::Kind::Integer) << c.text;
        EXPECT_EQ(value.value().integer, c.expected) << c.text;
    }
}

TEST(ParseValue, TextsBecomeCodePage1252) {
    const std::pair<const char*, std::string> cases[] = {
        {"text:", ""},
        {"text:hello=world, 1", "hello=world, 1"},
        {"text:25 \xC2\xB0"
         "C",
         "25 \xB0"
         "C"},
        {"text:\xE2\x82\xAC"
         "5",
         "\x80"
         "5"},
        {"text:text:", "text:"},
    };
    for (const auto& [text, expected] : cases) {
        ErrorOr<StoredValue> value = parseValue(text);
        ASSERT_FALSE(value.isError()) << text << ": " << value.error().message;
        EXPECT_EQ(value.value().kind, StoredValue::Kind::Text) << text;
        EXPECT_EQ(value.value().text, expected) << text;
    }
}

TEST(ParseValue, RejectsMalformedAndOutOfRange) {
    const char* cases[] = {
        "",
        "abc",
        "1.5x",
        "+1",
        " 1",
        "1 ",
        "NaN",
        "Inf",
        "infinity",
        "-nan",
        "nan(1)",
        "1e999",
        "-1e999",
        "0x10",
        "1,5",
        "--1",
        "int:",
        "int:1.5",
        "int:+1",
        "int:2147483648",
        "int:-2147483649",
        "int:0x",
        "int:0x100000000",
        "int:-0x1",
        "int: 1",
        "int:0xG",
        "text",
        "Text:a",
        "text:\xE2\x9C\x93",
        "text:\xFF",
        "text:\xC2",
        "text:\xC0\xB0",
    };
    for (const char* text : cases)
        EXPECT_TRUE(parseValue(text).isError()) << text;
}

TEST(ParseAssignment, TokenThenValue) {
    ErrorOr<Assignment> decimal = parseAssignment("575=1");
    ASSERT_FALSE(decimal.isError());
    EXPECT_EQ(decimal.value().token, 575u);
    EXPECT_EQ(decimal.value().value.number, 1.0);

    ErrorOr<Assignment> hex = parseAssignment("0x23F=text:a=b");
    ASSERT_FALSE(hex.isError());
    EXPECT_EQ(hex.value().token, 0x23Fu);
    EXPECT_EQ(hex.value().value.text, "a=b");

    ErrorOr<Assignment> largest = parseAssignment("4294967295=-0");
    ASSERT_FALSE(largest.isError());
    EXPECT_EQ(largest.value().token, UINT32_MAX);

    for (const char* text : {"575", "=1", "575=", "-1=1", "4294967296=1", "x=1", "5=abc"})
        EXPECT_TRUE(parseAssignment(text).isError()) << text;
}

TEST(ParsePoint, TwoSignedIntegers) {
    ErrorOr<Point> point = parsePoint("-3,40");
    ASSERT_FALSE(point.isError());
    EXPECT_EQ(point.value().x, -3);
    EXPECT_EQ(point.value().y, 40);
    for (const char* text : {"", "1", "1,", ",1", "1,2,3", "a,1", "1.5,2", "2147483648,0"})
        EXPECT_TRUE(parsePoint(text).isError()) << text;
}

TEST(ParseHold, PointAndRepeatCount) {
    ErrorOr<Hold> hold = parseHold("1,2,100000");
    ASSERT_FALSE(hold.isError());
    EXPECT_EQ(hold.value().point.x, 1);
    EXPECT_EQ(hold.value().point.y, 2);
    EXPECT_EQ(hold.value().repeats, kMaxHoldRepeats);
    for (const char* text : {"1,2", "1,2,0", "1,2,100001", "1,2,-1", "1,2,x", "1,2,3,4", ",,1"})
        EXPECT_TRUE(parseHold(text).isError()) << text;
}

} // namespace
} // namespace k729::host::probe
